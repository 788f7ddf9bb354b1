// Distances from nucleotide alignments: the comparison kernels of every instruction set
// against a site-by-site count, every model and site rule against ape's dist.dna, undefined
// pairs, packing, and results that do not depend on the number of threads.
#include "phylo/dna_dist.hpp"

#include "dna_kernel.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace phylo::dna;
using seqs_type = std::vector<std::pair<std::string, std::string>>;

packed_alignment pack(site_rule rule, const seqs_type &seqs) {
  packed_alignment aln = make_packed(rule);
  for (const auto &[label, residues] : seqs) add_sequence(aln, label, residues);
  return aln;
}

phylo::dist_mat_type distances(const packed_alignment &aln, model_type model, unsigned threads = 0,
                               std::optional<float> undefined = std::nullopt) {
  phylo::dist_mat_type d(aln.size());
  dna_dist(aln, {model, threads, undefined, {}}, d);
  return d;
}

struct random_bits { // the same numbers on every machine
  std::uint64_t state;
  std::uint64_t next() {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return state ^ (state >> 29);
  }
};

// Every kernel set that this processor runs counts as a site-by-site loop does, over random
// planes of a few lengths.
TEST(DnaKernel, EverySetCountsAsSiteBySite) {
  using phylo::dna::detail::count_kind;
  random_bits r{7};
  for (std::size_t words : {16u, 48u}) {
    std::vector<std::uint64_t> x(5 * words), y(5 * words), kx(words), ky(words);
    for (auto *v : {&x, &y, &kx, &ky})
      for (auto &w : *v) w = r.next() & r.next() & r.next(); // sparse, so that counts differ
    auto bit = [&](const std::vector<std::uint64_t> &v, std::size_t plane, std::size_t s) {
      return (v[plane * words + s / 64] >> (s % 64)) & 1;
    };
    std::uint64_t expected[6][16] = {};
    for (std::size_t s = 0; s < 64 * words; ++s) {
      bool differ3 = false, differ5 = false;
      for (std::size_t p = 0; p < 5; ++p) (p < 3 ? differ3 : differ5) |= bit(x, p, s) != bit(y, p, s);
      expected[0][0] += differ3;
      expected[1][0] += differ3 || differ5;
      const bool k = bit(kx, 0, s) && bit(ky, 0, s);
      const bool hx = bit(x, 0, s), hy = bit(y, 0, s), lx = bit(x, 1, s), ly = bit(y, 1, s);
      const bool d = k && (hx != hy || lx != ly);
      const std::uint64_t diff[] = {k, d, d && hx == hy};
      for (int c = 0; c < 2; ++c) expected[2][c] += diff[c];
      for (int c = 0; c < 3; ++c) expected[3][c] += diff[c];
      const std::uint64_t tn[] = {k, d, d && !hx && !hy, d && hx && hy};
      for (int c = 0; c < 4; ++c) expected[4][c] += tn[c];
      const bool xs[] = {true, hx, lx, hx && lx}, ys[] = {true, hy, ly, hy && ly};
      for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 4; ++b) expected[5][4 * a + b] += k && xs[a] && ys[b];
    }
    for (const auto *set : phylo::dna::detail::usable_kernels()) {
      for (int kind = 0; kind < 6; ++kind) {
        std::uint64_t counts[16] = {};
        set->kernels[kind](x.data(), y.data(), kx.data(), ky.data(), words, counts);
        const std::size_t width = phylo::dna::detail::count_width(static_cast<count_kind>(kind));
        for (std::size_t c = 0; c < width; ++c)
          EXPECT_EQ(counts[c], expected[kind][c]) << set->name << " kind " << kind << " count " << c << " words " << words;
      }
    }
  }
}

