#include "phylo/text.hpp"

#include <algorithm>
#include <iterator>
#include <tuple>
#include <utility>

namespace {

using phylo::char_map_type;
using phylo::char_set_type;
using phylo::text::ustr_vecs;

constexpr std::size_t npos = std::string_view::npos;

// Latin-1 case conversion: a-z, 224-246 and 248-254 against A-Z, 192-214 and 216-222.
// 215, 223, 247 and 255 have no partner and stay as they are.
constexpr char_map_type case_map(bool to_upper) noexcept {
  char_map_type m = char_map_type::identity();
  auto pair = [&](unsigned lo, unsigned hi, unsigned up) {
    for (unsigned c = lo; c <= hi; ++c) {
      if (to_upper) m.to[c] = static_cast<unsigned char>(c - lo + up);
      else m.to[c - lo + up] = static_cast<unsigned char>(c);
    }
  };
  pair('a', 'z', 'A');
  pair(224, 246, 192);
  pair(248, 254, 216);
  return m;
}
constexpr char_map_type upper_map = case_map(true);
constexpr char_map_type lower_map = case_map(false);
static_assert(upper_map('a') == 'A' && upper_map(static_cast<char>(224)) == static_cast<char>(192));
static_assert(upper_map(static_cast<char>(223)) == static_cast<char>(223) &&
              upper_map(static_cast<char>(247)) == static_cast<char>(247) &&
              upper_map(static_cast<char>(255)) == static_cast<char>(255));
static_assert(lower_map(static_cast<char>(222)) == static_cast<char>(254) &&
              lower_map(static_cast<char>(215)) == static_cast<char>(215));

// The first maximal run of set characters at or after from, as [first, last); {npos, npos}
// when there is none.
std::pair<std::size_t, std::size_t> find_run(std::string_view text, const char_set_type &set,
                                             std::size_t from) noexcept {
  std::size_t first = from;
  while (first < text.size() && !set.contains(text[first])) ++first;
  if (first == text.size()) return {npos, npos};
  std::size_t last = first + 1;
  while (last < text.size() && set.contains(text[last])) ++last;
  return {first, last};
}

// The first position at or after from where pattern (not empty) occurs in text, comparing each
// text character through map; npos when there is none.
std::size_t find_pattern(std::string_view text, std::string_view pattern, const char_map_type &map,
                         std::size_t from) noexcept {
  if (pattern.size() > text.size()) return npos;
  const std::size_t end = text.size() - pattern.size();
  for (std::size_t p = from; p <= end; ++p) {
    std::size_t k = 0;
    while (k < pattern.size() && map(text[p + k]) == pattern[k]) ++k;
    if (k == pattern.size()) return p;
  }
  return npos;
}

// Appends one element to a vector that is being built.
void push(ustr_vecs &vec, std::string_view element) {
  if (vec.size() >= phylo::text::max_vector_length) throw phylo::range_error("vector is already at its maximum length");
  vec.emplace_back(element);
}

// Appends all of items to vec, or nothing when they would not fit.
void append_all(ustr_vecs &vec, ustr_vecs &&items) {
  if (items.empty()) return;
  if (items.size() > phylo::text::max_vector_length - vec.size())
    throw phylo::range_error("vector is already at its maximum length");
  vec.insert(vec.end(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
}

// One element per character of text.
ustr_vecs characters(std::string_view text) {
  ustr_vecs out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) push(out, text.substr(i, 1));
  return out;
}

void cap_chars(std::span<char> text) noexcept {
  if (text.empty()) return;
  text[0] = upper_map(text[0]);
  for (std::size_t i = 1; i < text.size(); ++i) text[i] = lower_map(text[i]);
}

void uncap_chars(std::span<char> text) noexcept {
  if (!text.empty()) text[0] = lower_map(text[0]);
}

} // namespace

// ---------------------------------------------------------------------------------------
// String utilities.

std::size_t phylo::text::common(std::string_view a, std::string_view b) noexcept {
  const std::size_t n = std::min(a.size(), b.size());
  std::size_t i = 0;
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

template <> std::string phylo::text::common<std::string>(std::string_view a, std::string_view b) {
  return std::string(a.substr(0, common(a, b)));
}

bool phylo::text::is_in(std::string_view text, const char_set_type &set) {
  if (text.empty()) throw length_error("phylo-text:46");
  if (set.empty()) throw pattern_error("phylo-text:48");
  return std::all_of(text.begin(), text.end(), [&](char c) { return set.contains(c); });
}

std::string phylo::text::revstr(std::string_view text) { return std::string(text.rbegin(), text.rend()); }

void phylo::text::revstr(std::span<char> text) noexcept { std::reverse(text.begin(), text.end()); }

std::string phylo::text::remove(std::string_view text, const char_set_type &set) {
  if (set.empty()) throw pattern_error("phylo-text:101");
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (!set.contains(c)) out += c;
  return out;
}

void phylo::text::remove(std::string &text, const char_set_type &set) { text = remove(std::string_view(text), set); }

std::string_view phylo::text::trim(std::string_view text, const char_set_type &set) noexcept {
  std::size_t first = 0, last = text.size();
  while (first < last && set.contains(text[first])) ++first;
  while (last > first && set.contains(text[last - 1])) --last;
  return text.substr(first, last - first);
}

std::string phylo::text::squeeze(std::string_view text, const char_set_type &set) {
  if (set.empty()) throw pattern_error("phylo-text:143");
  std::string out;
  out.reserve(text.size());
  bool in_run = false;
  for (char c : text) {
    const bool member = set.contains(c);
    if (!member || !in_run) out += c;
    in_run = member;
  }
  return out;
}

void phylo::text::squeeze(std::string &text, const char_set_type &set) { text = squeeze(std::string_view(text), set); }

std::string phylo::text::cap(std::string_view text) {
  std::string out(text);
  cap_chars(out);
  return out;
}

void phylo::text::cap(std::span<char> text) noexcept { cap_chars(text); }

void phylo::text::cap(std::string &text) noexcept { cap_chars(text); }

std::string phylo::text::uncap(std::string_view text) {
  std::string out(text);
  uncap_chars(out);
  return out;
}

void phylo::text::uncap(std::span<char> text) noexcept { uncap_chars(text); }

void phylo::text::uncap(std::string &text) noexcept { uncap_chars(text); }

std::string phylo::text::string_map(std::string_view text, const char_set_type &set, std::string_view replacement,
                                    bool all) {
  if (set.empty()) throw pattern_error("phylo-text:313");
  std::string out;
  out.reserve(text.size());
  std::size_t copied = 0;
  for (auto [first, last] = find_run(text, set, 0); first != npos; std::tie(first, last) = find_run(text, set, last)) {
    out.append(text.substr(copied, first - copied));
    out.append(replacement);
    copied = last;
    if (!all) break;
  }
  out.append(text.substr(copied));
  return out;
}

void phylo::text::string_map(std::string &text, const char_set_type &set, std::string_view replacement, bool all) {
  text = string_map(std::string_view(text), set, replacement, all);
}

std::string phylo::text::string_map(std::string_view text, std::string_view pattern, std::string_view replacement,
                                    bool all, const char_map_type &map) {
  if (pattern.empty()) throw pattern_error("phylo-text:363");
  if (pattern == replacement) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t copied = 0;
  for (std::size_t p = find_pattern(text, pattern, map, 0); p != npos; p = find_pattern(text, pattern, map, copied)) {
    out.append(text.substr(copied, p - copied));
    out.append(replacement);
    copied = p + pattern.size();
    if (!all) break;
  }
  out.append(text.substr(copied));
  return out;
}

void phylo::text::string_map(std::string &text, std::string_view pattern, std::string_view replacement, bool all,
                             const char_map_type &map) {
  text = string_map(std::string_view(text), pattern, replacement, all, map);
}

// ---------------------------------------------------------------------------------------
// Scanning, splitting and joining.

phylo::text::ustr_vecs phylo::text::scan(std::string_view text, const char_set_type &set) {
  if (set.empty()) throw pattern_error("phylo-text:418");
  ustr_vecs out;
  for (auto [first, last] = find_run(text, set, 0); first != npos; std::tie(first, last) = find_run(text, set, last))
    push(out, text.substr(first, last - first));
  return out;
}

void phylo::text::scan(ustr_vecs &vec, std::string_view text, const char_set_type &set) {
  append_all(vec, scan(text, set));
}

phylo::text::ustr_vecs phylo::text::split(std::string_view text, std::ptrdiff_t width) {
  if (width < 1) throw range_error("split width " + std::to_string(width) + " is less than 1");
  const auto w = static_cast<std::size_t>(width);
  ustr_vecs out;
  out.reserve(text.size() / w + 1);
  for (std::size_t p = 0; p < text.size(); p += w) push(out, text.substr(p, w));
  return out;
}

void phylo::text::split(ustr_vecs &vec, std::string_view text, std::ptrdiff_t width) {
  append_all(vec, split(text, width));
}

phylo::text::ustr_vecs phylo::text::split(std::string_view text, const char_set_type &set) {
  if (text.empty()) return {};
  if (set.empty()) return characters(text);
  ustr_vecs out;
  std::size_t p = 0;
  while (true) {
    const auto [first, last] = find_run(text, set, p);
    if (first == npos) {
      push(out, text.substr(p));
      break;
    }
    push(out, text.substr(p, first - p));
    p = last;
    if (p == text.size()) {
      push(out, {});
      break;
    }
  }
  return out;
}

void phylo::text::split(ustr_vecs &vec, std::string_view text, const char_set_type &set) {
  append_all(vec, split(text, set));
}

phylo::text::ustr_vecs phylo::text::split(std::string_view text, std::string_view separator, const char_map_type &map) {
  if (text.empty()) return {};
  if (separator.empty()) return characters(text);
  ustr_vecs out;
  std::size_t p = 0;
  while (true) {
    const std::size_t q = find_pattern(text, separator, map, p);
    if (q == npos) {
      push(out, text.substr(p));
      break;
    }
    push(out, text.substr(p, q - p));
    p = q + separator.size();
    if (p == text.size()) {
      push(out, {});
      break;
    }
  }
  return out;
}

void phylo::text::split(ustr_vecs &vec, std::string_view text, std::string_view separator, const char_map_type &map) {
  append_all(vec, split(text, separator, map));
}

std::string phylo::text::join(const ustr_vecs &vec, std::string_view separator) {
  if (vec.empty()) return {};
  std::size_t size = separator.size() * (vec.size() - 1);
  for (const std::string &element : vec) size += element.size();
  std::string out;
  out.reserve(size);
  for (std::size_t i = 0; i < vec.size(); ++i) {
    if (i > 0) out.append(separator);
    out.append(vec[i]);
  }
  return out;
}
