// Tests of include/phylo/tree_build.hpp. The builders are compared with a plain O(n^3)
// implementation of the definitions in the header (reference_tree below), which scans every
// pair at every join; the trees must be equal to the last bit of every length, on matrices rich
// in ties and duplicates, for any number of threads (tree_build.cases holds matrices whose trees
// are known). The nearest-neighbour chain's UPGMA must give build_tree's clusters and heights.

#include "case_table.hpp"
#include "phylo/io.hpp"
#include "phylo/newick.hpp"
#include "phylo/tree_build.hpp"
#include "test_io.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace phylo {
namespace {

// The definition, pair by pair: slots, ranks, sums and formulas exactly as the header gives them.
tree_type reference_tree(const dist_mat_type &m, tree_method method) {
  const std::size_t n = m.n_tax();
  const bool nj = method == tree_method::NJ || method == tree_method::BIONJ;
  std::vector<std::vector<double>> d(n, std::vector<double>(n));
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) d[i][j] = m.distances(i, j);
  auto v = d;
  std::vector<double> sum(n, 0), size(n, 1), height(n, 0);
  std::vector<std::size_t> rank(n), node(n), slots;
  tree_type tree;
  for (std::size_t i = 0; i < n; ++i) {
    tree.add_node(m.labels[i]);
    rank[i] = i, node[i] = i, slots.push_back(i);
    for (std::size_t j = 0; j < n; ++j)
      if (j != i) sum[i] += d[i][j];
  }
  if (n == 1) {
    tree.root = tree.add_node();
    tree.add_child(tree.root, 0);
    return tree;
  }
  auto attach = [&](std::size_t parent, std::size_t slot, double length) {
    tree[node[slot]].length = length;
    tree.add_child(parent, node[slot]);
  };
  std::size_t joins = 0;
  while (slots.size() > (nj ? 3u : 1u) && !(nj && n == 2)) {
    const double r = static_cast<double>(slots.size());
    double best = INFINITY;
    std::size_t bi = 0, bj = 0; // older, younger
    for (const std::size_t a : slots)
      for (const std::size_t b : slots) {
        if (rank[b] >= rank[a]) continue; // a is the younger
        const double q = nj ? ((r - 2) * d[a][b] - sum[a]) - sum[b] : d[a][b];
        if (q < best || (q == best && (rank[a] < rank[bj] || (rank[a] == rank[bj] && rank[b] < rank[bi]))))
          best = q, bi = b, bj = a;
      }
    const std::size_t i = bi, j = bj, lo = std::min(i, j), hi = std::max(i, j);
    const double dij = d[i][j];
    double li, lj, lambda = 0.5;
    if (nj) {
      li = dij / 2 + (sum[i] - sum[j]) / (2 * (r - 2));
      lj = dij - li;
    } else {
      li = dij / 2 - height[i];
      lj = dij / 2 - height[j];
    }
    if (method == tree_method::BIONJ && v[i][j] != 0) {
      double s = 0;
      for (const std::size_t k : slots)
        if (k != i && k != j) s += v[j][k] - v[i][k];
      lambda = std::clamp(0.5 + s / (2 * (r - 2) * v[i][j]), 0.0, 1.0);
    }
    const std::size_t u = tree.add_node();
    attach(u, i, li);
    attach(u, j, lj);
    double sum_u = 0;
    for (const std::size_t k : slots) {
      if (k == i || k == j) continue;
      double duk = 0;
      switch (method) {
      case tree_method::NJ: duk = (d[i][k] + d[j][k] - dij) / 2; break;
      case tree_method::BIONJ:
        duk = lambda * (d[i][k] - li) + (1 - lambda) * (d[j][k] - lj);
        v[lo][k] = v[k][lo] = lambda * v[i][k] + (1 - lambda) * v[j][k] - lambda * (1 - lambda) * v[i][j];
        break;
      case tree_method::UPGMA: duk = (size[i] * d[i][k] + size[j] * d[j][k]) / (size[i] + size[j]); break;
      case tree_method::WPGMA: duk = (d[i][k] + d[j][k]) / 2; break;
      }
      if (nj) sum[k] = (sum[k] - d[i][k] - d[j][k]) + duk, sum_u += duk;
      d[lo][k] = d[k][lo] = duk;
    }
    sum[lo] = sum_u;
    size[lo] = size[i] + size[j];
    height[lo] = dij / 2;
    node[lo] = u;
    rank[lo] = n + joins++;
    slots.erase(std::find(slots.begin(), slots.end(), hi));
    tree.root = u;
  }
  if (nj && n == 2) {
    const std::size_t u = tree.add_node();
    attach(u, slots[0], d[slots[0]][slots[1]] / 2);
    attach(u, slots[1], d[slots[0]][slots[1]] / 2);
    tree.root = u;
  } else if (nj) {
    const std::size_t x = slots[0], y = slots[1], z = slots[2], u = tree.add_node();
    attach(u, x, (d[x][y] + d[x][z] - d[y][z]) / 2);
    attach(u, y, (d[x][y] + d[y][z] - d[x][z]) / 2);
    attach(u, z, (d[x][z] + d[y][z] - d[x][y]) / 2);
    tree.root = u;
  }
  order_children(tree);
  tree.rooted = !nj;
  return tree;
}