// Four sequences with transitions, transversions, a gap, N, R and lower case; the values are
// those of ape 5.7's dist.dna for its pairs (2,1) (3,1) (4,1) (3,2) (4,2) (4,3).
TEST(DnaDist, EveryModelAndRuleGivesApesValues) {
  const seqs_type small = {{"s1", "ACGTACGTACGTACGTACGTAACCGGTT"},
                           {"s2", "ACGTACGTACGTACGTACGAAACCGGTA"},
                           {"s3", "GCGTATGTACGTAC-TNCGTAGCCGATT"},
                           {"s4", "acgtRcgtacgtacgtacgtaaccggtc"}};
  const site_rule pw = site_rule::PAIRWISE, cd = site_rule::COMPLETE;
  struct {
    model_type model;
    site_rule rule;
    double ape[6];
  } cases[] = {
      {model_type::P, pw, {0.07142857143, 0.1538461538, 0.03703703704, 0.2307692308, 0.07407407407, 0.2}},
      {model_type::P, cd, {0.08, 0.16, 0.04, 0.24, 0.08, 0.2}},
      {model_type::COUNT, pw, {2, 4, 1, 6, 2, 5}},
      {model_type::COUNT, cd, {2, 4, 1, 6, 2, 5}},
      {model_type::JC69, pw, {0.07506259392, 0.1721808312, 0.03798279961, 0.2757935851, 0.07799228514, 0.2326161962}},
      {model_type::JC69, cd, {0.08459662061, 0.1799630022, 0.04110617737, 0.2892468606, 0.08459662061, 0.2326161962}},
      {model_type::K80, pw, {0.07559165603, 0.1838623901, 0.03848052057, 0.2845174291, 0.07856618309, 0.2554128119}},
      {model_type::K80, cd, {0.08527915126, 0.1928312404, 0.04169080447, 0.2990011587, 0.08527915126, 0.2554128119}},
      {model_type::F81, pw, {0.07506379322, 0.172187428, 0.03798310161, 0.2758113498, 0.0779935816, 0.2326285799}},
      {model_type::F81, cd, {0.0845981505, 0.1799702347, 0.04110653157, 0.2892665256, 0.0845981505, 0.2326285799}},
      {model_type::TN93, pw, {0.07559330019, 0.1960434952, 0.04012182282, 0.2998836947, 0.07856796245, 0.2595373299}},
      {model_type::TN93, cd, {0.0852812564, 0.2065262678, 0.04363131329, 0.316556488, 0.0852812564, 0.2595373299}},
      {model_type::LOGDET, pw, {0.08411805916, 0.2147918329, 0.04070769574, 0.298909892, 0.08628808494, 0.2954643898}},
      {model_type::LOGDET, cd, {0.09344510296, 0.2569267198, 0.04786471376, 0.341044779, 0.09344510296, 0.2954643898}},
  };
  const std::pair<int, int> pairs[] = {{1, 0}, {2, 0}, {3, 0}, {2, 1}, {3, 1}, {3, 2}};
  for (const auto &c : cases) {
    const phylo::dist_mat_type d = distances(pack(c.rule, small), c.model);
    for (int k = 0; k < 6; ++k) {
      const auto [i, j] = pairs[k];
      EXPECT_NEAR(d.distances(i, j), c.ape[k], 1e-6 * c.ape[k]) << static_cast<int>(c.model) << " pair " << k;
      EXPECT_EQ(d.distances(i, j), d.distances(j, i));
    }
    EXPECT_EQ(d.distances(2, 2), 0.0f);
    EXPECT_EQ(d.labels[3], "s4");
  }
}

// Every symbol counts under ALL once case is folded: '.' is '-', n is N, but ? is not N; the
// codes past 8 take the five-plane comparison.
TEST(DnaDist, AllSitesCompareSymbolsWithCaseFolded) {
  struct {
    std::string a, b;
    float p;
  } cases[] = {
      {"ACGTACGT", "acgtacgt", 0.0f},
      {"A.nN?", "a-NN-", 0.2f},
      {"ADBV", "AdbH", 0.25f},
      {"RYMKSWHBVD", "YMKSWHBVDR", 1.0f},
  };
  for (const auto &c : cases) {
    const packed_alignment aln = pack(site_rule::ALL, {{"a", c.a}, {"b", c.b}});
    EXPECT_EQ(distances(aln, model_type::P).distances(1, 0), c.p) << c.a << " " << c.b;
    EXPECT_EQ(distances(aln, model_type::COUNT).distances(1, 0), c.p * static_cast<float>(c.a.size())) << c.a;
  }
  EXPECT_THROW(distances(pack(site_rule::ALL, {{"a", "AC"}, {"b", "AG"}}), model_type::K80), phylo::formula_error);
}

