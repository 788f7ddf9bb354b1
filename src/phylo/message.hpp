// Pieces of the library's messages.
#pragma once

#include <string>
#include <string_view>

namespace phylo::detail {

// A piece of text quoted for a message, cut to a readable length: 'text', or 'first 40...'.
std::string quote_text(std::string_view text);

} // namespace phylo::detail
