// The input primitives of phylo::read, and the line handling that every reader shares.
#include "phylo/words.hpp"

#include "line_input.hpp"

#include <cstring>

namespace phylo::detail {

char next_char(input_source &in) {
  for (;;) {
    const int c = in.peek();
    if (c < 0) fail_at<end_of_input>(in, "the input ends where a character was expected");
    in.advance();
    if (c != '\n') return static_cast<char>(c);
  }
}

void discard_line(input_source &in) {
  for (;;) {
    const std::string_view chunk = in.buffered();
    if (chunk.empty()) return;
    const void *hit = std::memchr(chunk.data(), '\n', chunk.size());
    if (hit) {
      in.consume(static_cast<std::size_t>(static_cast<const char *>(hit) - chunk.data()) + 1);
      return;
    }
    in.consume(chunk.size());
  }
}

std::size_t count_line_tabs(input_source &in) {
  std::size_t tabs = 0;
  for (;;) {
    const std::string_view chunk = in.buffered();
    if (chunk.empty()) return tabs;
    const char *nl = static_cast<const char *>(std::memchr(chunk.data(), '\n', chunk.size()));
    const std::size_t len = nl ? static_cast<std::size_t>(nl - chunk.data()) : chunk.size();
    for (std::size_t i = 0; i < len; ++i) tabs += chunk[i] == '\t';
    in.consume(nl ? len + 1 : len);
    if (nl) return tabs;
  }
}

std::size_t byte_order_mark_at(input_source &in) {
  return in.offset() == 0 && in.peek_at(0) == 0xEF && in.peek_at(1) == 0xBB && in.peek_at(2) == 0xBF ? 3 : 0;
}

bool starts_with_ignoring_case(input_source &in, std::size_t k, std::string_view word) {
  for (std::size_t m = 0; m < word.size(); ++m) {
    const int c = in.peek_at(k + m);
    if (c < 0 || ascii_upper_map(static_cast<char>(c)) != ascii_upper_map(word[m])) return false;
  }
  return true;
}

bool skip_blank_lines(input_source &in, std::size_t limit) {
  constexpr std::size_t long_run = std::size_t{1} << 16;
  for (std::size_t passed = 0;;) {
    std::size_t k = 0, last_tab = 0; // last_tab: one past the last tab seen
    int c;
    while (is_blank<true>(c = in.peek_at(k))) {
      if (c == '\t') last_tab = k + 1;
      // A long run of blanks on a line that may yet hold text: the blanks and carriage
      // returns after its first byte and its last tab tell nothing more, and need not stay.
      if (++k >= long_run) {
        if (k > limit - passed) return false;
        const std::size_t keep = last_tab > 0 ? last_tab : 1;
        if (k > keep && in.drop_ahead(keep, k - keep)) k = keep;
      }
    }
    if (c >= 0 && c != '\n') return true;
    in.consume(c < 0 ? k : k + 1);
    if (c < 0) return true;
    passed += k + 1;
    if (passed > limit) return false;
  }
}

void expect_row_end(input_source &in) {
  const int c = in.peek();
  if (c >= 0 && c != ' ' && c != '\t' && c != '\r' && c != '\n')
    fail_at<format_error>(in,
                          "expected a blank or the line end after the row's last number, found " + describe_char(c));
}

bool take_word(input_source &in, const word_rules &rules, std::string *keep) {
  bool taken = false;
  for (;;) {
    const int c = in.peek();
    if (c < 0) return taken;
    if (c == '\n') {
      if (taken || !rules.pass_line_ends) return taken;
      in.advance();
      continue;
    }
    if (rules.delimiters.contains(static_cast<unsigned char>(c))) {
      if (taken) {
        if (rules.consume_delimiter) in.advance();
        return true;
      }
      in.advance();
      continue;
    }
    in.advance();
    taken = true;
    if (keep) keep->push_back(static_cast<char>(c));
  }
}

std::size_t take_phylip_label(input_source &in, bool within_line, std::string &label) {
  label.clear();
  if (!within_line) {
    for (int k = 0; k < 10; ++k) label.push_back(next_char(in));
    return 10;
  }
  while (label.size() < 10) {
    const int c = in.peek();
    if (c < 0 || c == '\n' || (c == '\r' && in.peek_at(1) == '\n')) break;
    label.push_back(static_cast<char>(c));
    in.advance();
  }
  return label.size();
}

} // namespace phylo::detail

