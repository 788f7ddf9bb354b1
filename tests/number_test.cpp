// Numbers as the layouts write them and as every reader reads them: the 12-character image,
// plain decimals, and the decimal grammar rounded correctly to single precision.
#include "phylo/number.hpp"
#include "test_io.hpp"
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
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
      {1234565.0f, " 1.23457E+06"},                                 // to_chars and printf give 1.23456E+06
      {-1234565.0f, "-1.23457E+06"},  {1234575.0f, " 1.23458E+06"}, // odd sixth digit: the same either way
      {0.001953125f, " 1.95313E-03"},                               // 2^-9
      {100000.5f, " 1.00001E+05"},    {999999.5f, " 1.00000E+06"},  // halfway and carrying
      {9999995.0f, " 1.00000E+07"},   {16777215.0f, " 1.67772E+07"},
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
    for (float w : {v, std::nextafter(v, 0.0f), std::nextafter(v, std::numeric_limits<float>::infinity())})
      ASSERT_EQ(number_image(w), reference_image(w)) << w;
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

namespace {

using namespace phylo;
using phylo::test::text_input;

enum class outcome { value, format, eof, range };

const char *name(outcome o) {
  switch (o) {
  case outcome::value: return "value";
  case outcome::format: return "format_error";
  case outcome::eof: return "end_of_input";
  case outcome::range: return "range_error";
  }
  return "?";
}

template <class F> outcome run(F f) {
  try {
    f();
    return outcome::value;
  } catch (const format_error &) {
    return outcome::format;
  } catch (const end_of_input &) {
    return outcome::eof;
  } catch (const range_error &) {
    return outcome::range;
  }
}

bool same_float(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(ReadReal, Numbers) {
  struct {
    const char *text;
    float value;
    const char *rest; // what the reader leaves unread
  } cases[] = {
      {"0.25", 0.25f, ""},
      {" \t\n 0.25 x", 0.25f, " x"},
      {"3", 3.0f, ""},
      {"+3", 3.0f, ""},
      {"-2.25e3", -2250.0f, ""},
      {"1E+2", 100.0f, ""},
      {"1e-2", 0.01f, ""},
      {" 2.50000E-01\t", 0.25f, "\t"},
      {"-0", -0.0f, ""},
      {"-0.0e5", -0.0f, ""},
      {"1e-50", 0.0f, ""},
      {"-1e-50", -0.0f, ""},
      {"1e-40", 1e-40f, ""},
      {"3.4028235e38", std::numeric_limits<float>::max(), ""},
      {"0.1", 0.1f, ""},
      {"16777217", 16777216.0f, ""}, // ties to even
      {"16777219", 16777220.0f, ""},
      {"1.00000005960464477539062500001", 1.0000001f, ""}, // just past halfway
      {"1.000000059604644775390625", 1.0f, ""},            // exactly halfway: to even
      {"0000000000000000000000000000000.5", 0.5f, ""},
      {"1e0000000000000000000000000000001", 10.0f, ""},
      {"5.0.3", 5.0f, ".3"},
      {"0.5,3", 0.5f, ",3"},
      {"7abc", 7.0f, "abc"},
      {"1.5\r\n", 1.5f, "\r\n"},
  };
  for (const auto &c : cases) {
    text_input in(c.text);
    float v = read::read_real();
    EXPECT_TRUE(same_float(v, c.value)) << '"' << c.text << "\" gave " << v;
    std::string rest;
    while (in.source.peek() >= 0) {
      rest.push_back(static_cast<char>(in.source.peek()));
      in.source.advance();
    }
    EXPECT_EQ(rest, c.rest) << c.text;
  }
}

// The exact decimal expansion of a double, as "d.ddd...e-xx".
std::string exact(double v) {
  char buf[256];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 150);
  std::string s(buf, r.ptr);
  std::size_t e = s.find('e');
  std::size_t last = s.find_last_not_of('0', e - 1);
  return s.substr(0, last + 1) + s.substr(e);
}

float read_text(const std::string &text) {
  text_input in(text);
  return read::read_real();
}

TEST(ReadReal, LongMantissasRoundCorrectly) {
  const float tiny = std::numeric_limits<float>::denorm_min();
  EXPECT_TRUE(same_float(read_text(exact(tiny)), tiny));
  // Exactly halfway between 0 and the smallest float goes to even (zero); a digit further
  // out, however far, decides for the smallest float.
  std::string half = exact(std::ldexp(1.0, -150));
  std::size_t e = half.find('e');
  EXPECT_TRUE(same_float(read_text(half), 0.0f)) << half;
  EXPECT_TRUE(same_float(read_text(half.substr(0, e) + std::string(2000, '0') + "1" + half.substr(e)), tiny));
  // Halfway between 1 and the next float, with the deciding digit far away.
  std::string one_half = exact(1.0 + std::ldexp(1.0, -24));
  e = one_half.find('e');
  EXPECT_TRUE(same_float(read_text(one_half), 1.0f));
  EXPECT_TRUE(same_float(read_text(one_half.substr(0, e) + std::string(900, '0') + "1" + one_half.substr(e)),
                         std::nextafter(1.0f, 2.0f)));
  EXPECT_TRUE(same_float(read_text("0." + std::string(5000, '3') + "9"), 1.0f / 3.0f));
  EXPECT_TRUE(same_float(read_text("0." + std::string(56, '0') + "1e60"), 1000.0f));
}

TEST(ReadReal, Failures) {
  struct {
    const char *text;
    outcome expected;
  } cases[] = {
      {"", outcome::eof},
      {" \n\t ", outcome::eof},
      {"x", outcome::format},
      {"-", outcome::format},
      {"+", outcome::format},
      {"- 1", outcome::format},
      {"1.", outcome::format},
      {"1.x", outcome::format},
      {"1e", outcome::format},
      {"1e+", outcome::format},
      {"1E-x", outcome::format},
      {".5", outcome::format},
      {"0,5", outcome::value}, // reads 0, the comma stays
      {",5", outcome::format},
      {"\r1", outcome::format},
      {"\v1", outcome::format},
      {"1e39", outcome::format},
      {"-1e39", outcome::format},
      {"3.4028236e38", outcome::format},
      {"1e99999999999999999999", outcome::format},
      {"inf", outcome::format},
      {"nan", outcome::format},
      {"1_000", outcome::value},
      {"16#FF#", outcome::value},
  };
  for (const auto &c : cases) {
    text_input in(c.text);
    EXPECT_STREQ(name(run([] { read::read_real(); })), name(c.expected)) << '"' << c.text << '"';
  }
}

TEST(ReadInteger, Counts) {
  struct {
    const char *text;
    outcome expected;
    int value;
  } cases[] = {
      {"3", outcome::value, 3},
      {"+3", outcome::value, 3},
      {"-3", outcome::value, -3},
      {"\n\n  12 taxa", outcome::value, 12},
      {"5.0", outcome::value, 5},
      {"007", outcome::value, 7},
      {"2147483647", outcome::value, 2147483647},
      {"-2147483648", outcome::value, -2147483647 - 1},
      {"2147483648", outcome::format, 0},
      {"-2147483649", outcome::format, 0},
      {"99999999999999999999999", outcome::format, 0},
      {"x", outcome::format, 0},
      {"", outcome::eof, 0},
      {"+", outcome::format, 0},
      {"\r3", outcome::format, 0},
  };
  for (const auto &c : cases) {
    text_input in(c.text);
    int v = 0;
    EXPECT_STREQ(name(run([&] { v = read::read_integer(); })), name(c.expected)) << '"' << c.text << '"';
    if (c.expected == outcome::value) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

// Random floats written with random digit counts and layouts read back exactly as
// std::from_chars reads them.
TEST(ReadReal, AgreesWithFromChars) {
  std::mt19937_64 rng(7);
  const char *formats[] = {"%.*e", "%.*E", "%.*f", "%.*g"};
  for (int i = 0; i < 200000; ++i) {
    double v;
    switch (i % 3) {
    case 0: v = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 300) - 200); break;
    case 1: v = static_cast<double>(rng() % 1000000) / 1000000.0; break;
    default: v = std::uniform_real_distribution<double>(0, 0.75)(rng); break;
    }
    if (!(v < 3e38)) continue;
    char text[512];
    const int precision = static_cast<int>(rng() % 25);
    const char *format = formats[rng() % 4];
    if (format[3] == 'f' && (v > 1e30 || v < 1e-30)) format = formats[0];
    std::snprintf(text, sizeof text, format, precision, v);
    if (std::strchr(text, '.') && text[std::strlen(text) - 1] == '.') continue; // "%.0e" never ends in a point
    float expected = 0;
    auto r = std::from_chars(text, text + std::strlen(text), expected);
    if (r.ec != std::errc()) continue; // underflow: covered elsewhere
    phylo::test::text_input in(text);
    float got = phylo::read::read_real();
    ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << text;
  }
}

} // namespace

namespace {

TEST(PrintNexus, PlainDecimals) {
  struct {
    float v;
    const char *text;
  } cases[] = {
      {0.25f, "0.25"},
      {0.0f, "0"},
      {-0.0f, "0"},
      {120.0f, "120"},
      {1e-7f, "0.0000001"},
      {0.1f, "0.1"},
      {0.155635f, "0.155635"},
      {1e20f, "100000000000000000000"},
  };
  for (const auto &c : cases) {
    char buf[64];
    EXPECT_EQ(std::string(buf, phylo::print::write_plain_decimal(c.v, buf)), c.text) << c.v;
  }
  char buf[64];
  const float largest = std::numeric_limits<float>::max();
  std::string text(buf, phylo::print::write_plain_decimal(largest, buf));
  EXPECT_EQ(text, "340282350000000000000000000000000000000");
  const float tiny = std::numeric_limits<float>::denorm_min();
  text.assign(buf, phylo::print::write_plain_decimal(tiny, buf));
  EXPECT_EQ(text.find_first_of("eE+"), std::string::npos);
  EXPECT_EQ(std::strtof(text.c_str(), nullptr), tiny);
}

} // namespace
