// The comparison kernels of phylo::dna: the counts of one pair of packed sequences, over
// whole words, in one build for every processor and in builds for wider vector units where
// the processor has them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace phylo::dna::detail {

// Plane layouts. Nucleotides under PAIRWISE and COMPLETE: 3 planes, 0 the pyrimidine bit (C,
// T), 1 the second bit (G, T), 2 the known bit (a base is there); a site without a base is 0
// in all three. Amino acids under PAIRWISE and COMPLETE: 6 planes, 0-4 the amino acid's code
// (1 to 20), 5 the known bit; a site without an amino acid is 0 in all six. Under ALL: 5
// planes holding the symbol's code.
inline constexpr std::size_t site_planes = 3, symbol_planes = 5, amino_planes = 6;
// Words of a plane are a multiple of this, so that kernels need no tail.
inline constexpr std::size_t word_multiple = 16;

// What a kernel counts, and the counts it writes:
//   SYMBOLS3, SYMBOLS5  the sites whose codes differ in planes 0-2 (0-4)
//   DIFF    L (sites where both have a base), differing among them
//   TS      L, differing, transitions (A-G, C-T)
//   TN      L, differing, A-G, C-T
//   K81     L, differing, transitions, the transversions A-C and G-T
//   AMINO   L (sites where both have an amino acid), differing among them (planes 0-4)
//   LOGDET  the 16 cells M[4a + b] = |K & X_a & Y_b| where K is where both have a base and
//           X_0..3 (Y_0..3) are all sites, the pyrimidine bit, the second bit and both bits of
//           the one (the other) sequence; M[0] = L. M = Z N Z' for the table N of base pairs
//           and a unit triangular Z, so det M = det N.
enum class count_kind { SYMBOLS3, SYMBOLS5, DIFF, TS, TN, LOGDET, K81, AMINO };
inline constexpr int count_kinds = 8;
inline constexpr std::size_t max_counts = 16;
constexpr std::size_t count_width(count_kind k) {
  return k == count_kind::DIFF || k == count_kind::AMINO ? 2
         : k == count_kind::TS                           ? 3
         : k == count_kind::TN || k == count_kind::K81   ? 4
         : k == count_kind::LOGDET                       ? 16
                                                         : 1;
}

// The determinant of the 16 LOGDET cells read as a 4 x 4 matrix, row after row: exactly (in
// 128-bit integers) while every cell stays below 2^30, and by Gaussian elimination with
// partial pivoting, for any cells.
double determinant(const std::uint64_t *m);
double determinant_inexact(const std::uint64_t *m);

// Counts over `words` words (a multiple of word_multiple) of the planes of x and y, each plane
// `words` apart; kx and ky are the known planes to use (ignored by SYMBOLS*).
using pair_kernel = void (*)(const std::uint64_t *x, const std::uint64_t *y, const std::uint64_t *kx,
                             const std::uint64_t *ky, std::size_t words, std::uint64_t *counts);

// The counts of rows_at_once sequences x[r] (known planes kx[r]) against y, those of x[r] from
// counts[r * max_counts]; the same counts as a pair_kernel gives, with fewer loads of y.
inline constexpr std::size_t rows_at_once = 4;
using rows_kernel = void (*)(const std::uint64_t *const *x, const std::uint64_t *const *kx, const std::uint64_t *y,
                             const std::uint64_t *ky, std::size_t words, std::uint64_t *counts);

// The counts of one pair over the words [w0, w1) of its planes (each plane `words` apart); w0
// and w1 multiples of word_multiple.
using range_kernel = void (*)(const std::uint64_t *x, const std::uint64_t *y, const std::uint64_t *kx,
                              const std::uint64_t *ky, std::size_t words, std::size_t w0, std::size_t w1,
                              std::uint64_t *counts);

struct kernel_set {
  const char *name;
  pair_kernel kernels[count_kinds]; // by count_kind
  rows_kernel rows[count_kinds];
  range_kernel ranges[count_kinds];
};

// Every processor: 128-bit vectors. x86-64 with AVX2: 256-bit vectors; with AVX-512 and its
// population count: 512-bit vectors counted in one instruction.
const kernel_set &generic_kernels();
#ifdef PHYLO_X86_KERNELS
const kernel_set &avx2_kernels();
const kernel_set &avx512_kernels();
#endif

// The sets this processor can run, slowest first; the last is the one to use.
std::vector<const kernel_set *> usable_kernels();
// Every set that this build holds, whether the processor runs it or not.
std::vector<const kernel_set *> compiled_kernels();

} // namespace phylo::dna::detail
