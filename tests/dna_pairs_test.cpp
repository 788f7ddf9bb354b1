// Pairs streamed from alignments (dna_pairs): the cells of the matrix that dna_dist fills,
// within a bound, in parts, on any number of threads, by the dense and the sparse comparison.
#include "phylo/dna_dist.hpp"
#include "random_alignment.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace phylo::dna;
using namespace phylo::test;

// n sequences of a random root, a few far from it, most close (a site in 4 to 203 redrawn from
// `symbols`, gaps and ambiguity codes among them), so that distances spread and some pairs are
// close.
seqs_type alignment(std::size_t n, std::size_t sites, const std::string &residues, const std::string &symbols,
                    std::uint64_t seed) {
  return descendants(seed, n, sites, residues, symbols,
                     [](std::size_t, random_bits &r) { return 65536 / (4 + r.next() % 200); });
}

struct run_result {
  std::vector<std::vector<pair_distance>> parts; // the pairs of each part, in the order handed on
  std::uint64_t undefined = 0;
};

run_result pairs_of(const packed_alignment &aln, const dist_options &options, pairs_options pairs) {
  run_result result;
  for (pairs.part = 0; pairs.part < pairs.parts; ++pairs.part) {
    auto &part = result.parts.emplace_back();
    result.undefined += dna_pairs(aln, options, pairs, [&](std::span<const pair_distance> batch) {
      EXPECT_FALSE(batch.empty());
      part.insert(part.end(), batch.begin(), batch.end());
    });
  }
  return result;
}

// Every pair whose cell lies within the bound, once, with the cell's value; the parts hold
// runs of the pairs in the order of the rows, one after the other.
void expect_cells(const run_result &got, const phylo::dist_mat_type &dist, std::optional<double> bound,
                  const std::string &what) {
  const std::size_t n = dist.n_tax();
  const float limit = bound ? static_cast<float>(*bound) : std::numeric_limits<float>::infinity();
  std::vector<pair_distance> all;
  for (const auto &part : got.parts) all.insert(all.end(), part.begin(), part.end());
  auto before = [](const pair_distance &a, const pair_distance &b) { return a.i != b.i ? a.i < b.i : a.j < b.j; };
  ASSERT_TRUE(std::is_sorted(all.begin(), all.end(), before)) << what;
  std::size_t k = 0;
  for (std::uint32_t i = 1; i < n; ++i)
    for (std::uint32_t j = 0; j < i; ++j) {
      const float cell = dist.distances(i, j);
      if (!(cell <= limit)) continue;
      ASSERT_LT(k, all.size()) << what << ": pair " << i << " " << j << " missing";
      ASSERT_EQ(all[k], (pair_distance{i, j, cell})) << what << ": at " << k << " value " << all[k].value;
      ++k;
    }
  EXPECT_EQ(k, all.size()) << what;
}

struct model_case {
  alphabet residues;
  site_rule rule;
  model_type model;
};

