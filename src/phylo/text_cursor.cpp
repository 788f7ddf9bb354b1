#include "text_cursor.hpp"

#include "number_scan.hpp"

#include <charconv>
#include <cstdio>
#include <cstring>

namespace phylo::detail {
void skip_to_next_line(text_cursor &c) noexcept {
  const void *nl = std::memchr(c.p, '\n', static_cast<std::size_t>(c.end - c.p));
  if (!nl) {
    c.p = c.end;
    return;
  }
  c.p = static_cast<const char *>(nl) + 1;
  ++c.line;
}

void skip_blank_lines(text_cursor &c) noexcept {
  for (;;) {
    text_cursor probe = c;
    skip_blanks(probe);
    if (probe.peek() != '\n') return;
    probe.advance();
    c = probe;
  }
}

std::string describe_char(int c) {
  if (c < 0) return "the end of the input";
  if (c == '\n') return "the line end";
  if (c == '\t') return "a tab";
  if (c == '\r') return "a carriage return";
  if (c == ' ') return "a blank";
  if (c > 32 && c < 127) return std::string("'") + static_cast<char>(c) + "'";
  char buf[24];
  std::snprintf(buf, sizeof buf, "the byte %d", c);
  return buf;
}

std::string quote_text(std::string_view text) {
  constexpr std::size_t longest = 40;
  std::string out = "'";
  out.append(text.substr(0, longest));
  if (text.size() > longest) out += "...";
  out += "'";
  return out;
}

std::string float_text(float v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

bool number_starts(const text_cursor &c) noexcept {
  int first = c.peek();
  if (first == '+' || first == '-') first = c.peek_at(1);
  return is_digit(first);
}

float scan_real_text(text_cursor &c) {
  const text_cursor start = c;
  auto fail = [&](const std::string &why) -> float {
    c = start;
    throw format_error(why);
  };
  decimal_number d;
  if (const char *expected = scan_decimal(c, d)) return fail(std::string(expected) + ", found " + describe_char(c.peek()));
  try {
    return to_float(d);
  } catch (const format_error &) {
    return fail("number " + quote_text(std::string_view(start.p, static_cast<std::size_t>(c.p - start.p))) +
                " is too large for single precision");
  }
}

} // namespace phylo::detail
