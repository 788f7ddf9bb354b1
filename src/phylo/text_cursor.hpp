// A read position in a text held whole in memory, with the number of its line. The readers
// that must look ahead (shape recognition, NEXUS) copy a cursor to try a reading and keep
// the copy that worked.
#pragma once

#include "phylo/types.hpp"

#include <cstddef>
#include <string>
#include <string_view>

namespace phylo::detail {

struct text_cursor {
  const char *p = nullptr;
  const char *end = nullptr;
  std::size_t line = 1;
  const char *begin = nullptr; // the start of the text, when known

  // The line to name in a message about this position: at the end of a text that ends with
  // a line end, the last line rather than the empty one after it.
  std::size_t reported_line() const noexcept {
    return p >= end && begin && p > begin && p[-1] == '\n' && line > 1 ? line - 1 : line;
  }

  int peek() const noexcept { return p < end ? static_cast<unsigned char>(*p) : -1; }
  int peek_at(std::size_t k) const noexcept {
    return static_cast<std::size_t>(end - p) > k ? static_cast<unsigned char>(p[k]) : -1;
  }
  bool at_end() const noexcept { return p >= end; }
  void advance() noexcept {
    if (*p++ == '\n') ++line;
  }
};

// Blanks, tabs and carriage returns: what may stand between fields on one line.
inline bool is_blank(int c) noexcept { return c == ' ' || c == '\t' || c == '\r'; }

// A character that can stand in a number: a digit, a sign, a point, an exponent letter.
inline bool number_char(int c) noexcept {
  return (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E';
}

// Passes over blanks, tabs and carriage returns, not over the line end.
inline void skip_blanks(text_cursor &c) noexcept {
  while (is_blank(c.peek())) c.advance();
}
// True when only blanks stand before the line end or the end of the text. Consumes the blanks.
inline bool at_line_end(text_cursor &c) noexcept {
  skip_blanks(c);
  return c.peek() < 0 || c.peek() == '\n';
}
// Consumes everything up to and including the next line end.
void skip_to_next_line(text_cursor &c) noexcept;
// Passes over lines that hold nothing but blanks; stops at the start of the next other line
// (or at the end of the text).
void skip_blank_lines(text_cursor &c) noexcept;

// How a character appears in a message: 'x', "a tab", "the line end", "the end of the input".
std::string describe_char(int c);
// A piece of text quoted for a message, cut to a readable length.
std::string quote_text(std::string_view text);
// The shortest decimal that reads back as v ("0.25", "1e-07").
std::string float_text(float v);

// Reads [+-]digits[.digits][(E|e)[+-]digits] at the cursor (nothing skipped before it),
// rounded correctly to single precision. format_error when no number starts there or it
// is incomplete or beyond the largest float; the cursor then stands where the number began.
float scan_real_text(text_cursor &c);
// True when a number as scan_real_text reads it starts at the cursor.
bool number_starts(const text_cursor &c) noexcept;

} // namespace phylo::detail
