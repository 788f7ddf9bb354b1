// phylo: distance matrices in MEGA's distance format: "#mega", a "!Title ...;" and a
// "!Format DataType=Distance DataFormat=LowerLeft NTaxa=n;" command, the labels each after
// a '#', then the triangle of distances; comments in square brackets, which may nest. The
// recognising reader (phylo/dist_reader.hpp) reads the layout MEGA with read_mega_dist_mat.
#pragma once

#include "phylo/io.hpp"
#include "phylo/label.hpp"
#include "phylo/types.hpp"

namespace phylo::read {

// A MEGA distance file, read to the end of the input: "#mega", commands, the labels after '#',
// then the lower-left (or, with DataFormat=UpperRight, upper-right) triangle without
// diagonal. format_error for a file of another data type or whose counts disagree.
dist_mat_access read_mega_dist_mat(input_source &in, std::size_t max_taxa);

} // namespace phylo::read

namespace phylo::print {

// Writes the matrix as a MEGA distance file with its lower-left
// triangle, the characters of tree_unsafe_label_set in labels made '_'; distances as print_csv_dist_mat writes them.
// The cells above the diagonal are not written.
void print_mega_dist_mat(output_sink &out, const dist_mat_type &dist, int digits = 0);
// How it writes a label, for check_labels.
inline constexpr label_form_type mega_label_form = label_form_type::TREE_SAFE;

} // namespace phylo::print
