// Numbers as the writers write them. The 12-character image of a single-precision value:
// « d.dddddE±xx», six significant digits, the exact value of the float rounded halfway away
// from zero; plain decimals; integers.
//
// The six digits come from one double-precision scaling, whose error is far below 1e-7 of a
// unit of the sixth digit. Only when the scaled value lies that close to a halfway point is
// the rounding decided on the exact value, with a small big-integer comparison.

#include "phylo/number.hpp"

#include "phylo/io.hpp"
#include "pow10_table.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace phylo::print {
namespace {

// An unsigned integer of up to 384 bits: enough for 2^25 * 2^104 * 10^51 and the like.
struct big_uint {
  std::uint32_t w[12] = {};
  int n = 1; // words in use

  explicit big_uint(std::uint64_t v) {
    w[0] = static_cast<std::uint32_t>(v);
    w[1] = static_cast<std::uint32_t>(v >> 32);
    n = w[1] ? 2 : 1;
  }
  void mul_small(std::uint32_t f) {
    std::uint64_t carry = 0;
    for (int i = 0; i < n; ++i) {
      std::uint64_t t = std::uint64_t{w[i]} * f + carry;
      w[i] = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
    if (carry) w[n++] = static_cast<std::uint32_t>(carry);
  }
  void mul_pow10(int q) {
    for (; q >= 9; q -= 9) mul_small(1000000000u);
    for (; q > 0; --q) mul_small(10u);
  }
  void shift_left(int k) {
    for (; k >= 31; k -= 31) mul_small(1u << 31);
    if (k > 0) mul_small(1u << k);
  }
  friend bool operator>=(const big_uint &a, const big_uint &b) {
    int na = a.n, nb = b.n;
    while (na > 1 && a.w[na - 1] == 0) --na;
    while (nb > 1 && b.w[nb - 1] == 0) --nb;
    if (na != nb) return na > nb;
    for (int i = na - 1; i >= 0; --i)
      if (a.w[i] != b.w[i]) return a.w[i] > b.w[i];
    return true;
  }
};

// Whether |x| * 10^q >= n + 1/2 exactly, for the float with the given bits.
bool reaches_halfway(std::uint32_t bits, std::uint32_t n, int q) {
  const std::uint32_t field = (bits >> 23) & 0xFF;
  std::uint64_t m = bits & 0x7FFFFF;
  int k = -149;
  if (field != 0) {
    m |= 0x800000;
    k = static_cast<int>(field) - 150;
  }
  big_uint lhs(2 * m), rhs(2 * std::uint64_t{n} + 1);
  if (k >= 0) lhs.shift_left(k);
  else rhs.shift_left(-k);
  if (q >= 0) lhs.mul_pow10(q);
  else rhs.mul_pow10(-q);
  return lhs >= rhs;
}

inline double pow10(int k) noexcept { return detail::pow10_table[k - detail::pow10_min]; }

// "00" "01" ... "99": two digits at a time.
constexpr char digit_pairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                               "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                               "8081828384858687888990919293949596979899";

inline void put_pair(char *out, std::uint32_t v) noexcept { std::memcpy(out, digit_pairs + 2 * v, 2); }

} // namespace

char *write_number_image(float v, char *out) noexcept {
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  const bool negative = bits >> 31;
  if (((bits >> 23) & 0xFF) == 0xFF) {
    const char *text = (bits & 0x7FFFFF) ? "NaN********" : negative ? "-Inf*******" : " +Inf*******";
    std::size_t len = std::strlen(text);
    std::memcpy(out, text, len);
    return out + len;
  }
  *out++ = negative ? '-' : ' ';
  if ((bits & 0x7FFFFFFF) == 0) {
    std::memcpy(out, "0.00000E+00", 11);
    return out + 11;
  }
  const double d = std::fabs(static_cast<double>(v));
  std::uint64_t dbits;
  std::memcpy(&dbits, &d, sizeof dbits);
  const int binary_exponent = static_cast<int>((dbits >> 52) & 0x7FF) - 1023;
  int e10 = (binary_exponent * 1233) >> 12; // floor(binary_exponent * log10(2)), or one less
  double s = d * pow10(5 - e10);
  while (s >= 1e6) s = d * pow10(5 - ++e10);
  while (s < 1e5) s = d * pow10(5 - --e10);
  // Rounded half up without a branch; `past` is how far s + 1/2 lies above n, so a value
  // within 1e-7 of a halfway point has `past` within 1e-7 of 0 or 1.
  const double t = s + 0.5;
  std::uint32_t n = static_cast<std::uint32_t>(t);
  const double past = t - n;
  if (past < 1e-7 || past > 1 - 1e-7) [[unlikely]] {
    const std::uint32_t below = past < 0.5 ? n - 1 : n; // the six digits before the halfway point
    n = below + reaches_halfway(bits, below, 5 - e10);
  }
  if (n >= 1000000) { // 9.999995... carries into the exponent
    n = 100000;
    ++e10;
  }
  const std::uint32_t head = n / 10000, tail = n % 10000; // d d, dddd
  out[0] = static_cast<char>('0' + head / 10);
  out[1] = '.';
  out[2] = static_cast<char>('0' + head % 10);
  put_pair(out + 3, tail / 100);
  put_pair(out + 5, tail % 100);
  out[7] = 'E';
  out[8] = e10 < 0 ? '-' : '+';
  put_pair(out + 9, static_cast<std::uint32_t>(e10 < 0 ? -e10 : e10));
  return out + 11;
}

std::string number_image(float v) {
  char buf[number_image_size];
  char *end = write_number_image(v, buf);
  return std::string(buf, end);
}

void print_number_images(const float *values, std::size_t count) {
  print_number_images(current_output(), values, count);
}

void print_number_images(output_sink &out, const float *values, std::size_t count) {
  char *p = out.reserve(count * (number_image_size + 1));
  for (std::size_t j = 0; j < count; ++j) {
    *p++ = '\t';
    p = write_number_image(values[j], p);
  }
  out.commit(p);
}

std::string integer_image(long long v) {
  std::string s = std::to_string(v);
  if (v >= 0) s.insert(s.begin(), ' ');
  return s;
}

char *write_plain_decimal(float v, char *out) noexcept {
  if (v == 0.0f || !std::isfinite(v)) { // distances are finite; zero may be negative
    *out = '0';
    return out + 1;
  }
  // The shortest digits that read back as v, d.ddd times ten to the power e, set out in full.
  char sci[32];
  char *end = std::to_chars(sci, sci + sizeof sci, v, std::chars_format::scientific).ptr;
  const char *p = sci;
  if (*p == '-') *out++ = *p++;
  char digits[16];
  int n = 0;
  for (; *p != 'e'; ++p)
    if (*p != '.') digits[n++] = *p;
  int e = 0;
  std::from_chars(p + (p[1] == '+' ? 2 : 1), end, e);
  if (e < 0) {
    *out++ = '0';
    *out++ = '.';
    for (int k = -1; k > e; --k) *out++ = '0';
    std::memcpy(out, digits, static_cast<std::size_t>(n));
    return out + n;
  }
  for (int k = 0; k <= e || k < n; ++k) {
    if (k == e + 1) *out++ = '.';
    *out++ = k < n ? digits[k] : '0';
  }
  return out;
}

std::string shortest_decimal(float v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

} // namespace phylo::print

char *phylo::print::write_decimal(float v, int digits, char *out) noexcept {
  if (digits <= 0) return write_plain_decimal(v, out);
  if (v == 0.0f) v = 0.0f; // no negative zero
  return std::to_chars(out, out + 64, v, std::chars_format::general, digits).ptr;
}
