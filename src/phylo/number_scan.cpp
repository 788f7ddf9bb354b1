#include "number_scan.hpp"

#include "phylo/number.hpp"

#include "phylo/chars.hpp"
#include "pow10_table.hpp"

#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace phylo::detail {
namespace {

[[noreturn]] void throw_incomplete(const input_source &in, const char *what, int c) {
  throw format_error(std::string(what) + ", found " + describe_char(c), in.position());
}

[[noreturn]] void throw_overflow(const input_source &in) {
  throw format_error("number too large for single precision", in.position());
}

inline float with_sign(bool negative, float f) noexcept { return negative ? -f : f; }

} // namespace

namespace {

// The value mantissa x 10^e, |e| <= 22, by one double multiplication with the nearest double
// of 10^e. With a mantissa up to 2^53 and e >= 0 both operands are exact, the product is the
// true value rounded once, and rounding it to a float is correct unless it lies exactly
// halfway between two floats (the true value may lie on either side). Otherwise the mantissa,
// the power (10^e is inexact for e < 0) and the product are each rounded once, which leaves
// the double within 3 units of its last place of the true value (a division would be exact
// but is several times slower, and the fraction of a distance nearly always needs one): the
// float is then correct unless the double lies within 4 units of a halfway point. False for
// such values and for values outside the normal range of floats, which need the exact
// conversion.
inline bool by_one_operation(std::uint64_t mantissa, std::int64_t e, bool negative, float &out) noexcept {
  const double v = static_cast<double>(mantissa) * pow10_table[e - pow10_min];
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  const std::uint32_t dropped = static_cast<std::uint32_t>(bits) & 0x1FFFFFFFu; // what a float drops
  const std::uint32_t margin = mantissa <= (std::uint64_t{1} << 53) && e >= 0 ? 0 : 4;
  if (!(v >= static_cast<double>(FLT_MIN) && v < 3.4e38 && dropped - (0x10000000u - margin) > 2 * margin)) return false;
  out = with_sign(negative, static_cast<float>(v));
  return true;
}

} // namespace

bool to_float(const decimal_number &d, float &out) noexcept {
  if (d.mantissa == 0) { // every digit was zero
    out = with_sign(d.negative, 0.0f);
    return true;
  }
  const std::int64_t e = d.point - d.n_mantissa;
  if (d.n_extra == 0 && !d.sticky && e >= -22 && e <= 22 && by_one_operation(d.mantissa, e, d.negative, out))
    return true;
  // |value| lies in [10^(point-1), 10^point).
  if (d.point > 39) return false;
  if (d.point < -46) {
    out = with_sign(d.negative, 0.0f);
    return true;
  }
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
    if (d.point >= 38) return false;
    out = with_sign(d.negative, 0.0f);
    return true;
  }
  if (std::isinf(f)) return false;
  out = with_sign(d.negative, f);
  return true;
}

namespace {

// The general path: byte by byte through the source, across buffer refills, with every
// diagnostic of the grammar.
template <bool Tolerant> float scan_real_general(input_source &in) {
  const int c = skip_number_space<Tolerant>(in);
  if (c < 0) throw end_of_input("the input ends where a number was expected", in.position());
  decimal_number d;
  if (const char *expected = scan_decimal(in, d)) throw_incomplete(in, expected, in.peek());
  float f;
  if (!to_float(d, f)) throw_overflow(in);
  return f;
}

// Powers of ten that are exact floats (5^10 < 2^24).
constexpr float exact_pow10f[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// The 8 bytes at p as one word: the first byte of the text is the lowest.
inline std::uint64_t word_at(const char *p) noexcept {
  std::uint64_t x;
  std::memcpy(&x, p, sizeof x);
  return x;
}

// How many of the bytes of a word, from the first, are digits (0 to 8): those whose high bit
// neither adding 0x46 nor subtracting 0x30 sets. A borrow only runs from a byte that is no
// digit to the bytes after it.
inline int leading_digits(std::uint64_t x) noexcept {
  const std::uint64_t non_digits = ((x + 0x4646464646464646u) | (x - 0x3030303030303030u)) & 0x8080808080808080u;
  return non_digits ? std::countr_zero(non_digits) >> 3 : 8;
}

// The value of the first n (1 to 8) bytes of a word, all digits, by three multiplications.
inline std::uint64_t digits_value(std::uint64_t x, int n) noexcept {
  x = (x - 0x3030303030303030u) << (8 * (8 - n)); // the digits last, zeros before them
  x = x * 10 + (x >> 8);                          // pairs of digits
  return (((x & 0x000000FF000000FFu) * (100 + (1000000ull << 32))) +
          (((x >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32)))) >>
         32;
}

constexpr std::uint64_t exact_pow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

#if defined(__SSE2__)
// The value of the 16 bytes at p when all are digits, by multiply-adds of neighbouring lanes
// (digit pairs, then fours, then eights); false when any is not a digit.
inline bool sixteen_digits(const char *p, std::uint64_t &value) noexcept {
  const __m128i v = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), _mm_set1_epi8('0'));
  // A digit is 0 to 9 after the subtraction; any other byte wraps past 9.
  if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(9)), v)) != 0xFFFF) return false;
  const __m128i zero = _mm_setzero_si128(), ten = _mm_set_epi16(1, 10, 1, 10, 1, 10, 1, 10);
  const __m128i pairs =
      _mm_packs_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(v, zero), ten), _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), ten));
  const __m128i fours = _mm_madd_epi16(pairs, _mm_set_epi16(1, 100, 1, 100, 1, 100, 1, 100));
  const __m128i eights =
      _mm_madd_epi16(_mm_packs_epi32(fours, fours), _mm_set_epi16(1, 10000, 1, 10000, 1, 10000, 1, 10000));
  const auto first = static_cast<std::uint32_t>(_mm_cvtsi128_si32(eights));
  const auto second = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(eights, 4)));
  value = std::uint64_t{first} * 100000000u + second;
  return true;
}
#endif