// Undefined pairs (ape gives NaN or Inf for each): the error counts them and names the first
// in row order, or the given value takes their place; COUNT is never undefined.
TEST(DnaDist, UndefinedPairsAreNamedOrFilled) {
  using r = undefined_reason;
  struct {
    seqs_type seqs;
    site_rule rule;
    model_type model;
    std::uint64_t count;
    std::vector<undefined_pair> first;
  } cases[] = {
      {{{"a", "ACGT"}, {"b", "TGCA"}, {"c", "--N?"}}, site_rule::PAIRWISE, model_type::JC69, 3,
       {{1, 0, r::SATURATED, 4, 4}, {2, 0, r::NO_SITES, 0, 0}, {2, 1, r::NO_SITES, 0, 0}}},
      {{{"a", "ACGT"}, {"b", "TGCA"}, {"c", "--N?"}}, site_rule::PAIRWISE, model_type::P, 2,
       {{2, 0, r::NO_SITES, 0, 0}, {2, 1, r::NO_SITES, 0, 0}}},
      {{{"a", "ACGT"}, {"b", "TGCA"}, {"c", "--N?"}}, site_rule::PAIRWISE, model_type::COUNT, 0, {}},
      {{{"a", "ACGT"}, {"b", "AC-T"}, {"c", "A?GT"}}, site_rule::COMPLETE, model_type::K80, 0, {}},
      {{{"a", "AAAA"}, {"b", "aaaa"}}, site_rule::PAIRWISE, model_type::F81, 1, {{1, 0, r::BASE_FREQUENCIES, 4, 0}}},
      {{{"a", "ACTA"}, {"b", "ACTT"}}, site_rule::PAIRWISE, model_type::TN93, 1, {{1, 0, r::BASE_FREQUENCIES, 4, 1}}},
      {{{"a", "ACTA"}, {"b", "ACTA"}}, site_rule::PAIRWISE, model_type::LOGDET, 1, {{1, 0, r::SINGULAR, 4, 0}}},
      {{{"a", "ACGTACGT"}, {"b", "CATGCATG"}}, site_rule::PAIRWISE, model_type::TN93, 1, {{1, 0, r::SATURATED, 8, 8}}},
  };
  for (const auto &c : cases) {
    const packed_alignment aln = pack(c.rule, c.seqs);
    phylo::dist_mat_type d(aln.size());
    try {
      dna_dist(aln, {c.model, 2, std::nullopt, {}}, d);
      EXPECT_EQ(c.count, 0u) << c.seqs[1].second;
    } catch (const undefined_distance_error &e) {
      EXPECT_EQ(e.count, c.count) << c.seqs[1].second;
      EXPECT_EQ(e.first, c.first) << c.seqs[1].second;
    }
    EXPECT_EQ(dna_dist(aln, {c.model, 2, 7.5f, {}}, d), c.count);
    for (const auto &p : c.first) EXPECT_EQ(d.distances(p.i, p.j), 7.5f);
  }
  const packed_alignment aln = pack(site_rule::PAIRWISE, {{"a", "AC"}, {"b", "AC"}});
  phylo::dist_mat_type d(2);
  for (float bad : {-1.0f, INFINITY, NAN}) EXPECT_THROW(dna_dist(aln, {model_type::P, 1, bad, {}}, d), phylo::range_error);
}

