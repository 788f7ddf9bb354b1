#include "phylo/chars.hpp"

#include <algorithm>
#include <cstdio>

namespace phylo {

std::string apply(const char_map_type &map, std::string_view text) {
  std::string out(text);
  apply_in_place(map, out);
  return out;
}

void apply_in_place(const char_map_type &map, std::string &text) noexcept {
  for (char &c : text) c = map(c);
}

std::string escape_controls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 32 && b != 127) {
      out += c;
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned>(b));
      out += buf;
    }
  }
  return out;
}

std::string quote_text(std::string_view text) {
  constexpr std::size_t longest = 40;
  std::size_t keep = std::min(text.size(), longest);
  if (keep < text.size())
    while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0u) == 0x80u) --keep; // inside a character
  return "'" + escape_controls(text.substr(0, keep)) + (keep < text.size() ? "...'" : "'");
}

std::string describe_char(int c) {
  switch (c) {
  case -1: return "the end of the input";
  case '\n': return "the line end";
  case '\t': return "a tab";
  case '\r': return "a carriage return";
  case ' ': return "a blank";
  default: break;
  }
  if (c > 32 && c < 127) return std::string("'") + static_cast<char>(c) + "'";
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned>(c) & 0xFFu);
  return buf;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ascii_upper_map(a[i]) != ascii_upper_map(b[i])) return false;
  return true;
}

} // namespace phylo