// A number of at most 19 significant digits: |value| = mantissa x 10^exponent.
struct short_decimal {
  std::uint64_t mantissa = 0;
  int n_digits = 0; // significant digits in the mantissa
  std::int64_t exponent = 0;
  bool negative = false;
};

// The common case on a buffer: a number of at most 19 significant digits and a short exponent
// that ends before `end` (or, for a whole field, `AtEnd`, at `end`). On success `first` moves
// past the number and the value is in `d`; otherwise nothing is decided and the general path
// takes over.
template <bool AtEnd = false> inline bool scan_buffered(const char *&first, const char *end, short_decimal &d) {
  const char *p = first;
  const auto done = [&](std::int64_t exponent, std::uint64_t m, int n_digits) {
    d.mantissa = m;
    d.n_digits = n_digits;
    d.exponent = exponent;
    first = p;
    return true;
  };
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
  if (p == digits) return false;
  std::int64_t exponent = 0;
  if (p == end) return AtEnd && done(exponent, m, n_digits);
  if (*p == '.') {
    const char *fraction = ++p;
    // The digits of a fraction up to eight at a time, once a significant digit has come:
    // six decimals are one word, the 17 digits that write a double sixteen at once (where
    // the processor has vectors) and a digit (the last few digits are cheaper one by one).
    if (m == 0)
      for (; p != end && *p == '0'; ++p) --exponent;
    while (end - p >= 8) {
      const std::uint64_t word = word_at(p);
      const int n = leading_digits(word);
#if defined(__SSE2__)
      std::uint64_t sixteen;
      if (n == 8 && n_digits <= 3 && end - p >= 16 && sixteen_digits(p, sixteen)) {
        m = m * 10000000000000000u + sixteen;
        n_digits += 16;
        exponent -= 16;
        p += 16;
        break; // at most three digits more fit: one by one
      }
#endif
      if (n < 3 || n_digits + n > 19) break;
      m = m * exact_pow10[n] + digits_value(word, n);
      n_digits += n;
      exponent -= n;
      p += n;
      if (n < 8) break;
    }
    for (; p != end && is_digit(*p); ++p) {
      const unsigned digit = static_cast<unsigned char>(*p) - '0';
      --exponent;
      if (m == 0 && digit == 0) continue;
      if (n_digits == 19) return false;
      m = m * 10 + digit;
      ++n_digits;
    }
    if (p == fraction) return false;
    if (p == end) return AtEnd && done(exponent, m, n_digits);
  }
  if (*p == 'e' || *p == 'E') {
    ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    const char *start = p;
    int written = 0;
    for (; p != end && is_digit(*p); ++p) written = written < 100000 ? written * 10 + (*p - '0') : written;
    if (p == start || (!AtEnd && p == end) || written >= 100000) return false;
    exponent += negative ? -written : written;
  }
  return done(exponent, m, n_digits);
}

