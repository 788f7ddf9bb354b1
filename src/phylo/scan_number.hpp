// Decimal number scanning on an input_source: the grammar of the readers, and the exact
// conversion to single precision.
#pragma once

#include "phylo/io.hpp"
#include "phylo/types.hpp"

#include <cstdint>
#include <string>

namespace phylo::detail {

// Passes over blanks, tabs and line feeds. Returns the next byte, or -1 at the end.
inline int skip_number_space(input_source &in) {
  for (;;) {
    int c = in.peek();
    if (c != ' ' && c != '\t' && c != '\n') return c;
    in.advance();
  }
}

[[noreturn]] void throw_not_a_number(int c);

// The significant digits and decimal exponent of a scanned number: |value| = 0.digits x 10^point.
struct decimal_number {
  static constexpr int max_digits = 800; // beyond this only "something non-zero" matters
  bool negative = false;
  std::uint64_t mantissa = 0; // the first (up to 19) significant digits
  int n_mantissa = 0;         // how many digits mantissa holds
  std::int64_t point = 0;     // decimal exponent of the leading significant digit, plus one
  int n_extra = 0;            // significant digits beyond the mantissa, kept in extra
  bool sticky = false;        // a non-zero digit was dropped past max_digits
  char extra[max_digits];
};

inline bool is_digit(int c) noexcept { return static_cast<unsigned>(c - '0') < 10u; }

// Adds one digit of the integer part or the fraction to d.
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

// Reads [+-]digits[.digits][(E|e)[+-]digits] into d, byte by byte from any source with peek()
// (the next byte, or -1 at the end) and advance(). Returns nullptr, or what was expected where
// the grammar broke; the source then stands at the byte that broke it.
template <class Source> const char *scan_decimal(Source &in, decimal_number &d) {
  int c = in.peek();
  if (c == '+' || c == '-') {
    d.negative = c == '-';
    in.advance();
    c = in.peek();
    if (!is_digit(c)) return "expected a digit after the sign";
  } else if (!is_digit(c)) {
    return "expected a number";
  }
  do {
    take_digit(d, c - '0', false);
    in.advance();
    c = in.peek();
  } while (is_digit(c));
  if (c == '.') {
    in.advance();
    c = in.peek();
    if (!is_digit(c)) return "expected a digit after the decimal point";
    do {
      take_digit(d, c - '0', true);
      in.advance();
      c = in.peek();
    } while (is_digit(c));
  }
  if (c == 'e' || c == 'E') {
    in.advance();
    c = in.peek();
    bool negative_exponent = false;
    if (c == '+' || c == '-') {
      negative_exponent = c == '-';
      in.advance();
      c = in.peek();
    }
    if (!is_digit(c)) return "expected the digits of an exponent";
    std::int64_t exponent = 0;
    do {
      if (exponent < 1000000000000LL) exponent = exponent * 10 + (c - '0');
      in.advance();
      c = in.peek();
    } while (is_digit(c));
    d.point += negative_exponent ? -exponent : exponent;
  }
  return nullptr;
}

// Converts a scanned decimal to the nearest float (ties to even). format_error when the
// value is beyond the largest finite float; an underflow gives zero of the number's sign.
float to_float(const decimal_number &d);

// Scans [+-]digits[.digits][(E|e)[+-]digits] at the read position (after number space).
float scan_real(input_source &in);
// Scans [+-]digits; format_error when it does not fit 32 bits.
std::int32_t scan_integer(input_source &in);

// After the last number of a row: format_error unless the number ends at a blank, a tab, a
// carriage return, a line feed or the end of the input (so that "0,5", "0.25.3" or "1.5abc"
// is not read as its leading number). Consumes nothing.
void expect_row_end(input_source &in);

} // namespace phylo::detail
