// phylo::distfunc: transformations of distance matrices.
#pragma once

#include "phylo/types.hpp"

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

} // namespace phylo::distfunc