// A short decimal that one operation cannot convert, converted exactly; false beyond the
// largest float.
[[gnu::noinline]] bool convert_exactly(const short_decimal &s, float &f) noexcept {
  decimal_number d;
  d.negative = s.negative;
  d.mantissa = s.mantissa;
  d.n_mantissa = s.n_digits;
  d.point = s.n_digits + s.exponent;
  return to_float(d, f);
}

// The nearest float of a short decimal; false beyond the largest float.
inline bool short_to_float(const short_decimal &d, float &f) noexcept {
  const std::int64_t e = d.exponent;
  // Up to 2^24 and 10^10 both operands are exact floats: one operation rounds correctly.
  if (d.mantissa <= (1u << 24) && e >= -10 && e <= 10) {
    const float m = static_cast<float>(d.mantissa);
    f = with_sign(d.negative, e < 0 ? m / exact_pow10f[-e] : m * exact_pow10f[e]);
    return true;
  }
  if (d.mantissa != 0 && e >= -22 && e <= 22 && by_one_operation(d.mantissa, e, d.negative, f)) return true;
  return convert_exactly(d, f);
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
template <bool Tolerant>
[[gnu::noinline]] float scan_other(input_source &in, const char *begin, const char *p, const char *end) {
  short_decimal d;
  if (p != end && scan_buffered(p, end, d)) {
    in.consume(static_cast<std::size_t>(p - begin));
    float f;
    if (!short_to_float(d, f)) throw_overflow(in);
    return f;
  }
  in.consume(static_cast<std::size_t>(p - begin));
  return scan_real_general<Tolerant>(in);
}

} // namespace

template <bool Tolerant> float scan_real(input_source &in) {
  const std::string_view chunk = in.buffered();
  const char *const begin = chunk.data();
  const char *const end = begin + chunk.size();
  const char *p = begin;
  while (p != end && is_number_space<Tolerant>(static_cast<unsigned char>(*p))) ++p;
  float value;
  if (end - p >= 13 && scan_image(p, value)) {
    in.consume(static_cast<std::size_t>(p - begin));
    return value;
  }
  return scan_other<Tolerant>(in, begin, p, end);
}
template float scan_real<false>(input_source &);
template float scan_real<true>(input_source &);

float scan_real_at(input_source &in, const char *begin, const char *p, const char *end) {
  float value;
  if (end - p >= 13 && scan_image(p, value)) {
    in.consume(static_cast<std::size_t>(p - begin));
    return value;
  }
  // Nothing precedes the number: either rules skip nothing here.
  return scan_other<false>(in, begin, p, end);
}

std::int32_t scan_integer(input_source &in) {
  int c = skip_number_space<false>(in);
  if (c < 0) throw end_of_input("the input ends where a number was expected", in.position());
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    in.advance();
    c = in.peek();
    if (!is_digit(c)) throw_incomplete(in, "expected a digit after the sign", c);
  } else if (!is_digit(c)) {
    throw format_error("expected a number, found " + describe_char(c), in.position());
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
  if (too_big || value > limit) throw format_error("integer too large for 32 bits", in.position());
  return negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(value)) : static_cast<std::int32_t>(value);
}

} // namespace phylo::detail

namespace phylo::read {

std::int32_t read_integer(input_source &in) { return detail::scan_integer(in); }
std::int32_t read_integer() { return read_integer(current_input()); }

float read_real(input_source &in) { return detail::scan_real<false>(in); }
float read_real() { return read_real(current_input()); }

namespace {

// A text as a source for scan_decimal.
struct text_source {
  const char *p, *end;
  int peek() const noexcept { return p == end ? -1 : static_cast<unsigned char>(*p); }
  void advance() noexcept { ++p; }
};

bool field_blank(char c) noexcept { return c == ' ' || c == '\t' || c == '\r'; }

} // namespace

std::optional<float> parse_real(std::string_view text) noexcept {
  while (!text.empty() && field_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && field_blank(text.back())) text.remove_suffix(1);
  const char *p = text.data(), *const end = p + text.size();
  detail::short_decimal s;
  float value;
  if (p != end && detail::scan_buffered<true>(p, end, s)) {
    if (p == end) return detail::short_to_float(s, value) ? std::optional<float>(value) : std::nullopt;
    return std::nullopt; // more than a number
  }
  text_source source{text.data(), text.data() + text.size()};
  detail::decimal_number d;
  if (detail::scan_decimal(source, d) != nullptr || source.p != source.end || !detail::to_float(d, value))
    return std::nullopt;
  return value;
}

} // namespace phylo::read
