#include "phylo/chars.hpp"

namespace phylo {

std::string apply(const char_map_type &map, std::string_view text) {
  std::string out(text);
  apply_in_place(map, out);
  return out;
}

void apply_in_place(const char_map_type &map, std::string &text) noexcept {
  for (char &c : text) c = map(c);
}

} // namespace phylo