namespace phylo::read {
namespace {

void take_strict_word(input_source &in, const char_set_type &delimiters, std::string *keep) {
  if (!detail::take_word(in, {delimiters, true, true}, keep))
    detail::fail_at<end_of_input>(in, "the input ends where a word was expected");
}

} // namespace

char read_char(input_source &in) { return detail::next_char(in); }
char read_char() { return read_char(current_input()); }

bool at_end_of_line(input_source &in) {
  const int c = in.peek();
  return c < 0 || c == '\n';
}
bool at_end_of_line() { return at_end_of_line(current_input()); }

void skip_line(input_source &in) {
  if (in.peek() < 0) detail::fail_at<end_of_input>(in, "the input ends where a line was expected");
  detail::discard_line(in);
}
void skip_line() { skip_line(current_input()); }

void end_row(input_source &in) { detail::discard_line(in); }
void end_row() { end_row(current_input()); }

namespace {

inline bool is_blank_byte(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Whether nothing but blank bytes follows the first `keep` unread bytes. While it looks, it
// drops from the buffer the leading blanks after them that `may_drop` allows (up to the first
// it refuses), whenever it has seen all that is buffered: what the buffer holds stays bounded
// however long the run of blanks is.
template <class MayDrop> bool only_blanks_after(input_source &in, std::size_t keep, MayDrop may_drop) {
  std::size_t k = keep, droppable = keep; // scanned up to k; [keep, droppable) may be dropped
  bool dropping = true;
  for (;;) {
    if (in.peek_at(k) < 0) return true;
    const std::string_view view = in.buffered();
    for (; k < view.size(); ++k) {
      if (!is_blank_byte(view[k])) return false;
      if (dropping && may_drop(view[k])) droppable = k + 1;
      else dropping = false;
    }
    if (droppable > keep && in.drop_ahead(keep, droppable - keep)) {
      k -= droppable - keep;
      droppable = keep;
    }
  }
}

// Before read_dist_header(TAB), which counts the tabs of the whole next line (an empty line
// is a header of no taxa).
bool at_end_before_tab_header(input_source &in) {
  // Blanks and carriage returns before the line's first tab do not change its count.
  for (;;) {
    const std::string_view view = in.buffered();
    if (view.empty()) return true;
    std::size_t k = 0;
    while (k < view.size() && (view[k] == ' ' || view[k] == '\r')) ++k;
    in.consume(k);
    if (k < view.size()) break;
  }
  std::size_t k = 0, tabs = 0;
  for (;; ++k) {
    const int c = in.peek_at(k);
    if (c < 0) return true;
    if (c == '\n') break;
    if (!is_blank_byte(static_cast<char>(c))) return false;
    tabs += c == '\t';
  }
  // A blank line: it is the header if anything follows. With a count outside 1 .. 5000 the
  // header fails and nothing after it is read; otherwise the first row's label reader passes
  // over tabs, carriage returns and line ends, but takes blanks in.
  const bool refused = tabs < 1 || tabs > static_cast<std::size_t>(max_taxa);
  return only_blanks_after(in, k + 1, [refused](char c) { return refused || c != ' '; });
}

} // namespace

bool at_end() { return at_end(current_input()); }

bool at_end(input_source &in) {
  for (;;) {
    const std::string_view view = in.buffered();
    if (view.empty()) return true;
    std::size_t k = 0;
    while (k < view.size() && (view[k] == ' ' || view[k] == '\t' || view[k] == '\n')) ++k;
    in.consume(k);
    if (k == view.size()) continue;
    if (view[k] != '\r') return false;
    // A carriage return, on which the number reader fails: it stays, and the blanks after it,
    // which no reader reaches, need not.
    return only_blanks_after(in, 1, [](char) { return true; });
  }
}

bool at_end(input_source &in, dist_format_type format) {
  return format == dist_format_type::TAB ? at_end_before_tab_header(in) : at_end(in);
}
bool at_end(dist_format_type format) { return at_end(current_input(), format); }

std::string get_word(input_source &in, const char_set_type &delimiters) {
  std::string word;
  take_strict_word(in, delimiters, &word);
  return word;
}
std::string get_word(const char_set_type &delimiters) { return get_word(current_input(), delimiters); }

void skip_word(input_source &in, const char_set_type &delimiters) { take_strict_word(in, delimiters, nullptr); }
void skip_word(const char_set_type &delimiters) { skip_word(current_input(), delimiters); }

char get_black(const char_set_type &set) { return get_black(current_input(), set); }

char get_black(input_source &in, const char_set_type &set) {
  for (;;) {
    const char c = detail::next_char(in);
    if (!set.contains(c)) return c;
  }
}

std::string black_only(std::string_view text, const char_set_type &set) {
  std::string out;
  append_black(out, text, set);
  return out;
}

void append_black(std::string &target, std::string_view text, const char_set_type &set) {
  for (char c : text)
    if (!set.contains(c)) target.push_back(c);
}

bool first_line_ends_in_cr(input_source &in, bool nexus_passes) {
  constexpr std::size_t lookahead = 4096;
  if (nexus_passes) {
    constexpr std::string_view nexus = "#NEXUS";
    std::size_t k = 0;
    while (k < nexus.size() && (in.peek_at(k) | 0x20) == (nexus[k] | 0x20)) ++k;
    if (k == nexus.size()) return false;
  }
  for (std::size_t k = 0; k < lookahead; ++k) {
    const int c = in.peek_at(k);
    if (c < 0 || c == '\n') return false;
    if (c == '\r' && in.peek_at(k + 1) >= 0 && in.peek_at(k + 1) != '\n') return true;
  }
  return false;
}

} // namespace phylo::read
