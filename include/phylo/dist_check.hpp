// phylo: checks of a distance matrix before it is written, and making it symmetric.
#pragma once

#include "phylo/types.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace phylo {

// What a check finds: cells (i, j) and (j, i) that differ, a non-zero diagonal cell, two
// equal labels, and two different labels that an output layout writes alike (or a label it
// writes as nothing).
enum class finding_kind_type { ASYMMETRY, DIAGONAL, DUPLICATE_LABEL, OUTPUT_LABEL };

// One finding: its kind, the taxa concerned (0-based; i == j when one taxon is) and a
// sentence that names them.
struct dist_finding_type {
  finding_kind_type kind;
  std::size_t i, j;
  std::string message;
};

// How an output layout writes a label, as a reader of that layout tells labels apart:
// AS_STORED; PHYLIP (first 10 characters, padding blanks not counted); NO_BLANK (blanks made
// '_'); NEXUS_CLEANED (to_nexus_label); NEXUS_ENCLOSED (' made `); NEXUS_QUOTED (unchanged).
// The NEXUS forms ignore the case of letters A-Z, as NEXUS readers do.
enum class label_form_type { AS_STORED, PHYLIP, NO_BLANK, NEXUS_CLEANED, NEXUS_ENCLOSED, NEXUS_QUOTED };

// The label as the layout makes it, in the form in which two labels compare.
std::string label_as_written(std::string_view label, label_form_type form);

// Checks the matrix: cells that differ from their mirror by more than `tolerance`, diagonal
// cells other than zero, duplicate labels, labels that `form` makes equal or empty. Returns
// at most one finding per kind, the first in row order. Does not fail.
std::vector<dist_finding_type> check_dist_mat(const dist_mat_type &dist, float tolerance, label_form_type form);

// Which triangle survives: LOWER copies every cell (i, j) below the diagonal to (j, i);
// UPPER the other way; MEAN sets both to their mean. The diagonal is not touched.
enum class symmetrize_type { LOWER, UPPER, MEAN };
void symmetrize_dist(dist_mat_type &dist, symmetrize_type how) noexcept;

} // namespace phylo
