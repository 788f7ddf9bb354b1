// phylo: distance matrices as lists of pairs with a header line, one pair per line, as R's
// read.table and pandas' read_csv read them. The reader is a layout of the recognising
// reader (phylo/phylip.hpp, dist_layout_type::PAIRS), which also reads the lists that mash,
// snp-dists, fastANI and mothur write.
#pragma once

#include "phylo/io.hpp"
#include "phylo/types.hpp"

namespace phylo::print {

// Writes the header line "taxon1<TAB>taxon2<TAB>distance", then one line per pair (i, j) with
// i < j: the two labels and the distance, tab-separated; the distance as the shortest plain
// decimal that reads back (digits 0) or rounded to `digits` significant digits (1 to 9).
void print_pairs_dist_mat(output_sink &out, const dist_mat_type &dist, int digits = 0);

} // namespace phylo::print
