// The text utilities.
//
// The input steers the call: byte 0 gives the separator length (0 to 3) and a width, the next
// bytes the separator, the next byte the set (the characters whose value shares its low bits
// with it, or none), the rest is the text. Properties:
//   - split by a separator then join with the same separator gives back the text; split into
//     pieces of a width then join gives back the text;
//   - scan gives the set's runs: joined they are the text without the other characters;
//     split at the set gives the fields: joined they are the text without the set;
//   - replacing every occurrence of a pattern is splitting at it and joining with the
//     replacement; a pattern replaced by itself leaves the text unchanged;
//   - the in-place forms give what the value forms give; revstr twice is the identity;
//     squeeze is idempotent; remove leaves no set character; cap and uncap keep the length;
//   - every error is a typed one.
#include "fuzz_support.hpp"

#include "phylo/text.hpp"

#include <span>

namespace {

using namespace phylo;
using namespace phylo::text;
using phylo::fuzz::typed_errors_only;

constexpr char_map_type identity = char_map_type::identity();

char_set_type set_of(unsigned char selector) {
  // A sparse set, a dense set, the empty set or every character, steered by the selector.
  char_set_type set;
  const unsigned mask = selector & 0x0F, value = selector >> 4;
  if (mask == 0) return value & 1 ? ~set : set;
  for (unsigned c = 0; c < 256; ++c)
    if ((c & mask) == (value & mask)) set.add(static_cast<unsigned char>(c));
  return set;
}

std::string concat(const ustr_vecs &v) { return join(v, ""); }

bool all_in(std::string_view s, const char_set_type &set) {
  for (char c : s)
    if (!set.contains(c)) return false;
  return true;
}

void check(std::string_view sep, std::ptrdiff_t width, const char_set_type &set, std::string_view s) {
  // Splitting and joining.
  FUZZ_CHECK(join(split(s, sep, identity), sep) == s);
  const ustr_vecs pieces = split(s, width);
  FUZZ_CHECK(concat(pieces) == s);
  for (std::size_t i = 0; i + 1 < pieces.size(); ++i) FUZZ_CHECK(pieces[i].size() == static_cast<std::size_t>(width));
  ustr_vecs appended{"x"};
  split(appended, s, width);
  FUZZ_CHECK(appended.size() == pieces.size() + 1);

  const char *err = typed_errors_only([&] {
    const ustr_vecs runs = scan(s, set);
    for (const std::string &r : runs) FUZZ_CHECK(!r.empty() && all_in(r, set));
    if (!(~set).empty()) FUZZ_CHECK(concat(runs) == remove(s, ~set));
  });
  FUZZ_CHECK(err == nullptr || set.empty());
  const ustr_vecs fields = split(s, set);
  if (!set.empty()) FUZZ_CHECK(concat(fields) == remove(s, set));
  else FUZZ_CHECK(concat(fields) == s);

  // Replacing.
  if (!sep.empty()) {
    const std::string replacement(s.substr(0, s.size() % 3));
    FUZZ_CHECK(string_map(s, sep, replacement, true, identity) == join(split(s, sep, identity), replacement));
    FUZZ_CHECK(string_map(s, sep, sep, true, identity) == s);
    std::string in_place(s);
    string_map(in_place, sep, replacement, false, identity);
    FUZZ_CHECK(in_place == string_map(s, sep, replacement, false, identity));
  } else {
    FUZZ_CHECK(std::string_view(typed_errors_only([&] { string_map(s, sep, "x", true, identity); })) ==
               "pattern_error");
  }

  // Character classes.
  err = typed_errors_only([&] {
    const std::string removed = remove(s, set);
    for (char c : removed) FUZZ_CHECK(!set.contains(c));
    std::string r(s);
    remove(r, set);
    FUZZ_CHECK(r == removed);
    const std::string squeezed = squeeze(s, set);
    FUZZ_CHECK(squeezed.size() <= s.size() && squeeze(squeezed, set) == squeezed);
    std::string q(s);
    squeeze(q, set);
    FUZZ_CHECK(q == squeezed);
    for (bool all : {false, true}) {
      std::string m(s);
      string_map(m, set, sep, all);
      FUZZ_CHECK(m == string_map(s, set, sep, all));
    }
  });
  FUZZ_CHECK(err == nullptr || set.empty());

  // Case and order.
  std::string c(s);
  cap(c);
  FUZZ_CHECK(c == cap(s) && c.size() == s.size());
  std::string u(s);
  uncap(std::span<char>(u));
  FUZZ_CHECK(u == uncap(s) && u.size() == s.size());
  std::string r = revstr(s);
  FUZZ_CHECK(revstr(std::string_view(r)) == s);
  revstr(std::span<char>(r));
  FUZZ_CHECK(r == s);
  FUZZ_CHECK(common(s, sep) <= std::min(s.size(), sep.size()));
  FUZZ_CHECK(common<std::string>(s, s) == s);
  if (!s.empty() && !set.empty()) FUZZ_CHECK(is_in(s, set) == all_in(s, set));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t sep_len = std::min<std::size_t>(data[0] & 3u, size - 2);
  const std::ptrdiff_t width = 1 + (data[0] >> 2);
  const std::string_view sep = phylo::fuzz::as_text(data + 1, sep_len);
  const char_set_type set = set_of(data[1 + sep_len]);
  const std::string_view s = phylo::fuzz::as_text(data + 2 + sep_len, size - 2 - sep_len);
  const char *err = typed_errors_only([&] { check(sep, width, set, s); });
  if (err) std::fprintf(stderr, "unexpected %s\n", err);
  FUZZ_CHECK(err == nullptr);
  return 0;
}
