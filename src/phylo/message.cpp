#include "message.hpp"

namespace phylo::detail {

std::string quote_text(std::string_view text) {
  constexpr std::size_t longest = 40;
  std::string out = "'";
  out.append(text.substr(0, longest));
  if (text.size() > longest) out += "...";
  out += "'";
  return out;
}

} // namespace phylo::detail
