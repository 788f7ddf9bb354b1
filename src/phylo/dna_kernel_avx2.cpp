// The kernels for x86-64 processors with AVX2, built with -mavx2 -mpopcnt and run only where
// the processor has them.
#include "dna_kernel_body.hpp"

namespace phylo::dna::detail {

const kernel_set &avx2_kernels() {
  static constexpr kernel_set set = make_set<4, false>("avx2");
  return set;
}

} // namespace phylo::dna::detail