std::string newick(const tree_type &tree) {
  output_sink sink = output_sink::to_string();
  print::write_newick(tree, sink);
  return sink.take_text();
}

using test::matrix_of;

constexpr auto zero = [](std::size_t, std::size_t) { return 0.0f; };

// A symmetric matrix of small whole numbers (many ties), with some taxa duplicated (their
// rows equal and their distance zero).
dist_mat_type tie_rich(std::size_t n, int top, unsigned seed, bool duplicates) {
  std::mt19937 rng(seed);
  dist_mat_type m = matrix_of(n, zero);
  std::vector<std::size_t> copy_of(n);
  for (std::size_t i = 0; i < n; ++i) {
    copy_of[i] = duplicates && i > 0 && rng() % 4 == 0 ? copy_of[rng() % i] : i;
    for (std::size_t j = 0; j < i; ++j) { // a copy's cells are its original's, read before
      const std::size_t a = copy_of[i], b = copy_of[j];
      const float x = a == b             ? 0.0f
                      : a == i && b == j ? static_cast<float>(1 + rng() % static_cast<unsigned>(top))
                                         : m.distances(std::max(a, b), std::min(a, b));
      m.distances(i, j) = m.distances(j, i) = x;
    }
  }
  return m;
}

tree_type built(const dist_mat_type &m, tree_method method, unsigned threads) {
  dist_mat_type copy = m;
  return build_tree(std::move(copy), {method, threads, 0}); // threads from the first join
}
tree_type built_wide(const dist_mat_type &m, tree_method method, unsigned threads) {
  dist_mat_type copy = m;
  return detail::build_tree_with_wide_lists(std::move(copy), {method, threads, 0});
}

constexpr tree_method all_methods[] = {tree_method::NJ, tree_method::BIONJ, tree_method::UPGMA, tree_method::WPGMA};

TEST(TreeBuild, SameAsReferenceWithTies) {
  for (const tree_method method : all_methods)
    for (std::size_t n : {3u, 4u, 5u, 7u, 12u, 30u, 70u})
      for (unsigned seed = 0; seed < 6; ++seed)
        for (const bool duplicates : {false, true}) {
          const dist_mat_type m = tie_rich(n, seed % 2 ? 3 : 9, seed * 7 + static_cast<unsigned>(n), duplicates);
          const std::string want = newick(reference_tree(m, method));
          EXPECT_EQ(newick(built(m, method, 1)), want)
              << "method " << static_cast<int>(method) << " n " << n << " seed " << seed;
          EXPECT_EQ(newick(built(m, method, 2)), want);
          EXPECT_EQ(newick(built_wide(m, method, 2)), want);
        }
}

