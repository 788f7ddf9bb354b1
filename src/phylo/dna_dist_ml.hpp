// Maximum-likelihood distances of phylo::dna: a time-reversible substitution model with its
// rate matrix decomposed once, and the distance of one pair of sequences found by Newton steps
// on the likelihood of the pair's table of residue pairs.
#pragma once

#include "phylo/dna_dist.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace phylo::dna::detail {

inline constexpr std::size_t amino_acids = 20;

// An empirical amino-acid model: the exchange rates s_ij (i > j, row by row: s_10, s_20, s_21,
// ...) and the frequencies, in the order A R N D C Q E G H I L K M F P S T W Y V.
struct protein_table {
  double exchange[190];
  double frequencies[20];
};
// The table of JTT, WAG, LG or DAYHOFF; nullptr for any other model.
const protein_table *protein_model(model_type model);

// The mean rates of `categories` equally likely categories of the gamma distribution of mean 1
// and shape alpha (Yang 1994): category c spans the quantiles c/K to (c+1)/K.
std::vector<double> gamma_rates(double alpha, unsigned categories);

// The regularized lower incomplete gamma function P(a, x), for a > 0 and x >= 0.
double incomplete_gamma(double a, double x);

// A reversible model of `states` states, ready for pairs: pi_i P_ij(t) = sum_k b_ik b_jk
// exp(lambda_k r t) averaged over the rates r, for the rate matrix scaled to one substitution
// per site and unit of time.
struct ml_model {
  std::size_t states = 0;
  std::size_t cells = 0;               // states (states + 1) / 2: the pairs (i, j), i >= j
  std::size_t padded = 0;              // cells rounded up to a multiple of 16
  std::vector<double> lambda;          // the eigenvalues
  std::vector<double> weights;         // b_ik b_jk of cell (i, j) at cell_index(i, j) * states + k
  std::vector<double> dense;           // the same at k * padded + cell_index(i, j), zero past the cells
  std::vector<double> rates;           // the rates of the categories, equally likely
  std::vector<double> log_equilibrium; // ln(pi_i pi_j) of cell (i, j)
  // The share of differing sites start_p[k] that the model expects at distance start_t[k].
  std::vector<double> start_t, start_p;
  // For each distance t_j of a grid (grid_first times grid_ratio^j, up to 100) and each cell of
  // pairs: the first and second derivatives in t of the log-likelihood of one pair, at
  // j * padded + cell. A pair's slope at t_j is then the sum over its cells, weighted by counts.
  std::size_t grid_points = 0;
  double grid_first = 0, grid_ratio = 0;
  std::vector<double> grid_d1, grid_d2;
};

constexpr std::size_t cell_index(std::size_t i, std::size_t j) { return i * (i + 1) / 2 + j; }

// The model of exchange rates s_ij (i > j, as in protein_table) and frequencies (made to sum
// to 1), with the rates of the categories.
ml_model make_ml_model(std::size_t states, const double *exchange, const double *frequencies,
                       std::vector<double> rates);

// The distance that maximises the likelihood of a pair's table of residue pairs: counts[c]
// the pairs (i, j) and (j, i) of cell c = cell_index(i, j) together (model.padded entries,
// zero past the cells), `sites` of them in all and `differing` off the diagonal. 0 when none
// differ, nullopt when the likelihood has no maximum below a distance of 100. sites must be
// above 0.
std::optional<double> ml_distance(const ml_model &model, const std::uint32_t *counts, std::uint64_t sites,
                                  std::uint64_t differing);

} // namespace phylo::dna::detail
