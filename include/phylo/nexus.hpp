// phylo: NEXUS. Distance matrices are written in two NEXUS layouts: karvel's (print_dist_mat
// with NEXUS or NEXUS_ENCLOSED: a DISTANCES block of both triangles and a PAUP block) and
// standard NEXUS as NCL and PAUP read it (print_nexus_dist_mat: TAXA and DISTANCES blocks,
// plain decimals, quoted labels). Character matrices end in a PAUP block of their own
// (print_footer). The recognising reader (phylo/phylip.hpp) reads the TAXA and DISTANCES
// blocks of a NEXUS text: commands and keywords in any case, comments in brackets, 'quoted
// labels' with '' for an apostrophe, an underscore in an unquoted label standing for a blank;
// every form of matrix that FORMAT states (SplitsTree's LABELS=LEFT and NO DIAGONAL among them),
// interleaved blocks as NCL reads them, lines that end in a carriage return alone; a missing
// cell is refused unless the settings give it a value.
#pragma once

#include "phylo/types.hpp"

namespace phylo::print {

// The command block for the analysis program PAUP that closes a NEXUS layout, with the end
// of the block before it ("\t;", "end;"): after a DISTANCES block (15 lines) or after a DATA
// block (19 lines: the same with its pset, dset and bootstrap defaults).
enum class paup_block_type { DISTANCES, DATA };
void print_paup_block(paup_block_type after);

// Writes a NEXUS text: "#NEXUS", a TAXA block (dimensions ntax=, taxlabels) and a DISTANCES
// block ("format triangle=lower diagonal labels missing=?") whose row i holds its label and
// cells (i, 1) .. (i, i) as plain decimals, tab-separated. Labels go through
// to_quoted_nexus_label. Does not fail.
void print_nexus_dist_mat(const dist_mat_type &dist);

} // namespace phylo::print
