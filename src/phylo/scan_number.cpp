#include "scan_number.hpp"

#include "pow10_table.hpp"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace phylo::detail {
namespace {

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

namespace {

// The general path: byte by byte through the source, across buffer refills, with every
// diagnostic of the grammar.
float scan_real_general(input_source &in) {
  const int c = skip_number_space(in);
  if (c < 0) throw end_of_input("the input ends where a number was expected");
  decimal_number d;
  if (const char *expected = scan_decimal(in, d)) throw_incomplete(expected, in.peek());
  return to_float(d);
}

// Powers of ten that are exact floats (5^10 < 2^24).
constexpr float exact_pow10f[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// The common case on a buffer: a number of at most 19 significant digits and a short exponent
// that ends before `end`. On success `first` moves past the number and the value is in `d` (with
// `d.mantissa` below 2^64); otherwise nothing is decided and the general path takes over.
inline bool scan_buffered(const char *&first, const char *end, decimal_number &d, std::int64_t &e) {
  const char *p = first;
  if (*p == '+' || *p == '-') {
    d.negative = *p == '-';
    ++p;
  }
  std::uint64_t m = 0;
  int n_digits = 0; // significant digits in m
  const char *digits = p;
  for (; p != end && is_digit(*p); ++p) {
    const unsigned digit = static_cast<unsigned char>(*p) - '0';
    if (m == 0 && digit == 0) continue; // a leading zero
    if (n_digits == 19) return false;
    m = m * 10 + digit;
    ++n_digits;
  }
  if (p == digits || p == end) return false;
  std::int64_t exponent = 0;
  if (*p == '.') {
    const char *fraction = ++p;
    for (; p != end && is_digit(*p); ++p) {
      const unsigned digit = static_cast<unsigned char>(*p) - '0';
      --exponent;
      if (m == 0 && digit == 0) continue;
      if (n_digits == 19) return false;
      m = m * 10 + digit;
      ++n_digits;
    }
    if (p == fraction || p == end) return false;
  }
  if (*p == 'e' || *p == 'E') {
    ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    const char *start = p;
    int written = 0;
    for (; p != end && is_digit(*p); ++p) written = written < 100000 ? written * 10 + (*p - '0') : written;
    if (p == start || p == end || written >= 100000) return false;
    exponent += negative ? -written : written;
  }
  d.mantissa = m;
  d.n_mantissa = n_digits;
  d.point = n_digits + exponent;
  e = exponent;
  first = p;
  return true;
}

// The 12-character image that the writers produce, « d.dddddE±dd» or «-d.dddddE±dd», with
// its value in reach of the exact float operation: `p` is past the number space, and at least
// 13 bytes are buffered there.
inline bool scan_image(const char *&first, float &value) {
  const char *p = first;
  const bool negative = *p == '-';
  p += negative;
  if (p[1] != '.' || (p[7] != 'E' && p[7] != 'e') || (p[8] != '+' && p[8] != '-') || is_digit(p[11])) return false;
  const auto digit = [p](int k) { return static_cast<unsigned>(static_cast<unsigned char>(p[k])) - '0'; };
  const unsigned d0 = digit(0), d2 = digit(2), d3 = digit(3), d4 = digit(4), d5 = digit(5), d6 = digit(6),
                 d9 = digit(9), d10 = digit(10);
  if ((d0 > 9) | (d2 > 9) | (d3 > 9) | (d4 > 9) | (d5 > 9) | (d6 > 9) | (d9 > 9) | (d10 > 9)) return false;
  const int written = static_cast<int>(d9 * 10 + d10);
  const int e = (p[8] == '-' ? -written : written) - 5;
  if (e < -10 || e > 10) return false;
  const auto m = static_cast<float>(((((d0 * 10 + d2) * 10 + d3) * 10 + d4) * 10 + d5) * 10 + d6);
  value = with_sign(negative, e < 0 ? m / exact_pow10f[-e] : m * exact_pow10f[e]);
  first = p + 11;
  return true;
}

// Any other number: buffered when it ends inside the buffer, through the source otherwise.
[[gnu::noinline]] float scan_other(input_source &in, const char *begin, const char *p, const char *end) {
  if (p != end) {
    decimal_number d;
    std::int64_t e = 0;
    if (scan_buffered(p, end, d, e)) {
      in.consume(static_cast<std::size_t>(p - begin));
      // Up to 2^24 and 10^10 both operands are exact floats: one operation rounds correctly.
      if (d.mantissa <= (1u << 24) && e >= -10 && e <= 10) {
        const float m = static_cast<float>(d.mantissa);
        return with_sign(d.negative, e < 0 ? m / exact_pow10f[-e] : m * exact_pow10f[e]);
      }
      return to_float(d);
    }
  }
  in.consume(static_cast<std::size_t>(p - begin));
  return scan_real_general(in);
}

} // namespace

float scan_real(input_source &in) {
  const std::string_view chunk = in.buffered();
  const char *const begin = chunk.data();
  const char *const end = begin + chunk.size();
  const char *p = begin;
  while (p != end && (*p == ' ' || *p == '\t' || *p == '\n')) ++p;
  float value;
  if (end - p >= 13 && scan_image(p, value)) {
    in.consume(static_cast<std::size_t>(p - begin));
    return value;
  }
  return scan_other(in, begin, p, end);
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

void expect_row_end(input_source &in) {
  const int c = in.peek();
  if (c >= 0 && c != ' ' && c != '\t' && c != '\r' && c != '\n')
    throw format_error("expected a blank or the line end after the row's last number, found " + describe(c));
}

} // namespace phylo::detail
