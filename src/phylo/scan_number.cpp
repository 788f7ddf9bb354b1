#include "scan_number.hpp"

#include "pow10_table.hpp"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace phylo::detail {
namespace {

inline bool is_digit(int c) noexcept { return static_cast<unsigned>(c - '0') < 10u; }

std::string describe(int c) {
  if (c < 0) return "the end of the input";
  if (c >= 32 && c < 127) return std::string("'") + static_cast<char>(c) + "'";
  char buf[16];
  std::snprintf(buf, sizeof buf, "byte %d", c);
  return buf;
}

[[noreturn]] void throw_incomplete(const char *what, int c) {
  throw format_error(std::string(what) + ", found " + describe(c));
}

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

[[noreturn]] void throw_overflow() {
  throw format_error("number too large for single precision");
}

inline float with_sign(bool negative, float f) noexcept { return negative ? -f : f; }

} // namespace

void throw_not_a_number(int c) { throw format_error("expected a number, found " + describe(c)); }

float to_float(const decimal_number &d) {
  if (d.mantissa == 0) return with_sign(d.negative, 0.0f); // every digit was zero
  const std::int64_t e = d.point - d.n_mantissa;
  if (d.n_extra == 0 && !d.sticky && d.mantissa <= (std::uint64_t{1} << 53) && e >= -22 && e <= 22) {
    // mantissa and 10^|e| are exact doubles, so one operation rounds correctly to double.
    // Rounding that double to float is then correct unless it lies exactly halfway between
    // two floats (the true value may lie on either side); such values, and values below
    // the normal range, take the general path.
    const double m = static_cast<double>(d.mantissa);
    const double v = e < 0 ? m / pow10_table[-e - pow10_min] : m * pow10_table[e - pow10_min];
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    if (v >= static_cast<double>(FLT_MIN) && (bits & 0x1FFFFFFFu) != 0x10000000u)
      return with_sign(d.negative, static_cast<float>(v));
  }
  // |value| lies in [10^(point-1), 10^point).
  if (d.point > 39) throw_overflow();
  if (d.point < -46) return with_sign(d.negative, 0.0f);
  char text[decimal_number::max_digits + 64];
  auto [p, ec0] = std::to_chars(text, text + 20, d.mantissa);
  (void)ec0;
  std::memcpy(p, d.extra, static_cast<std::size_t>(d.n_extra));
  p += d.n_extra;
  if (d.sticky) *p++ = '1';
  const std::int64_t n_digits = p - text;
  *p++ = 'e';
  p = std::to_chars(p, text + sizeof text, d.point - n_digits).ptr;
  float f = 0.0f;
  auto [end, ec] = std::from_chars(text, p, f, std::chars_format::scientific);
  (void)end;
  if (ec == std::errc::result_out_of_range) {
    if (d.point >= 38) throw_overflow();
    return with_sign(d.negative, 0.0f);
  }
  if (std::isinf(f)) throw_overflow();
  return with_sign(d.negative, f);
}

float scan_real(input_source &in) {
  int c = skip_number_space(in);
  if (c < 0) throw end_of_input("the input ends where a number was expected");
  decimal_number d;
  if (c == '+' || c == '-') {
    d.negative = c == '-';
    in.advance();
    c = in.peek();
    if (!is_digit(c)) throw_incomplete("expected a digit after the sign", c);
  } else if (!is_digit(c)) {
    throw_not_a_number(c);
  }
  do {
    take_digit(d, c - '0', false);
    in.advance();
    c = in.peek();
  } while (is_digit(c));
  if (c == '.') {
    in.advance();
    c = in.peek();
    if (!is_digit(c)) throw_incomplete("expected a digit after the decimal point", c);
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
    if (!is_digit(c)) throw_incomplete("expected the digits of an exponent", c);
    std::int64_t exponent = 0;
    do {
      if (exponent < 1000000000000LL) exponent = exponent * 10 + (c - '0');
      in.advance();
      c = in.peek();
    } while (is_digit(c));
    d.point += negative_exponent ? -exponent : exponent;
  }
  return to_float(d);
}

std::int32_t scan_integer(input_source &in) {
  int c = skip_number_space(in);
  if (c < 0) throw end_of_input("the input ends where a number was expected");
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    in.advance();
    c = in.peek();
    if (!is_digit(c)) throw_incomplete("expected a digit after the sign", c);
  } else if (!is_digit(c)) {
    throw_not_a_number(c);
  }
  std::uint64_t value = 0;
  bool too_big = false;
  do {
    if (value > 0xFFFFFFFFu) too_big = true;
    else value = value * 10 + static_cast<unsigned>(c - '0');
    in.advance();
    c = in.peek();
  } while (is_digit(c));
  const std::uint64_t limit = negative ? 0x80000000u : 0x7FFFFFFFu;
  if (too_big || value > limit) throw format_error("integer too large for 32 bits");
  return negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(value))
                  : static_cast<std::int32_t>(value);
}

} // namespace phylo::detail
