// Numbers as written and read: the 12-character image, plain decimals, the decimal grammar
// rounded correctly (cases in tests/data/lib/number.cases; the long sweeps: tests/long/number_check).
#include "case_table.hpp"
#include "number_reference.hpp"
#include "phylo/number.hpp"
#include "test_io.hpp"
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <random>
#include <string>

namespace {

using phylo::print::number_image;
using phylo::test::text_input;

float number(const std::string &text) { return std::strtof(text.c_str(), nullptr); }

bool same_float(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(Number, Cases) {
  auto real = [](const std::vector<std::string> &a) {
    text_input in(a[0]);
    char value[32];
    std::snprintf(value, sizeof value, "%.9g|", static_cast<double>(phylo::read::read_real()));
    std::string rest(in.source.buffered());
    return value + rest;
  };
  auto integer = [](const std::vector<std::string> &a) {
    text_input in(a[0]);
    return std::to_string(phylo::read::read_integer());
  };
  auto plain = [](const std::vector<std::string> &a) {
    char buf[64];
    return std::string(buf, phylo::print::write_plain_decimal(number(a[0]), buf));
  };
  auto whole = [](const std::vector<std::string> &a) {
    const std::optional<float> v = phylo::read::parse_real(a[0]);
    if (!v) return std::string("none");
    char value[32];
    std::snprintf(value, sizeof value, "%.9g", static_cast<double>(*v));
    return std::string(value);
  };
  phylo::test::run_cases(
      "number.cases", {{"whole", whole},
                       {"image", [](const auto &a) { return number_image(number(a[0])); }},
                       {"image_below", [](const auto &a) { return number_image(std::nextafter(number(a[0]), 0.0f)); }},
                       {"integer_image", [](const auto &a) { return phylo::print::integer_image(std::stoi(a[0])); }},
                       {"plain", plain},
                       {"real", real},
                       {"integer", integer}});
  // The smallest float as a plain decimal: no exponent, and it reads back.
  char buf[64];
  const float tiny = std::numeric_limits<float>::denorm_min();
  const std::string text(buf, phylo::print::write_plain_decimal(tiny, buf));
  EXPECT_EQ(text.find_first_of("eE+"), std::string::npos);
  EXPECT_EQ(std::strtof(text.c_str(), nullptr), tiny);
}

// The image of a finite float as the reference gives it.
std::string reference_image(float v) {
  char out[12];
  phylo::test::reference_image(v, out);
  return std::string(out, sizeof out);
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
  return phylo::read::read_real();
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

// The reader of a buffer and the parser of a whole field against the reference, on random texts
// of the grammar (number_reference.hpp): images, floats printed with any number of digits, and
// digit strings of up to 30 digits with a point and an exponent anywhere; each read to the same
// bits, or both out of range.
TEST(ReadReal, RandomNumbersAsTheReferenceReadsThem) {
  std::mt19937_64 rng(20261208);
  for (int k = 0; k < 200000; ++k) {
    const std::string s = phylo::test::random_text(rng);
    const phylo::test::expected want = phylo::test::reference_read(s);
    const std::optional<float> whole = phylo::read::parse_real(s);
    if (want.kind == phylo::test::expected::too_large) {
      EXPECT_FALSE(whole) << s;
      continue;
    }
    ASSERT_TRUE(whole) << s;
    EXPECT_TRUE(same_float(*whole, want.v)) << s << ": " << *whole << " for " << want.v;
    EXPECT_TRUE(same_float(read_text(s + "\t"), want.v)) << s;
  }
}

} // namespace
