// phylo: distance matrices in MEGA's distance format: "#mega", a "!Title ...;" and a
// "!Format DataType=Distance DataFormat=LowerLeft NTaxa=n;" command, the labels each after
// a '#', then the triangle of distances; comments in square brackets, which may nest. The
// reader is a layout of the recognising reader (phylo/phylip.hpp, dist_layout_type::MEGA).
#pragma once

#include "phylo/io.hpp"
#include "phylo/types.hpp"

namespace phylo::print {

// Writes the matrix as a MEGA distance file with its lower-left
// triangle, blanks in labels made '_'; distances as print_csv_dist_mat writes them. The
// cells above the diagonal are not written.
void print_mega_dist_mat(output_sink &out, const dist_mat_type &dist, int digits = 0);

} // namespace phylo::print