// Large matrices on several threads: ties and duplicates over several chunks of rows, every
// cell equal (every pair ties at every join), and random real distances without ties.
TEST(TreeBuild, SameAsReferenceOnLargeMatrices) {
  std::mt19937 rng(42);
  std::uniform_real_distribution<float> cell(0.01f, 1.0f);
  dist_mat_type random = matrix_of(600, zero);
  for (std::size_t i = 0; i < 600; ++i)
    for (std::size_t j = 0; j < i; ++j) random.distances(i, j) = random.distances(j, i) = cell(rng);
  const dist_mat_type ties = tie_rich(700, 4, 11, true),
                      equal = matrix_of(40, [](std::size_t i, std::size_t j) { return i == j ? 0.0f : 1.0f; });
  const dist_mat_type *const matrices[] = {&ties, &equal, &random};
  for (const tree_method method : all_methods)
    for (const dist_mat_type *m : matrices) {
      if (m == &ties && (method == tree_method::BIONJ || method == tree_method::WPGMA)) continue; // slow to refer
      const std::string want = newick(reference_tree(*m, method));
      for (unsigned threads : {1u, 2u, 5u})
        EXPECT_EQ(newick(built(*m, method, threads)), want) << m->n_tax() << " taxa, " << threads << " threads";
      EXPECT_EQ(newick(built_wide(*m, method, 2)), want);
    }
}

// The hook hears the joins in order, some 200 times, up to the last; what it throws leaves
// build_tree once the threads have stopped.
TEST(TreeBuild, ProgressIsHeardAndAThrowStops) {
  const dist_mat_type m = tie_rich(1000, 9, 5, false);
  for (const tree_method method : {tree_method::NJ, tree_method::UPGMA}) {
    const auto heard = test::expect_progress(
        [&](auto hook) {
          tree_build_options options{method, 2, 0};
          options.progress = hook;
          EXPECT_EQ(newick(build_tree(dist_mat_type(m), options)), newick(built(m, method, 1)));
        },
        method == tree_method::NJ ? 997 : 999);
    EXPECT_GE(heard.size(), 200u);
    EXPECT_LE(heard.size(), 252u);
  }
}

// build METHOD THREADS "LABEL...|ROW|ROW...": the Newick text of the tree of a matrix given
// row by row (cells as strtof reads them: nan, inf, -0), or of a refusal, its problem (by
// position in tree_input_problem), its taxa and its sentence.
std::string build(const std::vector<std::string> &a) {
  std::vector<std::string> parts;
  for (std::size_t p = 0, bar; p <= a[2].size(); p = bar + 1)
    parts.push_back(a[2].substr(p, (bar = std::min(a[2].find('|', p), a[2].size())) - p));
  std::istringstream labels(parts[0]);
  dist_mat_type m(parts.size() - 1);
  for (std::size_t i = 0; i < m.n_tax(); ++i) {
    labels >> m.labels[i];
    const char *cell = parts[i + 1].c_str();
    for (std::size_t j = 0; j < m.n_tax(); ++j) {
      char *end = nullptr;
      m.distances(i, j) = std::strtof(cell, &end);
      cell = end;
    }
  }
  const auto method = test::named<tree_method>(a[0], {"NJ", "BIONJ", "UPGMA", "WPGMA"});
  try {
    std::string text = newick(build_tree(std::move(m), {method, static_cast<unsigned>(std::stoul(a[1]))}));
    return text.substr(0, text.size() - 1);
  } catch (const tree_input_error &e) {
    return "!" + std::to_string(static_cast<int>(e.problem)) + " (" + std::to_string(e.i) + ", " + std::to_string(e.j) +
           ") " + e.what();
  }
}

TEST(TreeBuild, Cases) { test::run_cases("tree_build.cases", {{"build", build}}); }

// The replicates' sites are drawn by the library's own generator: the same numbers on every
// machine and standard library, within the sites, different for each replicate and seed.
TEST(Bootstrap, ColumnsAreTheSameEverywhere) {
  const std::vector<std::uint32_t> c = bootstrap_columns(1000, 1, 0);
  ASSERT_EQ(c.size(), 1000u);
  EXPECT_EQ(std::vector<std::uint32_t>(c.begin(), c.begin() + 6),
            (std::vector<std::uint32_t>{969, 1, 842, 606, 75, 965}));
  EXPECT_EQ(bootstrap_columns(1000, 2, 0)[0], 226u);
  EXPECT_NE(bootstrap_columns(1000, 1, 1), c);
  EXPECT_TRUE(std::all_of(c.begin(), c.end(), [](std::uint32_t s) { return s < 1000; }));
  EXPECT_EQ(bootstrap_columns(1, 5, 3), std::vector<std::uint32_t>{0});
}

