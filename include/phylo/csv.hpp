// phylo: distance matrices as CSV (comma-separated values, quoted as RFC 4180 says), as R's
// write.csv and pandas' to_csv write them and read.csv and read_csv read them. The reader is
// a layout of the recognising reader (phylo/phylip.hpp, dist_layout_type::CSV).
#pragma once

#include "phylo/io.hpp"
#include "phylo/types.hpp"

namespace phylo::print {

// Writes the matrix: a header record of an empty corner cell and the
// labels, then one record per row of its label and its values: the shortest plain decimal that
// reads back as the stored value (digits 0), or the value rounded to `digits` significant
// digits (1 to 9). Labels that hold a comma, a quote, a line end or blanks at either end are
// quoted.
void print_csv_dist_mat(output_sink &out, const dist_mat_type &dist, int digits = 0);

} // namespace phylo::print
