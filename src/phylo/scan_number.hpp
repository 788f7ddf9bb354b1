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

// Converts a scanned decimal to the nearest float (ties to even). format_error when the
// value is beyond the largest finite float; an underflow gives zero of the number's sign.
float to_float(const decimal_number &d);

// Scans [+-]digits[.digits][(E|e)[+-]digits] at the read position (after number space).
float scan_real(input_source &in);
// Scans [+-]digits; format_error when it does not fit 32 bits.
std::int32_t scan_integer(input_source &in);

} // namespace phylo::detail
