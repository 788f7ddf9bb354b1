// phylo: numbers as the layouts write them. Reading: decimal numbers in the grammar of every
// reader, rounded correctly to single precision. Writing: the 12-character image of karvel's
// layouts, plain decimals for NEXUS, integers, and the shortest decimal for messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace phylo {
class input_source;
class output_sink;
} // namespace phylo

namespace phylo::read {

// Passes over blanks, tabs and line ends, then reads [+-]digits and stops at the first
// character that cannot continue it (left unread). format_error when no integer starts
// there or it does not fit 32 bits; end_of_input when the input ends first.
std::int32_t read_integer(input_source &in);
std::int32_t read_integer(); // from the current input
// As read_integer for [+-]digits[.digits][(E|e)[+-]digits], rounded correctly to single
// precision; a value that underflows becomes zero of its sign. format_error for an
// incomplete number ("1.", "1e", a lone sign) and for a value beyond the largest float.
float read_real(input_source &in);
float read_real(); // from the current input
// The number that a whole text holds (a field of a delimited file, a NEXUS word), in the
// grammar of read_real and rounded alike; blanks, tabs and carriage returns around it are
// allowed. None for a text that is no number, holds more, or lies beyond the largest float.
std::optional<float> parse_real(std::string_view text) noexcept;

} // namespace phylo::read

namespace phylo::print {

// Width of the image of a single-precision value.
inline constexpr std::size_t number_image_size = 12;
// Writes the 12-character scientific image of v at out (« 2.50000E-01», «-1.00000E-03»):
// six significant digits, the exact value rounded halfway away from zero; a negative zero
// gives «-0.00000E+00». Not-finite values give « +Inf*******», «-Inf*******», «NaN********».
// Returns the end of what was written.
char *write_number_image(float v, char *out) noexcept;
std::string number_image(float v);
// Writes a tab and the image of each of the `count` values: the cells of a row.
void print_number_images(output_sink &out, const float *values, std::size_t count);
void print_number_images(const float *values, std::size_t count); // on the current output
// An integer in decimal, preceded by one blank when it is not negative (« 12»).
std::string integer_image(long long v);
// Writes v as a plain decimal without exponent, the shortest that reads back as v ("0.25",
// "0.0000001", "120"); a negative zero as "0". Needs 64 bytes at out; returns the end.
char *write_plain_decimal(float v, char *out) noexcept;
// With digits 0, write_plain_decimal; with 1 to 9, v rounded to that many significant digits
// (halfway cases to even), without exponent where that is as short. Needs 64 bytes at out.
char *write_decimal(float v, int digits, char *out) noexcept;
// The shortest decimal that reads back as v, as messages show a value ("0.25", "1e-07").
std::string shortest_decimal(float v);

} // namespace phylo::print
