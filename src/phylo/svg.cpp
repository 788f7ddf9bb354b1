// The SVG writer: escaping, numbers and elements.

#include "phylo/svg.hpp"

#include <cmath>
#include <cstdio>

namespace phylo::svg {

namespace {

constexpr char hex_digits[] = "0123456789abcdef";

void append_reference(std::string &to, std::uint32_t code) {
  char buf[16];
  const int n = std::snprintf(buf, sizeof buf, "&#x%X;", static_cast<unsigned>(code));
  to.append(buf, static_cast<std::size_t>(n));
}

// The length of the valid UTF-8 sequence at text[k] and its code point; 0 when none begins there.
std::size_t utf8_sequence(std::string_view text, std::size_t k, std::uint32_t &code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char b = byte(k);
  std::size_t length = 0;
  std::uint32_t lowest = 0;
  if (b >= 0xC2 && b <= 0xDF) length = 2, code = b & 0x1Fu, lowest = 0x80;
  else if (b >= 0xE0 && b <= 0xEF) length = 3, code = b & 0x0Fu, lowest = 0x800;
  else if (b >= 0xF0 && b <= 0xF4) length = 4, code = b & 0x07u, lowest = 0x10000;
  else return 0;
  if (k + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(k + i) & 0xC0u) != 0x80u) return 0;
    code = (code << 6) | (byte(k + i) & 0x3Fu);
  }
  if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

} // namespace

void append_escaped(std::string &to, std::string_view text) {
  for (std::size_t k = 0; k < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[k]);
    if (c < 0x80) {
      switch (c) {
      case '&': to += "&amp;"; break;
      case '<': to += "&lt;"; break;
      case '>': to += "&gt;"; break;
      case '"': to += "&quot;"; break;
      case '\'': to += "&apos;"; break;
      case '\t':
      case '\n':
      case '\r': append_reference(to, c); break;
      default:
        if (c < 0x20 || c == 0x7F) {
          if (c == 0x7F) append_reference(to, c); // allowed, but shown as a reference
          else append_reference(to, 0xFFFD);
        } else {
          to += static_cast<char>(c);
        }
      }
      ++k;
      continue;
    }
    std::uint32_t code = 0;
    const std::size_t length = utf8_sequence(text, k, code);
    if (length == 0) {
      append_reference(to, c); // Latin-1
      ++k;
    } else if (code == 0xFFFE || code == 0xFFFF) {
      append_reference(to, 0xFFFD);
      k += length;
    } else {
      to.append(text.substr(k, length));
      k += length;
    }
  }
}

std::string escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  append_escaped(out, text);
  return out;
}

std::string number(double v, int decimals) {
  if (!std::isfinite(v) || std::fabs(v) >= 1e15) throw range_error("a number of a picture is out of range");
  if (decimals < 0 || decimals > 9) throw range_error("a number of a picture takes 0 to 9 decimals");
  char buf[48];
  int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  std::string s(buf, static_cast<std::size_t>(n));
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

std::string hex(rgb c) {
  std::string s = "#";
  for (std::uint8_t v : {c.r, c.g, c.b}) s += hex_digits[v >> 4], s += hex_digits[v & 15];
  return s;
}

std::size_t colour_index(double t) noexcept {
  if (!(t > 0)) return 0;
  if (t >= 1) return 255;
  const auto k = static_cast<std::size_t>(t * 256);
  return k > 255 ? 255 : k;
}

accent_colours accents(colour_map_type map) {
  constexpr rgb white{255, 255, 255}, red{0xe4, 0x1a, 0x1c}, sky{0x3f, 0xbf, 0xff}, green{0x33, 0xa0, 0x2c};
  switch (map) {
  case colour_map_type::VIRIDIS: return {white, red};
  case colour_map_type::MAGMA:
  case colour_map_type::INFERNO: return {sky, green};
  case colour_map_type::GREY: break;
  }
  return {sky, red};
}

void writer::start_tag(std::string_view name, attributes attrs) {
  std::string tag = "<";
  tag += name;
  for (const attribute &a : attrs) {
    tag += ' ';
    tag += a.name;
    tag += "=\"";
    append_escaped(tag, a.value);
    tag += '"';
  }
  out_.write(tag);
}

void writer::start_document(double width, double height, std::string_view title) {
  if (started_) throw range_error("the picture was already started");
  started_ = true;
  out_.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
             "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n");
  const std::string w = number(width), h = number(height);
  open("svg", {{"xmlns", "http://www.w3.org/2000/svg"},
               {"version", "1.1"},
               {"width", w},
               {"height", h},
               {"viewBox", "0 0 " + w + " " + h}});
  out_.put('\n');
  element("title", {}, title);
  out_.put('\n');
}

void writer::open(std::string_view name, attributes attrs) {
  start_tag(name, attrs);
  out_.put('>');
  open_.emplace_back(name);
}

void writer::empty(std::string_view name, attributes attrs) {
  start_tag(name, attrs);
  out_.write("/>");
}

void writer::element(std::string_view name, attributes attrs, std::string_view content) {
  start_tag(name, attrs);
  out_.put('>');
  text(content);
  out_.write("</");
  out_.write(name);
  out_.put('>');
}

void writer::text(std::string_view content) {
  std::string escaped;
  append_escaped(escaped, content);
  out_.write(escaped);
}

void writer::close() {
  if (open_.empty()) throw range_error("no element of the picture is open");
  out_.write("</");
  out_.write(open_.back());
  out_.put('>');
  open_.pop_back();
}

void writer::finish() {
  while (!open_.empty()) {
    if (open_.size() == 1) out_.put('\n');
    close();
  }
  out_.put('\n');
}

} // namespace phylo::svg
