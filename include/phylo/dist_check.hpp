// phylo: checks of a distance matrix before it is written, making it symmetric, similarities
// made distances, and subsets of its taxa.
#pragma once

#include "phylo/label.hpp"
#include "phylo/types.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace phylo {

// What a check finds: cells (i, j) and (j, i) that differ, a non-zero diagonal cell, two
// equal labels, and two different labels that an output layout writes alike (or a label it
// writes as nothing), and, in the PHYLIP family, a label that programs reading it take apart
// (tree_unsafe_label_set), or that a 10-byte cut splits inside a UTF-8 character (CUT_LABEL),
// and in a tab-separated cell a label that begins or ends with a blank, which its readers drop
// (UNSAFE_LABEL); a label with a line end (or, in a tab-separated cell, a tab) that breaks the layout's rows
// (BROKEN_LABEL: the text would not read back, so the matrix must not be written).
enum class finding_kind_type {
  ASYMMETRY,
  DIAGONAL,
  DUPLICATE_LABEL,
  OUTPUT_LABEL,
  UNSAFE_LABEL,
  CUT_LABEL,
  BROKEN_LABEL
};

// One finding: its kind, the taxa concerned (0-based; i == j when one taxon is) and a
// sentence that names them.
struct dist_finding_type {
  finding_kind_type kind;
  std::size_t i, j;
  std::string message;
};

// Checks the matrix: cells that differ from their mirror by more than `tolerance`, diagonal
// cells other than zero, duplicate labels, labels that `form` makes equal or empty. Returns
// at most one finding per kind, the first in row order. Does not fail.
std::vector<dist_finding_type> check_dist_mat(const dist_mat_type &dist, float tolerance, label_form_type form);

// The checks of check_dist_mat that concern labels alone, for labels that a layout writes in
// `form`: equal labels, labels that `form` makes equal or empty, labels that break the rows of
// the PHYLIP family or of tab-separated cells, labels that programs reading the PHYLIP family
// take apart, labels cut inside a UTF-8 character; for TREE_SAFE and TREE_SAFE_PHYLIP, which
// rewrite what tree builders cannot take, the first label so rewritten. At most one finding
// per kind. Does not fail.
std::vector<dist_finding_type> check_labels(const std::vector<std::string_view> &labels, label_form_type form);

// The labels with every character of tree_unsafe_label_set made '_'.
void make_labels_safe(dist_mat_type &dist);

// Which triangle survives: LOWER copies every cell (i, j) below the diagonal to (j, i);
// UPPER the other way; MEAN sets both to their mean. The diagonal is not touched.
enum class symmetrize_type { LOWER, UPPER, MEAN };
void symmetrize_dist(dist_mat_type &dist, symmetrize_type how) noexcept;

// Similarities made distances: every cell s (the diagonal too) becomes top - s, in double
// precision rounded to single. range_error naming the first cell in row order that holds more
// than `top` (the matrix is then changed up to that cell).
void similarities_to_distances(dist_mat_type &dist, float top);

// The matrix of the taxa named, in their order (a name may come twice). range_error naming
// the first name that is no label of the matrix.
dist_mat_access keep_taxa(const dist_mat_type &dist, const std::vector<std::string> &names);

} // namespace phylo
