// Pieces of the library's messages.
#pragma once

#include "phylo/chars.hpp"

namespace phylo::detail {

using phylo::quote_text;

} // namespace phylo::detail
