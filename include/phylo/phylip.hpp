// phylo: distance matrices in the PHYLIP family of layouts: PHYLIP (10-character labels),
// extended or relaxed PHYLIP (a label word) and the tab-separated layout (a header line,
// then a label, a tab and tab-separated values), in two roles:
//
//   - the strict reader of karvel's three input layouts (read_dist_header, read_dist_mat),
//     and karvel's writer of its seven output layouts (print_dist_mat);
//   - the recognising reader of phylo convert (dist_reader), which tells the layout and the
//     shape of a matrix from its first rows, reads NEXUS as well (see phylo/nexus.hpp), and
//     says when a text can be read in two ways that give different matrices.
//
// Both read the current input through the same number, label and line handling; the strict
// reader keeps karvel's rules (a carriage return is text), the recognising reader takes
// carriage returns as blanks and trims the padding of PHYLIP labels.
#pragma once

#include "phylo/io.hpp"
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
int read_dist_header(dist_format_type format);
// Fills the labels and all n_tax x n_tax distances of `mat`, row by row; each row is a label
// and n_tax numbers (which may run over several lines), the rest of its last line ignored.
// PHYLIP rows use PHYLIP labels, TAB rows tab-separated labels, all others extended labels.
// range_error for a negative distance; format_error when a row's last number is followed by
// anything but a blank, a tab, a carriage return, a line end or the end of the input.
void read_dist_mat(dist_format_type format, dist_mat_type &mat);
// The same for the flat form; range_error when the cells do not fit in n_cells.
void read_fast_dist_mat(dist_format_type format, fast_dist_mat_type &mat);

// ---- The recognising reader ------------------------------------------------------------

// The layouts: PHYLIP (a count line, then rows whose label is the first 10 characters),
// RELAXED (the same with a label word of any length, or a label with blanks where the number
// of values per row tells where it ends), TSV (a header line of one tab per taxon, with or
// without a corner cell before the first tab, then rows of a label, a tab and tab-separated
// values), NEXUS (a DISTANCES block), CSV (phylo/csv.hpp), PAIRS (one pair of taxa and their
// distance per line, fields separated by tabs, commas or blanks; see dist_read_settings), MEGA
// (phylo/mega.hpp).
enum class dist_layout_type { AUTO, PHYLIP, RELAXED, TSV, NEXUS, CSV, PAIRS, MEGA };
// Which cells the rows of a PHYLIP, RELAXED or TSV matrix hold: row i (from 1) of n holds
// n values (SQUARE), i - 1 (LOWER), i (LOWER_DIAGONAL), n - i (UPPER) or n - i + 1
// (UPPER_DIAGONAL). A triangle is mirrored into the other one; a missing diagonal is zero.
enum class dist_shape_type { AUTO, SQUARE, LOWER, LOWER_DIAGONAL, UPPER, UPPER_DIAGONAL };
// A shape as a command line names it: "square", "lower", "lower-diagonal", ...
std::string_view shape_name(dist_shape_type shape);

// What the recognising reader could not decide: the layout of the first line; whether the
// rows have 10-character labels or label words; which shape the rows have.
enum class undecided_type { LAYOUT, LABELS, SHAPE };

// A text that the recognising reader cannot read without being told its layout or shape:
// format_error with the reason, and for SHAPE the two shapes that both fit.
struct undecided_error : format_error {
  undecided_error(undecided_type reason, const std::string &what, input_position where,
                  dist_shape_type first = dist_shape_type::AUTO, dist_shape_type second = dist_shape_type::AUTO)
      : format_error(what, std::move(where)), reason(reason), shapes{first, second} {}
  undecided_type reason;
  dist_shape_type shapes[2];
};

// A list of pairs that lacks a pair, or a NEXUS matrix with a missing cell: format_error naming
// it.
struct missing_pair_error : format_error {
  using format_error::format_error;
};

