#include "phylo/chars.hpp"

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

} // namespace phylo
