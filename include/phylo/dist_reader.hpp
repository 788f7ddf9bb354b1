// phylo: the recognising reader of distance matrices, which phylo's commands read through:
// the layouts and shapes it knows, the recognition of a layout from the first lines of a
// text, and the dispatch of each matrix to the reader of its layout's module.
#pragma once

#include "phylo/io.hpp"
#include "phylo/nexus.hpp"
#include "phylo/types.hpp"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace phylo::read {

// The taxon count that stands for "no limit": the largest that the readers' indices take.
inline constexpr std::size_t no_taxon_limit = std::numeric_limits<std::uint32_t>::max();

// The layouts: PHYLIP (a count line, then rows whose label is the first 10 characters),
// RELAXED (the same with a label word of any length, or a label with blanks where the number
// of values per row tells where it ends), TSV (a header line of one tab per taxon, with or
// without a corner cell before the first tab, then rows of a label, a tab and tab-separated
// values; blanks around a cell are no part of it, and the header must name the rows in their
// order), NEXUS (a DISTANCES block), CSV (phylo/csv.hpp), PAIRS (one pair of taxa and their
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
// start of the input, and lines of blanks): NEXUS for "#NEXUS" and MEGA for "#mega" in any case; PHYLIP for a line
// that holds a taxon count after any blanks and tabs (PHYLIP then stands for both PHYLIP and
// RELAXED: the rows tell them apart); TSV for another line that begins with a tab; PAIRS when
// the first line, or the second after a header, holds two labels and a number in field
// `pair_column`; TSV or CSV for a header of labels, with or without a corner cell, whose
// delimiter is a tab or a comma. Consumes nothing; undecided_error (LAYOUT) for anything else.
dist_layout_type recognise_layout(input_source &in, std::size_t pair_column = 3);

// What a dist_reader is told: the layout and the shape (AUTO: recognised from the text) and
// the largest taxon count it accepts (by default as many as a matrix can have).
struct dist_read_settings {
  dist_layout_type layout = dist_layout_type::AUTO;
  dist_shape_type shape = dist_shape_type::AUTO;
  std::size_t max_taxa = no_taxon_limit;
  // PAIRS: the field (from 1, at least 3) that holds the distance, and the distance of a pair
  // that no line gives, which is also that of a NEXUS cell given as missing (none:
  // missing_pair_error).
  std::size_t pair_column = 3;
  std::optional<float> pair_fill = std::nullopt;
  // The threads that read the rows of a large matrix of the PHYLIP family (0: one per
  // processor); the result is the same for any number.
  unsigned threads = 0;
};

// Reads the matrices of an input one after the other, each in its own layout and shape, which
// are recognised from the text when they are not given (recognise_layout; the rows of the
// PHYLIP family tell their label layout and shape: read_rows_dist_mat), and hands each to the
// reader of its layout's module: phylo/phylip.hpp, csv.hpp, pairs.hpp, mega.hpp, nexus.hpp.
// A byte order mark at the start of the input is passed over, and so are lines that begin
// with '#' before a header that begins with its delimiter (scikit-bio's lsmat comments); a NUL
// byte refuses the input (input_source::refuse_nul_bytes). Lines may end in a line feed or in
// a carriage return and a line feed.
//
// Errors carry the input's name and the line concerned: undecided_error when the text can be
// read in two ways that give different matrices; format_error for a text that holds no matrix
// of the layout and shape asked for; range_error for a taxon count outside 1 .. max_taxa or a
// negative distance.
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
  input_source &in_;
  dist_read_settings settings_;
  std::optional<nexus_dist_reader> nexus_; // in a #NEXUS text: every further matrix is a block
  bool refusing_nul_ = false;
  dist_layout_type found_layout_ = dist_layout_type::AUTO;
  dist_shape_type found_shape_ = dist_shape_type::AUTO;
  std::size_t matrix_line_ = 0;
};

} // namespace phylo::read