// Every model and site rule, every engine that applies, on 1 and 3 threads, in 1, 2 and 7
// parts, with no bound, with one that keeps some pairs, and with one that keeps none; the
// nucleotides long enough that a pair is given up part way once it is beyond the bound.
TEST(DnaPairs, TheCellsOfTheMatrix) {
  const seqs_type dna = alignment(60, 2200, "ACGT", "ACGTACGTacgt-N?RYK", 3);
  const seqs_type protein = alignment(40, 150, "ARNDCQEGHILKMFPSTWYV", "ARNDCQEGHILKMFPSTWYVX-B*", 4);
  std::vector<model_case> cases;
  for (site_rule rule : {site_rule::PAIRWISE, site_rule::COMPLETE})
    for (model_type m : {model_type::P, model_type::COUNT, model_type::JC69, model_type::K80, model_type::K81,
                         model_type::F81, model_type::F84, model_type::T92, model_type::TN93, model_type::LOGDET})
      cases.push_back({alphabet::DNA, rule, m});
  for (model_type m : {model_type::P, model_type::COUNT})
    cases.push_back({alphabet::DNA, site_rule::ALL, m}), cases.push_back({alphabet::PROTEIN, site_rule::ALL, m});
  for (model_type m : {model_type::P, model_type::COUNT, model_type::POISSON, model_type::KIMURA, model_type::JTT})
    cases.push_back({alphabet::PROTEIN, site_rule::PAIRWISE, m});
  cases.push_back({alphabet::PROTEIN, site_rule::COMPLETE, model_type::P});

  for (const model_case &c : cases) {
    const packed_alignment aln = pack(c.rule, c.residues == alphabet::DNA ? dna : protein, c.residues);
    dist_options options;
    options.model = c.model;
    options.undefined_value = 7.0f;
    phylo::dist_mat_type dist(aln.size());
    const std::uint64_t undefined = dna_dist(aln, options, dist);
    // A bound that keeps about a quarter of the pairs.
    std::vector<float> cells;
    for (std::size_t i = 1; i < aln.size(); ++i)
      for (std::size_t j = 0; j < i; ++j) cells.push_back(dist.distances(i, j));
    std::nth_element(cells.begin(), cells.begin() + cells.size() / 4, cells.end());
    const bool p_or_count = c.model == model_type::P || c.model == model_type::COUNT;
    std::vector<pair_engine> engines{pair_engine::DENSE, pair_engine::AUTO};
    if (p_or_count) engines.push_back(pair_engine::SPARSE);
    const bool slow = c.model == model_type::JTT;
    for (pair_engine engine : engines)
      for (std::optional<double> bound :
           {std::optional<double>{}, std::optional<double>{cells[cells.size() / 4]}, std::optional<double>{-0.0}})
        for (unsigned threads : {1u, 3u})
          for (std::uint64_t parts : {1u, 2u, 7u}) {
            if (slow && (threads == 3 || parts == 2)) continue;
            options.threads = threads;
            pairs_options pairs;
            pairs.max_distance = bound;
            pairs.parts = parts;
            pairs.engine = engine;
            const std::string what = "model " + std::to_string(static_cast<int>(c.model)) + " rule " +
                                     std::to_string(static_cast<int>(c.rule)) + " alphabet " +
                                     std::to_string(static_cast<int>(c.residues)) + " engine " +
                                     std::to_string(static_cast<int>(engine)) + " bound " +
                                     (bound ? std::to_string(*bound) : "none") + " threads " + std::to_string(threads) +
                                     " parts " + std::to_string(parts);
            const run_result got = pairs_of(aln, options, pairs);
            expect_cells(got, dist, bound, what);
            if (!bound) {
              EXPECT_EQ(got.undefined, undefined) << what;
            }
          }
  }
}

// The parts: runs of the ranks of as equal sizes as may be, in order, covering every pair.
TEST(DnaPairs, PartsAreBalancedRuns) {
  for (std::size_t n : {0u, 1u, 2u, 5u, 1000u})
    for (std::uint64_t parts : {1u, 3u, 8u, 20u}) {
      const std::uint64_t total = n < 2 ? 0 : n * (n - 1) / 2;
      std::uint64_t next = 0, least = total, most = 0;
      for (std::uint64_t k = 0; k < parts; ++k) {
        const auto [lo, hi] = part_ranks(n, k, parts);
        EXPECT_EQ(lo, next);
        next = hi;
        least = std::min(least, hi - lo), most = std::max(most, hi - lo);
      }
      EXPECT_EQ(next, total);
      EXPECT_LE(most - least, 1u) << n << " " << parts;
    }
  EXPECT_THROW(part_ranks(5, 3, 3), phylo::range_error);
  EXPECT_THROW(part_ranks(5, 0, 0), phylo::range_error);
}

