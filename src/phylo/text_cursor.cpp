#include "text_cursor.hpp"

#include "scan_number.hpp"

#include <charconv>
#include <cstdio>
#include <cstring>

namespace phylo::detail {
namespace {

inline bool is_digit(int c) noexcept { return static_cast<unsigned>(c - '0') < 10u; }

inline void take_digit(decimal_number &d, int digit, bool fraction) noexcept {
  if (d.n_mantissa == 0 && digit == 0) { // a leading zero
    if (fraction) --d.point;
    return;
  }
  if (!fraction) ++d.point;
  if (d.n_mantissa < 19) {
    d.mantissa = d.mantissa * 10 + static_cast<unsigned>(digit);
    ++d.n_mantissa;
  } else if (d.n_extra < decimal_number::max_digits) {
    d.extra[d.n_extra++] = static_cast<char>('0' + digit);
  } else if (digit != 0) {
    d.sticky = true;
  }
}

} // namespace

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
  int ch = c.peek();
  if (ch == '+' || ch == '-') {
    d.negative = ch == '-';
    c.advance();
    ch = c.peek();
    if (!is_digit(ch)) return fail("expected a digit after the sign, found " + describe_char(ch));
  } else if (!is_digit(ch)) {
    return fail("expected a number, found " + describe_char(ch));
  }
  do {
    take_digit(d, ch - '0', false);
    c.advance();
    ch = c.peek();
  } while (is_digit(ch));
  if (ch == '.') {
    c.advance();
    ch = c.peek();
    if (!is_digit(ch)) return fail("expected a digit after the decimal point, found " + describe_char(ch));
    do {
      take_digit(d, ch - '0', true);
      c.advance();
      ch = c.peek();
    } while (is_digit(ch));
  }
  if (ch == 'e' || ch == 'E') {
    c.advance();
    ch = c.peek();
    bool negative_exponent = false;
    if (ch == '+' || ch == '-') {
      negative_exponent = ch == '-';
      c.advance();
      ch = c.peek();
    }
    if (!is_digit(ch)) return fail("expected the digits of an exponent, found " + describe_char(ch));
    std::int64_t exponent = 0;
    do {
      if (exponent < 1000000000000LL) exponent = exponent * 10 + (ch - '0');
      c.advance();
      ch = c.peek();
    } while (is_digit(ch));
    d.point += negative_exponent ? -exponent : exponent;
  }
  try {
    return to_float(d);
  } catch (const format_error &) {
    return fail("number " + quote_text(std::string_view(start.p, static_cast<std::size_t>(c.p - start.p))) +
                " is too large for single precision");
  }
}

} // namespace phylo::detail
