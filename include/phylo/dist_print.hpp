// phylo::print: distance matrices in the layouts that other programs read best: lower
// triangles as PHYLIP's dnadist writes them with its L option, and standard NEXUS.
#pragma once

#include "phylo/types.hpp"

#include <string>
#include <string_view>

namespace phylo::print {

// Writes a lower triangle: the count line (« 12»), then row i (from 1) as its label and,
// each after a tab, the 12-character images of cells (i, 1) .. (i, i - 1); row 1 is the
// label alone. PHYLIP labels are fitted to 10; EXTENDED_PHYLIP labels have blanks made '_'
// and are fitted to the longest label (range_error for an empty one). range_error for any
// other layout.
void print_lower_dist_mat(const dist_mat_type &dist, dist_format_type format);

// The label as one NEXUS word: unchanged when it is made of characters of nexus_label_set
// other than '_'; otherwise enclosed in single quotes with every quote doubled.
std::string to_quoted_nexus_label(std::string_view label);
// Writes v as a plain decimal without exponent, the shortest that reads back as v ("0.25",
// "0.0000001", "120"); a negative zero as "0". Needs 64 bytes at out; returns the end.
char *write_plain_decimal(float v, char *out) noexcept;

// Writes a NEXUS text: "#NEXUS", a TAXA block (dimensions ntax=, taxlabels) and a DISTANCES
// block ("format triangle=lower diagonal labels missing=?") whose row i holds its label and
// cells (i, 1) .. (i, i) as plain decimals, tab-separated. Labels go through
// to_quoted_nexus_label. Does not fail.
void print_nexus_dist_mat(const dist_mat_type &dist);

} // namespace phylo::print
