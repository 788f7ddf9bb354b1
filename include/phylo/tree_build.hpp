// phylo: trees built from distance matrices by agglomeration.
//
// Every method joins, step by step, the pair of clusters with the smallest criterion and
// replaces it with one new cluster:
// - NJ (Saitou and Nei 1987, with the criterion of Studier and Keppler 1988): with r clusters
//   and R(i) the sum of the distances from i to every other cluster, the pair with the smallest
//   Q(i,j) = (r-2) d(i,j) - R(i) - R(j) joins; the branches to the new node u are
//   d(i,j)/2 + (R(i)-R(j))/(2(r-2)) and d(i,j) less that, and d(u,k) = (d(i,k)+d(j,k)-d(i,j))/2.
//   The last three clusters meet at the root, which thus has three children (unrooted).
// - BIONJ (Gascuel 1997): the same criterion and branches, with d(u,k) = l d(i,k) +
//   (1-l) d(j,k) less the branches, where l = 1/2 + sum_k (v(j,k)-v(i,k)) / (2(r-2) v(i,j)) is
//   clipped to [0,1] (1/2 when v(i,j) = 0), over a variance matrix v that starts as d and
//   follows v(u,k) = l v(i,k) + (1-l) v(j,k) - l(1-l) v(i,j).
// - UPGMA: the pair with the smallest d(i,j) joins; d(u,k) is the mean of d(i,k) and d(j,k)
//   weighted by the number of taxa in i and in j; the new node stands at height d(i,j)/2 and
//   the tree is rooted at the last join (ultrametric).
// - WPGMA: as UPGMA with the plain mean (d(i,k)+d(j,k))/2.
//
// Arithmetic is in double precision. R(i) starts as the sum of row i in column order and, at
// each join, becomes R(i) - d(i,a) - d(i,b) + d(i,u); R(u) is the sum of d(u,k) over the
// clusters k in slot order, where the new cluster takes the slot of the joined cluster with the
// lower slot (taxon k starts in slot k).
//
// Ties. Every cluster has a rank: taxon k has rank k, and the cluster made by the t-th join
// (t = 0, 1, ...) has rank n + t. Among the pairs with the smallest criterion, the one whose
// younger member (higher rank) has the lowest rank joins, and among those the one whose older
// member has the lowest rank: the first pair in the row order of the lower triangle, a new
// cluster's row following every earlier row. So the tree is fixed by the matrix alone: the
// same on every run and for any number of threads.
//
// The children of every node are given in the order of their first taxon (in matrix order).
// One taxon gives a root with that leaf as its only child, "(A);"; two give "(A:d/2,B:d/2);".
#pragma once

#include "phylo/dna_dist.hpp"
#include "phylo/tree.hpp"
#include "phylo/types.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace phylo {

enum class tree_method { NJ, BIONJ, UPGMA, WPGMA };

struct tree_build_options {
  tree_method method = tree_method::NJ;
  unsigned threads = 0; // 0: one per processor that the process may use
  // The threads share the search for the pair while at least this many clusters are left; below,
  // a join costs less than waking them (measured by bench/tree_run.sh on 2 cores).
  std::size_t parallel_from = 8192;
  // Called now and then while the clusters join (some 200 times in all, and after the last
  // join), with the joins made and the joins to make: a progress line, or a way to stop the
  // work, as whatever it throws leaves build_tree once the threads have stopped.
  std::function<void(std::size_t done, std::size_t total)> progress = {};
};

// Why a matrix cannot give a tree, found in this order of rows: a cell that is not a finite
// number (NOT_FINITE), below zero (NEGATIVE), a diagonal cell other than zero (DIAGONAL), cells
// (i, j) and (j, i) that differ (ASYMMETRIC), two taxa with one label (DUPLICATE_LABEL), a
// matrix without taxa (EMPTY).
enum class tree_input_problem { EMPTY, NOT_FINITE, NEGATIVE, DIAGONAL, ASYMMETRIC, DUPLICATE_LABEL };

struct tree_input_error : error {
  tree_input_error(tree_input_problem problem, std::size_t i, std::size_t j, const std::string &what)
      : error("tree_input_error", what), problem(problem), i(i), j(j) {}
  tree_input_problem problem;
  std::size_t i, j; // the taxa concerned (0-based): the cell (i, j), or the two labels (i < j)
};

// The first problem of the matrix, as described above, thrown as tree_input_error with a
// sentence that names the cell or the labels.
void check_tree_input(const dist_mat_type &dist);

// The tree of the matrix by the method; the leaves are nodes 0 .. n-1, labelled with the taxa.
// The matrix is checked first (check_tree_input). It is consumed (its cells are released as
// soon as they have been copied) so that the cells of the input and of the work are not held
// at once.
tree_type build_tree(dist_mat_type &&dist, const tree_build_options &options = {});

// UPGMA by the nearest-neighbour chain (Benzecri 1982, Murtagh 1983): the clusters and node
// heights of build_tree's UPGMA in O(n^2) steps over n^2 floats, for matrices of tens of
// thousands of taxa. The means are taken in single precision, so that cells that tie or nearly
// tie may join in another order than build_tree's; the children of every node are given in the
// order of their first taxon, the leaves are nodes 0 .. n-1 and the tree is rooted. Checked
// and consumed as build_tree does (the work is done in the matrix's own cells).
tree_type build_upgma_chain(dist_mat_type &&dist);

// A bootstrap: trees from resamplings of an alignment's sites.
struct bootstrap_options {
  std::size_t replicates = 100;
  std::uint64_t seed = 1;   // the same seed gives the same replicates on every machine
  dna::dist_options dist;   // the distances of each replicate
  tree_build_options build; // and its tree
  // Called after each replicate with the replicates done and their number, and with each
  // replicate's tree, in the order of the replicates.
  std::function<void(std::size_t done, std::size_t total)> progress;
  std::function<void(const tree_type &replicate)> take;
};
// The sites of replicate k (from 0) of an alignment of `sites` sites: `sites` of them drawn
// with repetition, by a generator of its own (splitmix64) seeded with the seed and k, so that
// every replicate is the same whatever the machine, the threads or the order of the work.
std::vector<std::uint32_t> bootstrap_columns(std::size_t sites, std::uint64_t seed, std::size_t k);
// Builds a tree from each replicate of the alignment and sets, in `tree` (built from the whole
// alignment, on the same labels), the support of each internal branch: the share of the
// replicates, 0 to 100, that hold its split. The errors of dna_dist and build_tree for a
// replicate (undefined_distance_error when a pair of a replicate has no distance and
// options.dist gives no value for it); range_error for no replicates.
void bootstrap(tree_type &tree, const dna::packed_alignment &aln, const bootstrap_options &options);

namespace detail {
// build_tree with the lists that it keeps beyond 65536 taxa, whatever the size: for the tests.
tree_type build_tree_with_wide_lists(dist_mat_type &&dist, const tree_build_options &options);
} // namespace detail

} // namespace phylo