// The layout told by the first lines at the read position (after a byte order mark at the
// start of the input and lines of blanks): NEXUS for "#NEXUS" and MEGA for "#mega" in any case; PHYLIP for a line
// that holds a taxon count after any blanks and tabs (PHYLIP then stands for both PHYLIP and
// RELAXED: the rows tell them apart); TSV for another line that begins with a tab; PAIRS when
// the first line, or the second after a header, holds two labels and a number in field
// `pair_column`; TSV or CSV for a header of labels, with or without a corner cell, whose
// delimiter is a tab or a comma. Consumes nothing; undecided_error (LAYOUT) for anything else.
dist_layout_type recognise_layout(input_source &in, std::size_t pair_column = 3);

// What a dist_reader is told: the layout and the shape (AUTO: recognised from the text) and
// the largest taxon count it accepts.
struct dist_read_settings {
  dist_layout_type layout = dist_layout_type::AUTO;
  dist_shape_type shape = dist_shape_type::AUTO;
  std::size_t max_taxa = static_cast<std::size_t>(phylo::max_taxa);
  // PAIRS: the field (from 1, at least 3) that holds the distance, and the distance of a pair
  // that no line gives, which is also that of a NEXUS cell given as missing (none:
  // missing_pair_error).
  std::size_t pair_column = 3;
  std::optional<float> pair_fill = std::nullopt;
};

// Reads the matrices of an input one after the other, each in its own layout and shape,
// which are recognised from the first rows of the matrix when they are not given: it reads
// the first rows in every way the settings leave open, keeps the reading that fits (the
// lookahead is those rows), and reads the rest in that way. A reading that fails on the
// first rows is dropped; of the readings that fit, one that makes taxa of one name out of
// labels cut to 10 characters yields to one that does not. Labels of PHYLIP rows lose the
// blanks that pad them. Lines may end in a line feed or in a carriage return and a line feed.
//
// Errors carry the input's name and the line concerned: undecided_error when two readings
// fit and give different matrices; format_error for a text that holds no matrix of the
// layout and shape asked for (the message names the reading that went furthest); range_error
// for a taxon count outside 1 .. max_taxa or a negative distance.
class dist_reader {
public:
  explicit dist_reader(input_source &in, dist_read_settings settings = {});

  // The next matrix; null when nothing but blank lines is left (in NEXUS: no further
  // DISTANCES block).
  dist_mat_access next();

  // What the last matrix was, and the line where it began.
  dist_layout_type layout() const noexcept { return found_layout_; }
  dist_shape_type shape() const noexcept { return found_shape_; }
  std::size_t matrix_line() const noexcept { return matrix_line_; }

private:
  dist_mat_access read_rows_matrix(dist_layout_type layout);

  input_source &in_;
  dist_read_settings settings_;
  bool in_nexus_ = false;               // a #NEXUS text: every further matrix is a block
  std::vector<std::string> nexus_taxa_; // the labels of the last TAXA block
  std::size_t nexus_lone_crs_ = 0;      // the line ends of the NEXUS text that are CR alone
  dist_layout_type found_layout_ = dist_layout_type::AUTO;
  dist_shape_type found_shape_ = dist_shape_type::AUTO;
  std::size_t matrix_line_ = 0;
};

} // namespace phylo::read

namespace phylo::print {

// Writes the whole matrix on the current output in one of karvel's seven layouts: PHYLIP and
// EXTENDED_PHYLIP (a count line, then rows of a label fitted to 10 or to the longest label),
// TAB (a header line of labels, then rows), NEXUS and NEXUS_ENCLOSED (a DISTANCES block and
// a PAUP block), ONE_COLUMN (one pair per line below the diagonal), RAW (rows only). In every
// layout but PHYLIP and ONE_COLUMN, range_error for an empty label before anything is written.
void print_dist_mat(const dist_mat_type &dist, dist_format_type format);
// Writes a lower triangle: the count line (« 12»), then row i (from 1) as its label and,
// each after a tab, the 12-character images of cells (i, 1) .. (i, i - 1); row 1 is the
// label alone. PHYLIP labels are fitted to 10; EXTENDED_PHYLIP labels have blanks made '_'
// and are fitted to the longest label (range_error for an empty one). range_error for any
// other layout.
void print_lower_dist_mat(const dist_mat_type &dist, dist_format_type format);

} // namespace phylo::print
