// phylo::read: distance matrices in the layouts that other programs write, with the layout
// and the shape of the matrix recognised from the text.
//
// These readers hold the whole input in memory, so that they can look ahead: a file is
// first taken whole with read_whole_input, then read matrix by matrix with read_dist_text.
// Lines may end in a line feed or in a carriage return and a line feed.
#pragma once

#include "phylo/types.hpp"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace phylo::read {

// The layouts: PHYLIP (a count line, then rows whose label is the first 10 characters),
// RELAXED (the same with a label word of any length), TSV (a header line of one tab per
// taxon, then rows of a label, a tab and tab-separated values), NEXUS (a DISTANCES block).
enum class dist_layout_type { AUTO, PHYLIP, RELAXED, TSV, NEXUS };
// Which cells the rows of a PHYLIP, RELAXED or TSV matrix hold: row i (from 1) of n holds
// n values (SQUARE), i - 1 (LOWER), i (LOWER_DIAGONAL), n - i (UPPER) or n - i + 1
// (UPPER_DIAGONAL). A triangle is mirrored into the other one; a missing diagonal is zero.
enum class dist_shape_type { AUTO, SQUARE, LOWER, LOWER_DIAGONAL, UPPER, UPPER_DIAGONAL };

// A text being read matrix by matrix: what to read, where the reading stands, and what was
// recognised. Plain data; the caller fills text, name, layout and shape.
struct dist_text_type {
  std::string name = "text";                         // names the text in messages
  std::string text;                                   // the whole input
  dist_layout_type layout = dist_layout_type::AUTO;   // AUTO: recognised from the text
  dist_shape_type shape = dist_shape_type::AUTO;      // AUTO: recognised from the rows

  std::size_t pos = 0;  // the read position in text
  std::size_t line = 1; // its line; after an error, the line the error concerns
  std::size_t matrix_line = 0;                        // where the last matrix began
  dist_layout_type found_layout = dist_layout_type::AUTO; // what the last matrix was
  dist_shape_type found_shape = dist_shape_type::AUTO;
  bool in_nexus = false;                  // a #NEXUS text: every further matrix is a block
  std::vector<std::string> nexus_taxa;    // the labels of the last TAXA block
};

// The rest of the current input, whole. use_error when it cannot be read.
std::string read_whole_input();

// Reads the next matrix of the text into a new matrix; null when nothing but blank lines
// (in NEXUS: no further DISTANCES block) is left. Labels of PHYLIP rows lose the blanks that
// pad them. format_error for a text that does not hold a matrix of the layout and shape asked
// for, or whose layout or shape can be read in two ways that give different matrices (the
// message says which option settles it); range_error for a taxon count outside 1 .. 5000 or
// a negative distance. After an error `line` is the line concerned.
dist_mat_access read_dist_text(dist_text_type &text);

// The layout recognised at the start of a text: NEXUS for "#NEXUS", TSV for a first line
// that begins with a tab, PHYLIP for one that begins with a taxon count (PHYLIP stands for
// both PHYLIP and RELAXED: the rows tell them apart). format_error, with the reason and the
// option that settles it, for anything else.
dist_layout_type recognise_layout(std::string_view text);

// Names as the command line writes them: "phylip", "lower triangle without diagonal", ...
std::string_view layout_name(dist_layout_type layout);
std::string_view shape_name(dist_shape_type shape);

} // namespace phylo::read
