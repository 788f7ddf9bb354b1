// Decimal number scanning on an input_source: the grammar of every reader, and the exact
// conversion to single precision. karvel's strict reader and the recognising reader share
// it; they differ only in what may stand before a number (the Tolerant parameter).
#pragma once

#include "phylo/io.hpp"
#include "phylo/types.hpp"

#include <cstdint>
#include <string>

namespace phylo::detail {

// What may stand before a number: blanks, tabs and line feeds; under the tolerant rules of
// the recognising reader also carriage returns, which karvel's layouts take as text.
template <bool Tolerant> constexpr bool is_number_space(int c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || (Tolerant && c == '\r');
}

// Passes over number space. Returns the next byte, or -1 at the end.
template <bool Tolerant> int skip_number_space(input_source &in) {
  for (;;) {
    int c = in.peek();
    if (!is_number_space<Tolerant>(c)) return c;
    in.advance();
  }
}

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

// Converts a scanned decimal to the nearest float (ties to even) in `out`; false when the
// value is beyond the largest finite float. An underflow gives zero of the number's sign.
bool to_float(const decimal_number &d, float &out) noexcept;

// Scans [+-]digits[.digits][(E|e)[+-]digits] after number space and converts it.
// end_of_input when the input ends first; format_error when no number starts there, when it
// is incomplete ("1.", "1e", a lone sign) or beyond the largest float. The input then stands
// where the grammar broke.
template <bool Tolerant> float scan_real(input_source &in);
extern template float scan_real<false>(input_source &);
extern template float scan_real<true>(input_source &);
// The same for a number that starts at `p` in the buffered bytes begin .. end (begin being
// the read position), with nothing passed over before it.
float scan_real_at(input_source &in, const char *begin, const char *p, const char *end);
// Scans [+-]digits after (strict) number space; format_error when it does not fit 32 bits.
std::int32_t scan_integer(input_source &in);

} // namespace phylo::detail
