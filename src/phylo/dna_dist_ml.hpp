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
  std::vector<double> lambda;  // the eigenvalues
  std::vector<double> weights; // cell (i, j), i >= j, at cell_index(i, j) * states: b_ik b_jk (k < states)
  std::vector<double> rates;   // the rates of the categories, equally likely
};

constexpr std::size_t cell_index(std::size_t i, std::size_t j) { return i * (i + 1) / 2 + j; }

// The model of exchange rates s_ij (i > j, as in protein_table) and frequencies (made to sum
// to 1), with the rates of the categories.
ml_model make_ml_model(std::size_t states, const double *exchange, const double *frequencies,
                       std::vector<double> rates);

// One cell of a pair's table: the residue pairs (i, j) and (j, i) counted together.
struct pair_cell {
  std::uint32_t cell; // cell_index(i, j), i >= j
  std::uint32_t count;
};

// The distance that maximises the likelihood of the cells, which hold `sites` residue pairs,
// `differing` of them off the diagonal: 0 when none is, nullopt when the likelihood grows
// without bound in the distance (there is no finite maximum). sites must be above 0.
std::optional<double> ml_distance(const ml_model &model, const pair_cell *cells, std::size_t n_cells,
                                  std::uint64_t sites, std::uint64_t differing);

} // namespace phylo::dna::detail
