// The number reader and the number image.
//
// read_real and read_integer are run on the input. Properties:
//   - the text consumed is exactly a number of the readers' grammar, and the next character
//     cannot continue it;
//   - read_real gives the float nearest to that text (strtof's result; a value below the
//     smallest normal float may also be read as zero of its sign), read_integer its exact value;
//   - an error is a typed one.
// The first four bytes, taken as the bits of a float, are printed as a number image, checked
// against the exact decimal expansion rounded halfway away from zero by hand, and read back.
#include "fuzz_support.hpp"

#include "phylo/number.hpp"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

using namespace phylo;
using phylo::fuzz::text_input;
using phylo::fuzz::typed_errors_only;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Length of the number of the readers' grammar at the start of s: [+-]digits, then for reals
// [.digits][(E|e)[+-]digits]. 0 when none starts there.
std::size_t grammar_length(std::string_view s, bool real) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  const std::size_t digits = i;
  while (i < s.size() && is_digit(s[i])) ++i;
  if (i == digits) return 0;
  if (!real) return i;
  if (i + 1 < s.size() && s[i] == '.' && is_digit(s[i + 1])) {
    i += 2;
    while (i < s.size() && is_digit(s[i])) ++i;
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && is_digit(s[j])) {
      while (j < s.size() && is_digit(s[j])) ++j;
      i = j;
    }
  }
  return i;
}

std::size_t leading_space(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n')) ++i;
  return i;
}

void check_real(std::string_view text) {
  text_input in(text);
  float v = 0;
  const char *err = typed_errors_only([&] { v = read::read_real(); });
  if (err) return;
  const std::size_t consumed = text.size() - in.source.buffered().size();
  const std::size_t start = leading_space(text);
  const std::string token(text.substr(start, consumed - start));
  FUZZ_CHECK(grammar_length(token, true) == token.size());
  FUZZ_CHECK(grammar_length(text.substr(start), true) == token.size()); // nothing left that continues it
  errno = 0;
  const float expected = std::strtof(token.c_str(), nullptr);
  FUZZ_CHECK(std::isfinite(expected));
  if (std::fabs(expected) < FLT_MIN && v == 0.0f) {
    FUZZ_CHECK(std::signbit(v) == std::signbit(expected));
    return;
  }
  FUZZ_CHECK(std::memcmp(&v, &expected, sizeof v) == 0);
}

void check_integer(std::string_view text) {
  text_input in(text);
  std::int32_t v = 0;
  const char *err = typed_errors_only([&] { v = read::read_integer(); });
  if (err) return;
  const std::size_t consumed = text.size() - in.source.buffered().size();
  const std::size_t start = leading_space(text);
  const std::string token(text.substr(start, consumed - start));
  FUZZ_CHECK(grammar_length(token, false) == token.size());
  FUZZ_CHECK(grammar_length(text.substr(start), false) == token.size());
  FUZZ_CHECK(std::strtoll(token.c_str(), nullptr, 10) == v);
}

// The image of v from its exact decimal expansion: six significant digits, rounded halfway
// away from zero.
std::string reference_image(float v) {
  char exact[200];
  std::snprintf(exact, sizeof exact, "%.120e", std::fabs(static_cast<double>(v))); // exact for floats
  std::string digits;
  digits += exact[0];
  digits.append(exact + 2, 6); // the 2nd to 7th significant digits
  int exponent = std::atoi(std::strchr(exact, 'e') + 1);
  std::string six = digits.substr(0, 6);
  if (digits[6] >= '5') { // round up, carrying
    int i = 5;
    while (i >= 0 && six[static_cast<std::size_t>(i)] == '9') six[static_cast<std::size_t>(i--)] = '0';
    if (i >= 0) ++six[static_cast<std::size_t>(i)];
    else {
      six = "100000";
      ++exponent;
    }
  }
  if (v == 0.0f) exponent = 0;
  char out[32];
  std::snprintf(out, sizeof out, "%c%c.%sE%c%02d", std::signbit(v) ? '-' : ' ', six[0], six.substr(1).c_str(),
                exponent < 0 ? '-' : '+', std::abs(exponent));
  return out;
}

void check_image(const std::uint8_t *data, std::size_t size) {
  if (size < 4) return;
  float v;
  std::memcpy(&v, data, sizeof v);
  const std::string image = print::number_image(v);
  if (std::isnan(v)) {
    FUZZ_CHECK(image == "NaN********");
    return;
  }
  if (std::isinf(v)) {
    FUZZ_CHECK(image == (v > 0 ? " +Inf*******" : "-Inf*******"));
    return;
  }
  FUZZ_CHECK(image.size() == print::number_image_size);
  FUZZ_CHECK(image == reference_image(v));
  // Read back (the sign position of a positive image is a blank), it prints alike.
  text_input in(image);
  float back = 0;
  const char *err = typed_errors_only([&] { back = read::read_real(); });
  FUZZ_CHECK(err == nullptr);
  FUZZ_CHECK(print::number_image(back) == image);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view text = phylo::fuzz::as_text(data, size);
  check_real(text);
  check_integer(text);
  check_image(data, size);
  return 0;
}
