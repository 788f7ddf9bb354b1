// The NEXUS part of read_dist_text: TAXA and DISTANCES blocks.
#pragma once

#include "phylo/dist_read.hpp"
#include "text_cursor.hpp"

namespace phylo::detail {

// Consumes "#NEXUS" (in any case) at the start of a text; format_error when it is not there.
void start_nexus(read::dist_text_type &t, text_cursor &c);
// Reads blocks up to and including the next DISTANCES block and returns its matrix; null at
// the end of the text. A TAXA block on the way sets t.nexus_taxa; other blocks are skipped.
dist_mat_access read_nexus_dist(read::dist_text_type &t, text_cursor &c);

} // namespace phylo::detail
