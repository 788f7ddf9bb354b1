// The 12-character number image: six significant digits of the exact value, halfway cases
// away from zero, carries into the exponent.
#include "phylo/phylo.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

using phylo::print::number_image;

float from_bits(std::uint32_t b) {
  float f;
  std::memcpy(&f, &b, sizeof f);
  return f;
}

// Slow and obviously right: the exact decimal expansion of the float, cut after the seventh
// significant digit and rounded up when that digit is 5 or more.
std::string reference_image(float v) {
  if (std::isnan(v)) return "NaN********";
  if (std::isinf(v)) return v < 0 ? "-Inf*******" : " +Inf*******";
  std::string out(1, std::signbit(v) ? '-' : ' ');
  if (v == 0) return out + "0.00000E+00";
  char buf[256];
  auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(static_cast<double>(v)), std::chars_format::scientific, 120);
  std::string s(buf, r.ptr); // d.ddd...e±xx
  std::size_t e = s.find('e');
  int exponent = std::stoi(s.substr(e + 1));
  std::string digits = s.substr(0, 1) + s.substr(2, 6); // seven significant digits
  long n = std::stol(digits.substr(0, 6));
  if (digits[6] >= '5') ++n;
  if (n == 1000000) {
    n = 100000;
    ++exponent;
  }
  std::string d = std::to_string(n);
  char tail[16];
  std::snprintf(tail, sizeof tail, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
  return out + d.substr(0, 1) + "." + d.substr(1) + tail;
}

TEST(NumberImage, Examples) {
  struct {
    float v;
    const char *image;
  } cases[] = {
      {0.25f, " 2.50000E-01"},
      {0.0f, " 0.00000E+00"},
      {-0.0f, "-0.00000E+00"},
      {123.456f, " 1.23456E+02"},
      {-0.001f, "-1.00000E-03"},
      {1.5f, " 1.50000E+00"},
      {1.0f, " 1.00000E+00"},
      {10.0f, " 1.00000E+01"},
      {0.75f, " 7.50000E-01"},
      {std::numeric_limits<float>::max(), " 3.40282E+38"},
      {std::numeric_limits<float>::denorm_min(), " 1.40130E-45"},
      {std::numeric_limits<float>::min(), " 1.17549E-38"},
      {std::numeric_limits<float>::infinity(), " +Inf*******"},
      {-std::numeric_limits<float>::infinity(), "-Inf*******"},
      {std::numeric_limits<float>::quiet_NaN(), "NaN********"},
  };
  for (const auto &c : cases) EXPECT_EQ(number_image(c.v), c.image) << c.v;
}

TEST(NumberImage, HalfwayCasesGoAwayFromZero) {
  struct {
    float v;
    const char *image;
  } cases[] = {
      {1234565.0f, " 1.23457E+06"},   // to_chars and printf give 1.23456E+06
      {-1234565.0f, "-1.23457E+06"},
      {1234575.0f, " 1.23458E+06"},   // odd sixth digit: the same either way
      {0.001953125f, " 1.95313E-03"}, // 2^-9
      {100000.5f, " 1.00001E+05"},
      {999999.5f, " 1.00000E+06"},    // halfway and carrying
      {9999995.0f, " 1.00000E+07"},
      {16777215.0f, " 1.67772E+07"},
  };
  for (const auto &c : cases) EXPECT_EQ(number_image(c.v), c.image) << c.v;
}

TEST(NumberImage, CarriesIntoTheExponent) {
  EXPECT_EQ(number_image(std::nextafter(10.0f, 0.0f)), " 1.00000E+01");
  EXPECT_EQ(number_image(9.999996f), " 1.00000E+01");
  EXPECT_EQ(number_image(9.999994f), " 9.99999E+00");
  EXPECT_EQ(number_image(std::nextafter(1.0f, 0.0f)), " 1.00000E+00");
  EXPECT_EQ(number_image(std::nextafter(0.1f, 0.0f)), " 1.00000E-01");
  EXPECT_EQ(number_image(std::nextafter(1e-30f, 0.0f)), " 1.00000E-30");
}

TEST(NumberImage, EveryPowerOfTwoAndTen) {
  for (int k = -149; k <= 127; ++k) {
    float v = std::ldexp(1.0f, k);
    ASSERT_EQ(number_image(v), reference_image(v)) << "2^" << k;
    float below = std::nextafter(v, 0.0f);
    ASSERT_EQ(number_image(below), reference_image(below)) << "below 2^" << k;
  }
  for (int k = -45; k <= 38; ++k) {
    float v = std::strtof(("1e" + std::to_string(k)).c_str(), nullptr);
    for (float w : {v, std::nextafter(v, 0.0f), std::nextafter(v, std::numeric_limits<float>::infinity())}) ASSERT_EQ(number_image(w), reference_image(w)) << w;
  }
}

TEST(NumberImage, ExactTiesAmongSmallIntegers) {
  // Every integer ending in 5 from 1000005 up to 2^24 is a tie at the seventh digit.
  for (std::uint32_t n = 1000005; n < (1u << 24); n += 10) {
    float v = static_cast<float>(n);
    ASSERT_EQ(number_image(v), reference_image(v)) << n;
  }
}

TEST(NumberImage, RandomFloatsAgreeWithTheReference) {
  std::mt19937 rng(20261206);
  for (int i = 0; i < 300000; ++i) {
    float v = from_bits(static_cast<std::uint32_t>(rng()));
    ASSERT_EQ(number_image(v), reference_image(v)) << std::hexfloat << v;
  }
}

TEST(IntegerImage, BlankBeforeNonNegative) {
  EXPECT_EQ(phylo::print::integer_image(12), " 12");
  EXPECT_EQ(phylo::print::integer_image(0), " 0");
  EXPECT_EQ(phylo::print::integer_image(-3), "-3");
}

} // namespace
