// The two paths by which convert_dist transforms a cell: one cell at a time, and the branch-free
// block kernels of the transformations that have one. The long check compares both with the
// formulas on every float that the reader can deliver.
#pragma once

#include "phylo/distfunc.hpp"

#include <cstddef>

namespace phylo::distfunc::detail {

enum class cell_fault { none, range, argument };

struct cell_outcome {
  cell_fault fault;
  float value; // when fault is none
};

// What convert_dist stores for a cell holding d, range check included, or the fault it raises.
// `max` is the divisor of RANGING and unused otherwise.
cell_outcome transform_cell(dist_conv_type conv, float d, float max);

// Runs the block kernel of `conv` on m cells: out[k] is the new value of d[k] unless hard[k]
// is set (the cell then takes the per-cell path). False when `conv` has no kernel.
bool transform_block(dist_conv_type conv, float max, const float *d, float *out, unsigned char *hard,
                     std::size_t m);

} // namespace phylo::distfunc::detail
