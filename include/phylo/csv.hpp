// phylo: distance matrices as CSV (comma-separated values, quoted as RFC 4180 says), as R's
// write.csv and pandas' to_csv write them and read.csv and read_csv read them. The recognising
// reader (phylo/dist_reader.hpp) reads the layout CSV with read_csv_dist_mat.
#pragma once

#include "phylo/io.hpp"
#include "phylo/label.hpp"
#include "phylo/types.hpp"

namespace phylo::read {

// A CSV matrix: a header record of the labels, with or without a corner cell before them
// (row 1 tells which: it has as many fields as the header, or one more), then n rows of a
// label and n values; the header must name the rows in their order (blanks around the fields
// dropped). format_error with the line and column of a field that is no number, of a row of the
// wrong length or of a header label that is not its row's; range_error for a negative value or
// more than max_taxa taxa.
dist_mat_access read_csv_dist_mat(input_source &in, std::size_t max_taxa);

} // namespace phylo::read

namespace phylo::print {

// Writes the matrix: a header record of an empty corner cell and the
// labels, then one record per row of its label and its values: the shortest plain decimal that
// reads back as the stored value (digits 0), or the value rounded to `digits` significant
// digits (1 to 9). Labels that hold a comma, a quote, a line end or blanks at either end are
// quoted.
void print_csv_dist_mat(output_sink &out, const dist_mat_type &dist, int digits = 0);
// How it writes a label, for check_labels.
inline constexpr label_form_type csv_label_form = label_form_type::AS_STORED;

} // namespace phylo::print