TEST(DnaPairs, Errors) {
  const packed_alignment aln = pack(site_rule::PAIRWISE, {{"a", "ACGT"}, {"b", "AC--"}, {"c", "TGCA"}}, alphabet::DNA);
  int handed = 0;
  auto sink = [&](std::span<const pair_distance> batch) { handed += static_cast<int>(batch.size()); };
  dist_options options;
  pairs_options pairs;
  for (double bad : {-1.0, std::nan("")}) {
    pairs.max_distance = bad;
    EXPECT_THROW(dna_pairs(aln, options, pairs, sink), phylo::range_error);
  }
  pairs = {};
  pairs.part = 2;
  pairs.parts = 2;
  EXPECT_THROW(dna_pairs(aln, options, pairs, sink), phylo::range_error);
  pairs = {};
  pairs.engine = pair_engine::SPARSE;
  options.model = model_type::JC69;
  EXPECT_THROW(dna_pairs(aln, options, pairs, sink), phylo::formula_error);
  options.model = model_type::F84;
  options.gamma = -1;
  pairs = {};
  EXPECT_THROW(dna_pairs(aln, options, pairs, sink), phylo::range_error);
  EXPECT_EQ(handed, 0);
  // An undefined pair without a value: counted as dna_dist counts them, at the end.
  options = {};
  options.model = model_type::JC69;
  try {
    dna_pairs(aln, options, pairs, sink);
    ADD_FAILURE() << "no error";
  } catch (const undefined_distance_error &e) {
    EXPECT_EQ(e.count, 2u); // (b, a) differs nowhere it compares; (c, a) and (c, b) are saturated
    ASSERT_EQ(e.first.size(), 2u);
    EXPECT_EQ(e.first[0].i, 2u);
    EXPECT_EQ(e.first[0].j, 0u);
  }
}

// A sink that throws stops the work and the exception comes out; progress counts the pairs of
// the part and ends with all of them.
TEST(DnaPairs, SinkThrowsAndProgressCounts) {
  const packed_alignment aln = pack(site_rule::PAIRWISE, alignment(300, 64, "ACGT", "ACGT", 9), alphabet::DNA);
  for (unsigned threads : {1u, 3u}) {
    dist_options options;
    options.threads = threads;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> heard;
    options.progress = [&](std::uint64_t done, std::uint64_t all) { heard.emplace_back(done, all); };
    pairs_options pairs;
    pairs.part = 1;
    pairs.parts = 3;
    const auto [lo, hi] = part_ranks(300, 1, 3);
    std::uint64_t handed = 0;
    dna_pairs(aln, options, pairs, [&](std::span<const pair_distance> batch) { handed += batch.size(); });
    EXPECT_EQ(handed, hi - lo);
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.back(), std::make_pair(hi - lo, hi - lo));
    struct stopped {};
    int calls = 0;
    EXPECT_THROW(dna_pairs(aln, options, pairs,
                           [&](std::span<const pair_distance>) {
                             ++calls;
                             throw stopped{};
                           }),
                 stopped);
    EXPECT_EQ(calls, 1);
  }
}

// AUTO compares the sites that differ from the reference where few do, and every site where
// many do.
TEST(DnaPairs, AutoPicksTheSparseComparisonForLowDiversity) {
  random_bits r{11};
  std::string root(3000, 'A');
  for (char &c : root) c = "ACGT"[r.next() % 4];
  seqs_type close, far;
  for (int i = 0; i < 200; ++i) {
    std::string a = root, b = root;
    for (int k = 0; k < 5; ++k) a[r.next() % a.size()] = "ACGTN-"[r.next() % 6];
    for (char &c : b) c = "ACGT"[r.next() % 4];
    close.emplace_back("c" + std::to_string(i), a);
    far.emplace_back("f" + std::to_string(i), b);
  }
  dist_options options;
  options.model = model_type::COUNT;
  pairs_options pairs;
  pairs.max_distance = 4;
  EXPECT_EQ(chosen_engine(pack(site_rule::PAIRWISE, close, alphabet::DNA), options, pairs), pair_engine::SPARSE);
  EXPECT_EQ(chosen_engine(pack(site_rule::PAIRWISE, far, alphabet::DNA), options, pairs), pair_engine::DENSE);
  options.model = model_type::JC69;
  EXPECT_EQ(chosen_engine(pack(site_rule::PAIRWISE, close, alphabet::DNA), options, pairs), pair_engine::DENSE);
  options.model = model_type::COUNT;
  pairs.max_distance.reset();
  EXPECT_EQ(chosen_engine(pack(site_rule::PAIRWISE, close, alphabet::DNA), options, pairs), pair_engine::DENSE);
}

} // namespace