// Residues that are no nucleotide code, sequences of another length or none: refused, and the
// alignment stays as it was.
TEST(DnaDist, PackingRefusesWhatIsNoAlignment) {
  packed_alignment aln = make_packed(site_rule::PAIRWISE);
  add_sequence(aln, "a", "ACGTRN-.?acgt");
  EXPECT_EQ(aln.base_counts[0], (std::array<std::uint64_t, 4>{2, 2, 2, 2}));
  try {
    add_sequence(aln, "b", "ACGUACGTACGTA");
    FAIL();
  } catch (const phylo::invalid_character_error &e) {
    EXPECT_STREQ(e.what(), "residue 4 of sequence 'b', 'U', is not a nucleotide code");
  }
  EXPECT_THROW(add_sequence(aln, "c", "ACGT"), phylo::range_error);
  EXPECT_THROW(add_sequence(aln, "d", ""), phylo::range_error);
  EXPECT_EQ(aln.size(), 1u);
  add_sequence(aln, "e", "ACGTACGTAACGT");
  EXPECT_EQ(distances(aln, model_type::COUNT).distances(1, 0), 0.0f);
}

// A random alignment of 150 sequences: p and COUNT match a site-by-site count, progress ends
// with every pair done, every model gives the same bits on 1, 2 and 5 threads, and the matrix
// is symmetric with a zero diagonal.
TEST(DnaDist, ThreadsChangeNothing) {
  random_bits r{17};
  const char symbols[] = "ACGTACGTACGTACGTacgt-N?R";
  seqs_type seqs;
  std::string root(701, 'A');
  for (char &c : root) c = "ACGT"[r.next() % 4];
  for (int i = 0; i < 150; ++i) {
    std::string s = root;
    for (char &c : s)
      if (r.next() % 8 == 0) c = symbols[r.next() % (sizeof symbols - 1)];
    seqs.emplace_back("t" + std::to_string(i), s);
  }
  auto base = [](char c) { return std::string_view("ACGTacgt").find(c) != std::string_view::npos; };
  const packed_alignment pairwise = pack(site_rule::PAIRWISE, seqs);
  const phylo::dist_mat_type p = distances(pairwise, model_type::P), n = distances(pairwise, model_type::COUNT);
  for (std::size_t i = 0; i < seqs.size(); i += 7) {
    for (std::size_t j = 0; j < i; j += 3) {
      int sites = 0, differ = 0;
      for (std::size_t s = 0; s < root.size(); ++s) {
        const char a = seqs[i].second[s], b = seqs[j].second[s];
        if (!base(a) || !base(b)) continue;
        ++sites;
        differ += (a | 0x20) != (b | 0x20);
      }
      EXPECT_EQ(p.distances(i, j), static_cast<float>(static_cast<double>(differ) / sites)) << i << " " << j;
      EXPECT_EQ(n.distances(i, j), static_cast<float>(differ)) << i << " " << j;
    }
  }
  std::uint64_t done = 0, total = 0; // the last report of progress: every pair done
  phylo::dist_mat_type d(150);
  dna_dist(pairwise, {model_type::P, 1, std::nullopt, [&](std::uint64_t a, std::uint64_t b) { done = a, total = b; }}, d);
  EXPECT_EQ(done, 150u * 149 / 2);
  EXPECT_EQ(total, 150u * 149 / 2);
  for (site_rule rule : {site_rule::PAIRWISE, site_rule::COMPLETE}) {
    const packed_alignment aln = pack(rule, seqs);
    for (model_type model : {model_type::P, model_type::K80, model_type::TN93, model_type::LOGDET}) {
      const phylo::dist_mat_type one = distances(aln, model, 1, 9.0f);
      for (unsigned threads : {2u, 5u}) {
        const phylo::dist_mat_type more = distances(aln, model, threads, 9.0f);
        EXPECT_EQ(std::memcmp(one.distances.data(), more.distances.data(), 150 * 150 * sizeof(float)), 0);
      }
      for (std::size_t i = 0; i < 150; ++i) {
        EXPECT_EQ(one.distances(i, i), 0.0f);
        for (std::size_t j = 0; j < i; ++j) ASSERT_EQ(one.distances(i, j), one.distances(j, i));
      }
    }
  }
}

} // namespace
