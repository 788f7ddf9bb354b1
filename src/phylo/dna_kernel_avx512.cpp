// The kernels for x86-64 processors with AVX-512 and its population count, built with
// -mavx512f -mavx512vpopcntdq and run only where the processor has them.
#include "dna_kernel_body.hpp"

namespace phylo::dna::detail {

const kernel_set &avx512_kernels() {
  static constexpr kernel_set set = make_set<8, true>("avx512");
  return set;
}

} // namespace phylo::dna::detail