// Every replicate's tree is handed over and progress counts the replicates one by one; no
// replicates is an error. (The command-line cases bootstrap* compare the supports whole, on one
// thread and on several.)
TEST(Bootstrap, HooksAndRefusal) {
  dna::packed_alignment aln;
  for (const char *seq : {"AAAAAAAA", "AAAAAAAC", "AAAAAACC", "AAAAACCC"}) aln.add(seq, seq);
  bootstrap_options options;
  options.dist.model = dna::model_type::P;
  dist_mat_type mat(aln.size());
  dna::dna_dist(aln, options.dist, mat);
  tree_type tree = build_tree(std::move(mat));
  options.replicates = 30;
  std::size_t taken = 0, reported = 0;
  options.take = [&](const tree_type &) { ++taken; };
  options.progress = [&](std::size_t done, std::size_t total) {
    EXPECT_EQ(done, ++reported);
    EXPECT_EQ(total, 30u);
  };
  bootstrap(tree, aln, options);
  EXPECT_EQ(taken, 30u);
  EXPECT_EQ(reported, 30u);
  options.replicates = 0;
  EXPECT_THROW(bootstrap(tree, aln, options), range_error);
}

// The tree's Newick text without lengths, and the heights of its internal nodes (the length
// from each to its first leaf), sorted.
std::string shape(tree_type tree, std::vector<double> &heights) {
  heights.clear();
  for (std::size_t v = 0; v < tree.size(); ++v)
    if (!tree[v].is_leaf()) {
      double h = 0;
      for (std::size_t c = tree[v].first_child; c != no_node; c = tree[c].first_child)
        h += tree[c].has_length() ? tree[c].length : 0;
      heights.push_back(h);
    }
  std::sort(heights.begin(), heights.end());
  for (tree_node &v : tree.nodes) v.length = std::nan("");
  output_sink sink = output_sink::to_string();
  print::write_newick(tree, sink);
  return sink.take_text();
}

// On matrices without ties (random cells, symmetric) the chain gives build_tree's tree, its
// heights within single precision.
TEST(TreeBuild, UpgmaChainIsUpgma) {
  std::mt19937_64 random(7);
  for (std::size_t n : {1, 2, 3, 4, 7, 30, 200}) {
    std::uniform_real_distribution<float> cell(0.5f, 1.5f);
    dist_mat_type m(n);
    for (std::size_t i = 0; i < n; ++i) {
      m.labels[i] = "t" + std::to_string(i);
      for (std::size_t j = 0; j < i; ++j) m.distances(i, j) = m.distances(j, i) = cell(random);
    }
    tree_build_options options;
    options.method = tree_method::UPGMA;
    const tree_type chain = build_upgma_chain(dist_mat_type(m)), plain = build_tree(dist_mat_type(m), options);
    std::vector<double> chain_heights, plain_heights;
    EXPECT_EQ(shape(chain, chain_heights), shape(plain, plain_heights)) << n;
    ASSERT_EQ(chain_heights.size(), plain_heights.size());
    for (std::size_t k = 0; k < chain_heights.size(); ++k) EXPECT_NEAR(chain_heights[k], plain_heights[k], 1e-6);
    EXPECT_EQ(chain.rooted, plain.rooted);
  }
  // Ties: every cell 1 still gives a tree of every taxon; a bad matrix is refused as build_tree refuses it.
  const tree_type ties = build_upgma_chain(matrix_of(6, [](std::size_t i, std::size_t j) { return float(i != j); }));
  EXPECT_EQ(std::count_if(ties.nodes.begin(), ties.nodes.end(), [](const tree_node &v) { return v.is_leaf(); }), 6);
  EXPECT_THROW(
      build_upgma_chain(matrix_of(3, [](std::size_t i, std::size_t j) { return float(i + 2 * j) * (i != j); })),
      tree_input_error);
}

} // namespace
} // namespace phylo
