// Lines, blanks, words and PHYLIP labels on an input_source: the line handling of every
// reader. karvel's strict reader and the recognising reader of phylo convert share it; where
// their rules differ, a parameter says which rules apply:
//   - Tolerant: a carriage return is a blank between fields (CRLF text reads as LF text);
//     strict, it is an ordinary control character, taken as text;
//   - a word may or may not pass over line ends before it begins, and may or may not consume
//     the delimiter that ends it;
//   - a PHYLIP label is the next 10 characters, line ends passed over (strict), or the first
//     10 characters of its line (within_line).
#pragma once

#include "phylo/chars.hpp"
#include "phylo/io.hpp"
#include "phylo/types.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace phylo::detail {

// The line ends in [first, last). Lines are long where counting matters (the rows of a large
// matrix): a search for each end is several times faster than a test of every byte.
inline std::size_t count_line_ends(const char *first, const char *last) noexcept {
  std::size_t n = 0;
  while (first < last) {
    const void *hit = std::memchr(first, '\n', static_cast<std::size_t>(last - first));
    if (!hit) break;
    ++n;
    first = static_cast<const char *>(hit) + 1;
  }
  return n;
}

// Raises Error with `what` at the read position of `in`.
template <class Error> [[noreturn]] void fail_at(const input_source &in, const std::string &what) {
  throw Error(what, in.position());
}

// What separates fields on one line: the blank and the tab; under the tolerant rules also
// the carriage return.
template <bool Tolerant> constexpr bool is_blank(int c) noexcept {
  return c == ' ' || c == '\t' || (Tolerant && c == '\r');
}

// Passes over blanks (never over a line end). Returns the next byte, or -1 at the end.
template <bool Tolerant> int skip_blanks(input_source &in) {
  for (;;) {
    const int c = in.peek();
    if (!is_blank<Tolerant>(c)) return c;
    in.advance();
  }
}

// Passes over blanks; true when the line or the input ends there (the line end stays unread).
template <bool Tolerant> bool at_line_end(input_source &in) {
  const int c = skip_blanks<Tolerant>(in);
  return c < 0 || c == '\n';
}

// The next character; line ends are passed over. end_of_input at the end.
char next_char(input_source &in);

// Consumes the rest of the current line and its line end (or the rest of the input).
void discard_line(input_source &in);

// Consumes the current line and its line end, however long, and returns how many tabs it
// holds.
std::size_t count_line_tabs(input_source &in);

// Passes over the lines that hold nothing but blanks, tabs and carriage returns (and blanks
// that end the input), and stops at the start of the next other line or at the end of the
// input. Looks ahead one line. Under an input_mark, whose bytes all stay buffered, `limit`
// bounds what it passes over: false when it stopped at a line start because more was blank.
bool skip_blank_lines(input_source &in, std::size_t limit = SIZE_MAX);

// How far past blank lines a reader looks, under an input_mark, for the line that tells it
// what comes (a matrix's second row, what follows its last): a longer run is passed over
// later, once the way of reading is chosen.
inline constexpr std::size_t blank_lookahead = std::size_t{1} << 16;

// Passes over the comment in square brackets whose '[' is at the read position of `in` (an
// input_source, or a reader that counts its own lines, with peek() and advance()); comments
// nest. False when the input ends inside it, everything after the '[' consumed.
template <class Reader> bool skip_bracket_comment(Reader &in) {
  int depth = 0;
  for (int c; (c = in.peek()) >= 0;) {
    in.advance();
    if (c == '[') ++depth;
    else if (c == ']' && --depth == 0) return true;
  }
  return false;
}

// The length of the UTF-8 byte order mark at the read position when that is the start of the
// input and it holds one: 3, otherwise 0. Consumes nothing.
std::size_t byte_order_mark_at(input_source &in);

// Whether the bytes `k` positions past the read position begin with `word`, letters compared
// without regard to their ASCII case. Consumes nothing.
bool starts_with_ignoring_case(input_source &in, std::size_t k, std::string_view word);

// After the last number of a row: format_error unless the number ends at a blank, a tab, a
// carriage return, a line feed or the end of the input (so that "0,5", "0.25.3" or "1.5abc"
// is not read as its leading number). Consumes nothing.
void expect_row_end(input_source &in);

struct word_rules {
  const char_set_type &delimiters;
  bool pass_line_ends;    // delimiters and line ends before the word are skipped alike
  bool consume_delimiter; // the delimiter that ends the word is consumed
};

// Reads a word into *keep (when not null): delimiters before it are skipped; it ends at a
// delimiter or at a line end (left unread). False when nothing but delimiters stands before
// the end of the input, or, without pass_line_ends, before the end of the line.
bool take_word(input_source &in, const word_rules &rules, std::string *keep);

// A PHYLIP label: the next 10 characters, line ends passed over and not counted (strict:
// end_of_input when the input ends first); or, within_line, the characters of the line up to
// the 10th (a carriage return before the line end ends the line). Returns how many characters
// the label holds: fewer than 10 within a short line.
std::size_t take_phylip_label(input_source &in, bool within_line, std::string &label);

} // namespace phylo::detail
