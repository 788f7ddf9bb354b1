// The reference for the 12-character number image: slow and obviously right.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

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

} // namespace phylo::test
