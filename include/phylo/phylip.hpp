// phylo: distance matrices in the PHYLIP family of layouts: PHYLIP (10-character labels),
// extended or relaxed PHYLIP (a label word) and the tab-separated layout (a header line,
// then a label, a tab and tab-separated values), in two roles:
//
//   - the strict reader of karvel's three input layouts (read_dist_header, read_dist_mat),
//     and karvel's writer of its seven output layouts (print_dist_mat);
//   - the rows of phylo's recognising reader (phylo/dist_reader.hpp), which tells the label
//     layout and the shape of a matrix from its first rows, and says when a text can be read
//     in two ways that give different matrices.
//
// Both read through the same number, label and line handling; the strict reader keeps
// karvel's rules (a carriage return is text), the recognising reader takes carriage returns
// as blanks and trims the padding of PHYLIP labels.
#pragma once

#include "phylo/dist_reader.hpp"
#include "phylo/io.hpp"
#include "phylo/label.hpp"
#include "phylo/types.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace phylo::read {

// ---- karvel's layouts ------------------------------------------------------------------

// The taxon count of the next matrix, 1 .. 5000. TAB counts the tab characters of the whole
// current line; the other layouts read an integer and skip the rest of its line.
// range_error for a count outside 1 .. 5000, format_error for a count that is no number.
int read_dist_header(input_source &in, dist_format_type format);
int read_dist_header(dist_format_type format); // from the current input
// Fills the labels and all n_tax x n_tax distances of `mat`, row by row; each row is a label
// and n_tax numbers (which may run over several lines), the rest of its last line ignored.
// PHYLIP rows use PHYLIP labels, TAB rows tab-separated labels, all others extended labels.
// range_error for a negative distance; format_error when a row's last number is followed by
// anything but a blank, a tab, a carriage return, a line end or the end of the input.
void read_dist_mat(input_source &in, dist_format_type format, dist_mat_type &mat);
void read_dist_mat(dist_format_type format, dist_mat_type &mat); // from the current input
// The same for the flat form; range_error when the cells do not fit in n_cells.
void read_fast_dist_mat(input_source &in, dist_format_type format, fast_dist_mat_type &mat);
void read_fast_dist_mat(dist_format_type format, fast_dist_mat_type &mat); // from the current input

// ---- The rows of phylo's recognising reader (phylo/dist_reader.hpp) --------------------

// A matrix of the PHYLIP family at the read position (its count or header line first), in
// `layout` (PHYLIP, RELAXED or TSV; AUTO: PHYLIP or RELAXED, as the rows tell) and `shape`
// (AUTO: as the rows tell). The first rows are read in every way the two leave open, under an
// input_mark; the reading that fits is kept and the rest read that way, and the readings in
// other label layouts that read the first rows alike stay open, each later row read under a
// mark of its own, until a row that only one of them reads decides (or one that two read
// otherwise leaves the matrix undecided). A reading that fails on the first rows is dropped; of the readings that fit,
// one that makes taxa of one name out of labels cut to 10 characters yields to one that does not. Labels of PHYLIP rows
// lose the blanks that pad them. Errors carry the line concerned: undecided_error (LABELS, SHAPE) when two readings fit
// and give different matrices; format_error for rows that fit no reading (the message names the reading that went
// furthest); range_error for a taxon count outside 1 .. max_taxa or a negative distance.
struct rows_matrix {
  dist_mat_access matrix;
  dist_layout_type layout; // PHYLIP, RELAXED or TSV
  dist_shape_type shape;
};
// The rows of a large matrix that stand one to a line are read on `threads` threads (0: one
// per processor; 1: on the calling thread alone), with the same result and the same errors.
rows_matrix read_rows_dist_mat(input_source &in, dist_layout_type layout, dist_shape_type shape, std::size_t max_taxa,
                               unsigned threads = 0);

} // namespace phylo::read

namespace phylo::print {

// Writes the whole matrix in one of karvel's seven layouts: PHYLIP and
// EXTENDED_PHYLIP (a count line, then rows of a label fitted to 10 or to the longest label),
// TAB (a header line of labels, then rows), NEXUS and NEXUS_ENCLOSED (a DISTANCES block and
// a PAUP block), ONE_COLUMN (one pair per line below the diagonal), RAW (rows only). In every
// layout but PHYLIP and ONE_COLUMN, range_error for an empty label before anything is written.
void print_dist_mat(output_sink &out, const dist_mat_type &dist, dist_format_type format);
void print_dist_mat(const dist_mat_type &dist, dist_format_type format); // on the current output
// One line of ONE_COLUMN: the two labels and the image of the distance, tab-separated.
void print_one_column_pair(output_sink &out, std::string_view first, std::string_view second, float value);
// Writes a lower triangle: the count line (« 12»), then row i (from 1) as its label and,
// each after a tab, the 12-character images of cells (i, 1) .. (i, i - 1); row 1 is the
// label alone. PHYLIP labels are fitted to 10; EXTENDED_PHYLIP labels have blanks made '_'
// and are fitted to the longest label (range_error for an empty one). range_error for any
// other layout.
void print_lower_dist_mat(output_sink &out, const dist_mat_type &dist, dist_format_type format);
void print_lower_dist_mat(const dist_mat_type &dist, dist_format_type format); // on the current output
// How print_dist_mat and print_lower_dist_mat write a label in the layout, for check_labels.
label_form_type label_form(dist_format_type format) noexcept;

} // namespace phylo::print
