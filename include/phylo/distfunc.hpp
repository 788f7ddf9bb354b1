// phylo::distfunc: transformations of distance matrices.
#pragma once

#include "phylo/types.hpp"

#include <cstdint>
#include <utility>

namespace phylo::distfunc {

// The transformations, in this order: -log(1-D), 1-exp(-D), D^2, sqrt(D), D/max(D),
// arcsin(sqrt(D)), none.
enum class dist_conv_type { NEG_LOG, EXP, SQUARE, SQUARE_ROOT, RANGING, ARCSIN, NONE };

// Replaces every cell above the diagonal by its transform and mirrors it below, row by row;
// the diagonal is never touched and NONE changes nothing. Elementary functions run in double
// precision on the single-precision cell, rounded back to single precision.
// range_error for a result outside 0.0 .. max_distance (log of 0, an overflowing square);
// argument_error outside a function's domain (log of a negative, arcsin above 1). Cells
// before the failing one keep their new values.
void convert_dist(dist_mat_type &dist, dist_conv_type conv);
// The largest cell strictly above the diagonal, or 0.0 when there is none.
float max_dist(const dist_mat_type &dist);
// The largest cell strictly above the diagonal and the single-precision sum of their
// squares (0.0 and 0.0 for one taxon). range_error when a cell lies past n_cells or the sum
// leaves 0.0 .. max_distance.
std::pair<float, float> max_and_ssq(const fast_dist_mat_type &dist);

// ---- Distances from character matrices --------------------------------------------------

// The distance functions, in this order. QUANT matrices offer EUKLIDEAN,
// STANDARDIZED_EUKLIDEAN, CHORD, CANBERRA, MANHATTAN, PEARSON and EXCLUSIVE_EUKLIDEAN
// (negative cells count as missing); CNTCH matrices BRAY_CURTIS and EDGAR; DISCR matrices
// always give the proportion of differing symbols, whatever the form.
enum class dist_form_type {
  EUKLIDEAN,
  STANDARDIZED_EUKLIDEAN,
  CHORD,
  CANBERRA,
  MANHATTAN,
  BRAY_CURTIS,
  EDGAR,
  PEARSON,
  EXCLUSIVE_EUKLIDEAN
};

// Fills `dist` (created with the n_tax of `chars`) with the labels of `chars` and the
// distance of every pair of taxa, row by row, each mirrored below the diagonal; the diagonal
// is 0.0. Single-precision arithmetic; square roots in double of a float, rounded to float.
// range_error when the sizes differ, a checked sum or a distance leaves 0.0 .. max_distance
// (divisions by zero included) or an integer sum of counts passes 2147483647;
// argument_error for the square root of a negative; formula_error at the first pair when
// the form does not apply to the kind. What was written before a failure stays.
void make_dist(const char_mat_type &chars, dist_form_type form, dist_mat_type &dist);
// The smaller of two counts.
std::int32_t min_count(std::int32_t a, std::int32_t b) noexcept;

// ---- Quartets and triplets ----------------------------------------------------------------

// The number of ways to choose 4 (3) of n taxa. When it is not in 1 .. 2147483647, writes
// "Too many quartets." ("Too many triplets.") as one line on standard error and raises
// range_error.
std::int32_t no_quartets(int n);
std::int32_t no_triplets(int n);

} // namespace phylo::distfunc
