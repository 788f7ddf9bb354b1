// The references for the 12-character number image and for the number reader, slow and
// obviously right, and random texts of the number grammar.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "phylo/number.hpp"

namespace phylo::test {

// The image of a finite float into out[12]: its sign or a blank, then the exact decimal
// expansion cut after the seventh significant digit and rounded up when that digit is 5 or more.
inline void reference_image(float v, char *out) {
  out[0] = std::signbit(v) ? '-' : ' ';
  if (v == 0) {
    std::memcpy(out + 1, "0.00000E+00", 11);
    return;
  }
  char buf[160];
  const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(static_cast<double>(v)), std::chars_format::scientific,
                               120); // exact for every float
  const char *e = static_cast<const char *>(std::memchr(buf, 'e', static_cast<std::size_t>(r.ptr - buf)));
  int exponent = 0; // to_chars ends the text without a terminator: read only up to its end
  std::from_chars(e + 1 + (e[1] == '+'), r.ptr, exponent);
  long n = buf[0] - '0';
  for (int k = 2; k <= 6; ++k) n = n * 10 + (buf[k] - '0');
  if (buf[7] >= '5') ++n;
  if (n == 1000000) n = 100000, ++exponent;
  const int a = std::abs(exponent);
  const char text[] = {static_cast<char>('0' + n / 100000),
                       '.',
                       static_cast<char>('0' + n / 10000 % 10),
                       static_cast<char>('0' + n / 1000 % 10),
                       static_cast<char>('0' + n / 100 % 10),
                       static_cast<char>('0' + n / 10 % 10),
                       static_cast<char>('0' + n % 10),
                       'E',
                       exponent < 0 ? '-' : '+',
                       static_cast<char>('0' + a / 10),
                       static_cast<char>('0' + a % 10)};
  std::memcpy(out + 1, text, sizeof text);
}

inline float from_bits(std::uint32_t b) {
  float f;
  std::memcpy(&f, &b, sizeof f);
  return f;
}

struct expected {
  enum kind_type { value, too_large } kind;
  float v;
};

// What the reader must give for a text of the number grammar: std::from_chars's float, its
// out-of-range split into overflow (format_error) and underflow (a zero of the text's sign).
inline expected reference_read(const std::string &text) {
  const char *p = text.data() + (text[0] == '+');
  float f = 0;
  const auto r = std::from_chars(p, text.data() + text.size(), f, std::chars_format::general);
  if (r.ec == std::errc()) return {expected::value, f};
  double d = 0;
  std::from_chars(p, text.data() + text.size(), d, std::chars_format::general);
  if (std::fabs(d) >= 1.0) return {expected::too_large, 0};
  return {expected::value, text[0] == '-' ? -0.0f : 0.0f};
}

// A random text of the number grammar: images, printed floats, fixed decimals, digit strings.
inline std::string random_text(std::mt19937_64 &rng) {
  char buf[96];
  std::string s;
  switch (rng() % 5) {
  case 0: { // the 12-character image of a float, without its blank
    float v;
    do v = from_bits(static_cast<std::uint32_t>(rng()));
    while (!std::isfinite(v));
    char *end = phylo::print::write_number_image(v, buf);
    s.assign(buf + (buf[0] == ' '), end);
    break;
  }
  case 1: { // a float printed with a random digit count
    float v;
    do v = from_bits(static_cast<std::uint32_t>(rng()));
    while (!std::isfinite(v));
    const int digits = static_cast<int>(rng() % 13);
    const auto fmt = rng() % 3 == 0 ? std::chars_format::general : std::chars_format::scientific;
    s.assign(buf, std::to_chars(buf, buf + sizeof buf, v, fmt, digits).ptr);
    break;
  }
  case 2: { // a value of the workload printed with few digits, fixed
    const float v = static_cast<float>(rng() >> 40) * 0x1p-24f * 0.75f;
    s.assign(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, static_cast<int>(rng() % 10)).ptr);
    break;
  }
  default: { // random digits, a random point, a random exponent
    const int n = 1 + static_cast<int>(rng() % 30);
    for (int k = 0; k < n; ++k) s += static_cast<char>('0' + rng() % 10);
    if (rng() % 2) s.insert(1 + rng() % s.size(), ".");
    if (s.back() == '.') s += '0';
    if (rng() % 2) s += "e" + std::to_string(static_cast<int>(rng() % 100) - 60);
    break;
  }
  }
  for (char &c : s)
    if (c == 'e' && rng() % 2) c = 'E';
  if (s[0] != '-' && rng() % 8 == 0) s.insert(s.begin(), '+');
  return s;
}

} // namespace phylo::test
