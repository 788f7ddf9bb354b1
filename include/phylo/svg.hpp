// phylo: pictures as SVG 1.1 text: an XML writer that escapes what it writes, numbers as
// attributes give them, and perceptually uniform colour maps.
//
// The writer keeps the elements it has opened and closes them in order; every text and
// attribute value goes through escape(), so that labels of any bytes make a well-formed
// document. It writes on an output_sink and holds nothing but the names of the open elements.
#pragma once

#include "phylo/io.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace phylo::svg {

// A text made fit for XML character data and attribute values (either quote): & < > " ' as
// entity references; tab, line feed and carriage return as character references (which an
// attribute keeps); valid UTF-8 as it stands; a byte that begins no valid UTF-8 sequence (an
// overlong form, a surrogate, past U+10FFFF, cut short) taken as Latin-1, as a character
// reference (0xE9 as &#xE9;); a character that XML 1.0 does not allow at all (the other C0
// controls, U+FFFE, U+FFFF) as U+FFFD.
std::string escape(std::string_view text);
// The same, appended to `to`.
void append_escaped(std::string &to, std::string_view text);

// A number as an attribute gives it: fixed-point, rounded to `decimals` decimals (0 to 9),
// trailing zeros and a trailing point dropped, negative zero as "0". range_error for a value
// that is not finite or whose magnitude is 1e15 or more.
std::string number(double v, int decimals = 2);

// A colour of 8-bit sRGB components.
struct rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const rgb &, const rgb &) = default;
};
// "#rrggbb", lower case.
std::string hex(rgb c);

// The colour maps, each 256 colours from low to high values.
// - VIRIDIS, MAGMA, INFERNO: the maps of Smith, van der Walt and (viridis) Firing, made for
//   matplotlib 2.0 ("mpl-colormaps", https://github.com/BIDS/colormap, colormaps.py, released
//   under CC0): each of their 256 floating-point sRGB entries rounded to 8 bits. Lightness rises
//   evenly from dark to light, and they read alike to the common forms of colour blindness.
// - GREY: black to white in 256 steps of equal CIE 1976 lightness (L* = 100 k / 255, turned
//   into sRGB through CIE Y and the sRGB transfer function of IEC 61966-2-1).
enum class colour_map_type { VIRIDIS, MAGMA, INFERNO, GREY };
const std::array<rgb, 256> &colour_table(colour_map_type map);
// The entry that stands for t in [0, 1]: floor(256 t), at most 255; t below 0 (and NaN) is 0,
// above 1 is 1.
std::size_t colour_index(double t) noexcept;
inline rgb map_colour(colour_map_type map, double t) { return colour_table(map)[colour_index(t)]; }
// Two colours that no entry of the map comes near, for what the map does not show: cells on
// the diagonal and cells without a value.
struct accent_colours {
  rgb diagonal, undefined;
};
accent_colours accents(colour_map_type map);

// An attribute of an element: its value given as text (escaped when written) or as a number
// (number(v, 2)).
struct attribute {
  attribute(std::string_view name, std::string_view value) : name(name), value(value) {}
  attribute(std::string_view name, const char *value) : name(name), value(value) {}
  attribute(std::string_view name, const std::string &value) : name(name), value(value) {}
  attribute(std::string_view name, double value) : name(name), value(number(value)) {}
  std::string_view name;
  std::string value;
};
using attributes = std::initializer_list<attribute>;

class writer {
public:
  explicit writer(output_sink &out) : out_(out) {}
  writer(const writer &) = delete;
  writer &operator=(const writer &) = delete;

  // The XML declaration, the document type of SVG 1.1 and the root element of a picture of
  // width x height pixels (its viewBox the same), in the SVG namespace, with its <title>. The
  // root stays open until finish(). range_error when a document was already started.
  void start_document(double width, double height, std::string_view title);
  // <NAME ATTRIBUTES...>, left open.
  void open(std::string_view name, attributes attrs = {});
  // <NAME ATTRIBUTES.../>.
  void empty(std::string_view name, attributes attrs = {});
  // <NAME ATTRIBUTES...>TEXT</NAME>, the text escaped.
  void element(std::string_view name, attributes attrs, std::string_view text);
  // Character data, escaped.
  void text(std::string_view text);
  // Text written as it stands: the caller makes sure that it holds no markup characters (path
  // data, numbers).
  void raw(std::string_view text) { out_.write(text); }
  // </NAME> of the innermost open element. range_error when none is open.
  void close();
  // Closes every open element and ends the document with a line end.
  void finish();
  std::size_t depth() const noexcept { return open_.size(); }

private:
  void start_tag(std::string_view name, attributes attrs);
  output_sink &out_;
  std::vector<std::string> open_;
  bool started_ = false;
};

} // namespace phylo::svg
