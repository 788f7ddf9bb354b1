// The kernels for every processor, and the choice among the builds for wider vector units.
#include "dna_kernel_body.hpp"

namespace phylo::dna::detail {

const kernel_set &generic_kernels() {
  static constexpr kernel_set set = make_set<2, false>("generic");
  return set;
}

std::vector<const kernel_set *> compiled_kernels() {
#ifdef PHYLO_X86_KERNELS
  return {&generic_kernels(), &avx2_kernels(), &avx512_kernels()};
#else
  return {&generic_kernels()};
#endif
}

std::vector<const kernel_set *> usable_kernels() {
  std::vector<const kernel_set *> sets = {&generic_kernels()};
#ifdef PHYLO_X86_KERNELS
  // The checks include the operating system's support for the wider registers.
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt")) sets.push_back(&avx2_kernels());
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vpopcntdq")) sets.push_back(&avx512_kernels());
#endif
  return sets;
}

} // namespace phylo::dna::detail
