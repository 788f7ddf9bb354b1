// Distances from nucleotide alignments: the comparison kernels of every instruction set
// against a site-by-site count, results that do not depend on the number of threads, and the
// cases of tests/data/lib/dna_dist.cases (every model and site rule, undefined pairs, packing).
#include "case_table.hpp"
#include "phylo/dna_dist.hpp"
#include "random_alignment.hpp"
#include "test_io.hpp"

#include "dna_dist_ml.hpp"
#include "dna_kernel.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using namespace phylo::dna;
using namespace phylo::test;

dist_options with(model_type model, unsigned threads, std::optional<float> undefined = std::nullopt) {
  dist_options o;
  o.model = model;
  o.threads = threads;
  o.undefined_value = undefined;
  return o;
}

phylo::dist_mat_type distances(const packed_alignment &aln, model_type model, unsigned threads = 0,
                               std::optional<float> undefined = std::nullopt,
                               std::optional<double> gamma = std::nullopt) {
  phylo::dist_mat_type d(aln.size());
  dist_options options = with(model, threads, undefined);
  options.gamma = gamma;
  dna_dist(aln, options, d);
  return d;
}

// Every kernel set that this processor runs counts as a site-by-site loop does, over random
// planes of a few lengths. The test says which sets it ran and which the build holds but this
// processor cannot run (they are then tested on none).
TEST(DnaKernel, EverySetCountsAsSiteBySite) {
  using phylo::dna::detail::count_kind;
  {
    const auto usable = phylo::dna::detail::usable_kernels();
    std::string run, skipped;
    for (const auto *set : phylo::dna::detail::compiled_kernels())
      (std::find(usable.begin(), usable.end(), set) != usable.end() ? run : skipped) += std::string(" ") + set->name;
    std::cout << "kernel sets run:" << run
              << "; compiled but not run on this processor:" << (skipped.empty() ? " none" : skipped) << "\n";
    RecordProperty("kernels_run", run);
    RecordProperty("kernels_not_run", skipped);
    EXPECT_EQ(usable.front(), &phylo::dna::detail::generic_kernels()); // every processor runs it
  }
  random_bits r{7};
  for (std::size_t words : {16u, 48u}) {
    std::vector<std::uint64_t> x(5 * words), y(5 * words), kx(words), ky(words);
    for (auto *v : {&x, &y, &kx, &ky})
      for (auto &w : *v) w = r.next() & r.next() & r.next(); // sparse, so that counts differ
    auto bit = [&](const std::vector<std::uint64_t> &v, std::size_t plane, std::size_t s) {
      return (v[plane * words + s / 64] >> (s % 64)) & 1;
    };
    std::uint64_t expected[8][16] = {};
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
      const std::uint64_t k81[] = {k, d, d && hx == hy, d && hx != hy && lx == ly};
      for (int c = 0; c < 4; ++c) expected[6][c] += k81[c];
      expected[7][0] += k;
      expected[7][1] += k && (differ3 || differ5);
    }
    // Several rows at once: x among three others, each counted as a pair kernel counts it.
    using phylo::dna::detail::max_counts;
    constexpr std::size_t rows = phylo::dna::detail::rows_at_once;
    std::vector<std::vector<std::uint64_t>> others(2 * rows, std::vector<std::uint64_t>(5 * words));
    for (auto &v : others)
      for (auto &w : v) w = r.next() & r.next();
    const std::uint64_t *xs[rows], *kxs[rows];
    for (std::size_t k = 0; k < rows; ++k) {
      xs[k] = k == 1 ? x.data() : others[k].data();
      kxs[k] = k == 1 ? kx.data() : others[rows + k].data();
    }
    for (const auto *set : phylo::dna::detail::usable_kernels()) {
      for (int kind = 0; kind < phylo::dna::detail::count_kinds; ++kind) {
        std::uint64_t counts[16] = {};
        set->kernels[kind](x.data(), y.data(), kx.data(), ky.data(), words, counts);
        const std::size_t width = phylo::dna::detail::count_width(static_cast<count_kind>(kind));
        for (std::size_t c = 0; c < width; ++c)
          EXPECT_EQ(counts[c], expected[kind][c])
              << set->name << " kind " << kind << " count " << c << " words " << words;
        std::uint64_t by_rows[rows * max_counts] = {};
        set->rows[kind](xs, kxs, y.data(), ky.data(), words, by_rows);
        for (std::size_t k = 0; k < rows; ++k) {
          set->kernels[kind](xs[k], y.data(), kxs[k], ky.data(), words, counts);
          for (std::size_t c = 0; c < width; ++c)
            EXPECT_EQ(by_rows[k * max_counts + c], counts[c]) << set->name << " kind " << kind << " row " << k;
        }
      }
    }
  }
}

// dna MODEL RULE UNDEFINED SEQUENCE...: the lower triangle of the distances (%.7g) of the
// sequences a, b, c, ... (MODEL and RULE by position in model_type and site_rule; UNDEFINED a
// value for undefined pairs, or - to refuse them: then their count and the first ones, as
// (i,j) reason sites differing).
std::string dna(const std::vector<std::string> &a) {
  dist_options options = with(static_cast<model_type>(std::stoi(a[0])), 2);
  if (a[2] != "-") options.undefined_value = std::stof(a[2]);
  alphabet residues = alphabet::DNA;
  seqs_type seqs;
  for (std::size_t k = 3; k < a.size(); ++k) {
    const std::string &arg = a[k];
    if (arg.starts_with("gamma=")) options.gamma = std::stod(arg.substr(6));
    else if (arg.starts_with("categories="))
      options.gamma_categories = static_cast<unsigned>(std::stoul(arg.substr(11)));
    else if (arg.starts_with("ratio=")) options.ts_tv = std::stod(arg.substr(6));
    else if (arg == "alphabet=protein") residues = alphabet::PROTEIN;
    else seqs.emplace_back(std::string(1, static_cast<char>('a' + seqs.size())), arg);
  }
  const packed_alignment aln = pack(static_cast<site_rule>(std::stoi(a[1])), seqs, residues);
  phylo::dist_mat_type d(aln.size());
  std::string out;
  try {
    const std::uint64_t filled = dna_dist(aln, options, d);
    if (filled) out = std::to_string(filled) + " filled\n";
  } catch (const undefined_distance_error &e) {
    out = "!undefined " + std::to_string(e.count);
    for (const undefined_pair &p : e.first)
      out += " (" + std::to_string(p.i + 1) + "," + std::to_string(p.j + 1) + ") " +
             std::to_string(static_cast<int>(p.reason)) + " " + std::to_string(p.sites) + " " +
             std::to_string(p.differing);
    return out;
  }
  for (std::size_t i = 1; i < d.n_tax(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      char cell[32];
      std::snprintf(cell, sizeof cell, " %.7g", static_cast<double>(d.distances(i, j)));
      out += cell;
      if (d.distances(i, j) != d.distances(j, i)) out += "(not mirrored)";
    }
    out += "\n";
  }
  return out;
}

// pack RULE SEQUENCE...: the sequences packed one by one; a refusal leaves the alignment as it was.
std::string packed(const std::vector<std::string> &a) {
  const bool protein = a.size() > 1 && a[1] == "alphabet=protein";
  packed_alignment aln(static_cast<site_rule>(std::stoi(a[0])), protein ? alphabet::PROTEIN : alphabet::DNA);
  std::string out;
  for (std::size_t k = protein ? 2 : 1; k < a.size(); ++k) {
    try {
      aln.add(std::string(1, static_cast<char>('a' + k - (protein ? 2 : 1))), a[k]);
    } catch (const phylo::error &e) {
      out += std::string("!") + e.kind() + " " + e.what() + "\n";
    }
  }
  out += std::to_string(aln.size()) + " sequences, bases";
  for (std::uint64_t n : aln.base_counts(0)) out += " " + std::to_string(n);
  out += ", codes";
  for (std::size_t s = 0; s < aln.n_sites(); ++s) out += " " + std::to_string(aln.code(0, s));
  return out;
}

// A resampled alignment is the alignment of the resampled text: columns drawn with repetition,
// in any order, under every site rule and alphabet, with the base counts of its own sites.
TEST(DnaDist, ResampledIsTheAlignmentOfTheColumns) {
  const seqs_type dna = {{"a", "ACGTNacgt-RY"}, {"b", "AGGT-ACCTTRA"}, {"c", "TTGCAA?GT-CC"}};
  const seqs_type amino = {{"a", "ARNDXBZJ*?-v"}, {"b", "ARNDCQEGHILK"}, {"c", "wyvXXXarnd.."}};
  const std::vector<std::uint32_t> columns = {11, 0, 0, 5, 3, 11, 7, 2, 2, 9, 1, 1, 1, 4, 6, 8, 10};
  for (const auto &[seqs, residues] : {std::pair{dna, alphabet::DNA}, std::pair{amino, alphabet::PROTEIN}}) {
    for (site_rule rule : {site_rule::PAIRWISE, site_rule::COMPLETE, site_rule::ALL}) {
      seqs_type drawn;
      for (const auto &[label, text] : seqs) {
        std::string t;
        for (std::uint32_t c : columns) t += text[c];
        drawn.emplace_back(label, t);
      }
      const packed_alignment aln = pack(rule, seqs, residues), expected = pack(rule, drawn, residues);
      const packed_alignment copy = aln.resampled(columns);
      ASSERT_EQ(copy.n_sites(), columns.size());
      EXPECT_EQ(copy.labels(), expected.labels());
      for (std::size_t i = 0; i < copy.size(); ++i) {
        EXPECT_EQ(copy.base_counts(i), expected.base_counts(i));
        for (std::size_t s = 0; s < copy.n_sites(); ++s)
          ASSERT_EQ(copy.code(i, s), expected.code(i, s)) << i << " " << s;
        for (std::size_t w = 0; w < copy.planes() * copy.words(); ++w)
          ASSERT_EQ(copy.sequence(i)[w], expected.sequence(i)[w]) << "word " << w;
      }
      const model_type model = residues == alphabet::DNA ? model_type::K80 : model_type::JTT;
      if (rule != site_rule::ALL) {
        const auto a = distances(copy, model, 1, 9.0f), b = distances(expected, model, 1, 9.0f);
        EXPECT_EQ(std::memcmp(a.distances.data(), b.distances.data(), 9 * sizeof(float)), 0);
      }
    }
  }
  const packed_alignment aln = pack(site_rule::PAIRWISE, dna);
  EXPECT_THROW(aln.resampled(std::vector<std::uint32_t>{}), phylo::range_error);
  EXPECT_THROW(aln.resampled(std::vector<std::uint32_t>{0, 12}), phylo::range_error);
}

// det CELL...: the determinant of a table of 4 x 4 counts, exact while the cells stay below 2^30
// (%.17g); "(elimination X)" where the elimination beyond that gives another value, and
// "(scaled X)" where it does not give 2^124 times the determinant for the table scaled by 2^31.
std::string det(const std::vector<std::string> &a) {
  std::array<std::uint64_t, 16> t{}, big{};
  std::istringstream cells(a[0]);
  for (int k = 0; k < 16; ++k) cells >> t[k], big[k] = t[k] << 31;
  const double exact = detail::determinant(t.data()), tolerance = 1e-9 * (std::fabs(exact) + 1);
  auto shown = [](double v) { return (std::ostringstream() << std::setprecision(17) << v).str(); };
  std::string out = shown(exact);
  if (const double e = detail::determinant_inexact(t.data()); std::fabs(e - exact) > tolerance)
    out += " (elimination " + shown(e) + ")";
  if (const double e = std::ldexp(detail::determinant_inexact(big.data()), -124); std::fabs(e - exact) > tolerance)
    out += " (scaled " + shown(e) + ")";
  return out;
}

// gamma ALPHA K: the mean rates of K gamma categories (%.12g) where there are at most four,
// their number beyond; "(mean X)" where they do not average 1 and "(not rising)" where they do
// not rise. igamma A X: the regularised lower incomplete gamma function P(A, X) (%.14g).
std::string gamma(const std::vector<std::string> &a) {
  const std::vector<double> r = detail::gamma_rates(std::stod(a[0]), static_cast<unsigned>(std::stoul(a[1])));
  std::ostringstream out;
  out << std::setprecision(12);
  if (r.size() > 4) out << r.size() << " rates";
  double sum = 0;
  for (std::size_t k = 0; k < r.size(); ++k) {
    if (r.size() <= 4) out << (k ? " " : "") << r[k];
    if (k > 0 && r[k] <= r[k - 1]) out << " (not rising)";
    sum += r[k];
  }
  const double mean = sum / static_cast<double>(r.size());
  if (std::fabs(mean - 1) > 1e-12) out << " (mean " << mean << ")";
  return out.str();
}
std::string igamma(const std::vector<std::string> &a) {
  return (std::ostringstream() << std::setprecision(14) << detail::incomplete_gamma(std::stod(a[0]), std::stod(a[1])))
      .str();
}

TEST(DnaDist, Cases) {
  phylo::test::run_cases("dna_dist.cases",
                         {{"dna", dna}, {"pack", packed}, {"det", det}, {"gamma", gamma}, {"igamma", igamma}});
}

// An undefined value that is no distance, and a matrix of another size, are refused.
TEST(DnaDist, UndefinedValueAndMatrixSize) {
  const packed_alignment aln = pack(site_rule::PAIRWISE, {{"a", "AC"}, {"b", "AC"}});
  phylo::dist_mat_type d(2), three(3);
  for (float bad : {-1.0f, INFINITY, NAN})
    EXPECT_THROW(dna_dist(aln, with(model_type::P, 1, bad), d), phylo::range_error);
  EXPECT_THROW(dna_dist(aln, with(model_type::P, 1, 0), three), phylo::range_error);
}

// Nucleotides packed 64 at a time where all are A, C, G, T, N or '-' in either case, by the
// table elsewhere: the same codes and base counts either way (a '.' or '?' sends its stretch of
// 64 to the table; the last stretch is short).
TEST(DnaDist, PackedCodesOfEveryStretch) {
  random_bits r{23};
  for (const std::string symbols : {"ACGTacgtNn-", "ACGTacgtNn-.?R"}) {
    std::string text(64 * 5 + 17, 'A');
    for (char &c : text) c = symbols[r.next() % symbols.size()];
    for (site_rule rule : {site_rule::PAIRWISE, site_rule::COMPLETE}) {
      const packed_alignment aln = pack(rule, {{"a", text}});
      std::array<std::uint64_t, 4> counts{};
      for (std::size_t s = 0; s < text.size(); ++s) {
        const char c = static_cast<char>(text[s] & ~0x20);
        const unsigned expected = c == 'A' ? 4 : c == 'C' ? 5 : c == 'G' ? 6 : c == 'T' ? 7 : 0;
        ASSERT_EQ(aln.code(0, s), expected) << symbols << " site " << s;
        if (expected != 0) ++counts[expected == 4 ? 0 : expected == 5 ? 1 : expected == 6 ? 2 : 3];
      }
      EXPECT_EQ(aln.base_counts(0), counts);
    }
  }
}

// A model's distances on 1 thread are the same bits on 2 and 5, symmetric with a zero diagonal,
// and (unless the sites of COMPLETE or the base frequencies of TN93 make them depend on every
// sequence) each pair's (one pair in `every`) as the pair alone gives it: whatever a thread remembers of the pairs
// before gives what a pair alone gives, over thousands of distinct counts.
void expect_same_on_threads(const seqs_type &seqs, site_rule rule, alphabet residues, model_type model,
                            std::optional<double> gamma, std::size_t every = 1) {
  const packed_alignment aln = pack(rule, seqs, residues);
  const std::size_t n = seqs.size();
  const phylo::dist_mat_type one = distances(aln, model, 1, 9.0f, gamma);
  for (unsigned threads : {2u, 5u}) {
    const phylo::dist_mat_type more = distances(aln, model, threads, 9.0f, gamma);
    EXPECT_EQ(std::memcmp(one.distances.data(), more.distances.data(), n * n * sizeof(float)), 0)
        << static_cast<int>(model) << " on " << threads << " threads";
  }
  const bool alone_differs = rule == site_rule::COMPLETE || model == model_type::TN93;
  for (std::size_t i = 0; i < n; ++i) {
    EXPECT_EQ(one.distances(i, i), 0.0f);
    for (std::size_t j = 0; j < i; ++j) {
      ASSERT_EQ(one.distances(i, j), one.distances(j, i));
      if (alone_differs || (i * n + j) % every != 0) continue;
      const phylo::dist_mat_type alone = distances(pack(rule, {seqs[j], seqs[i]}, residues), model, 1, 9.0f, gamma);
      ASSERT_EQ(one.distances(i, j), alone.distances(1, 0)) << static_cast<int>(model) << " " << i << " " << j;
    }
  }
}

using model_and_gamma = std::pair<model_type, std::optional<double>>;

// A random alignment of 150 sequences (three tiles of rows); amino acids, ever more of them
// changed down the alignment, by the counting models and the maximum-likelihood ones, with and
// without gamma.
TEST(DnaDist, ThreadsChangeNothing) {
  const seqs_type dna =
      descendants(17, 150, 701, "ACGT", "ACGTACGTACGTACGTacgt-N?R", [](std::size_t, random_bits &) { return 8192u; });
  for (site_rule rule : {site_rule::PAIRWISE, site_rule::COMPLETE})
    for (const auto &[model, gamma] : {model_and_gamma{model_type::P, {}}, model_and_gamma{model_type::JC69, {}},
                                       model_and_gamma{model_type::K80, {}}, model_and_gamma{model_type::K80, 0.7},
                                       model_and_gamma{model_type::TN93, {}}, model_and_gamma{model_type::LOGDET, {}}})
      expect_same_on_threads(dna, rule, alphabet::DNA, model, gamma);
  const seqs_type amino =
      descendants(23, 70, 300, "ARNDCQEGHILKMFPSTWYV", "ARNDCQEGHILKMFPSTWYVarndcqeghilkmfpstwyvX-B?",
                  [](std::size_t i, random_bits &) { return i * 65536 / 100; });
  for (const auto &[model, gamma] : {model_and_gamma{model_type::P, {}}, model_and_gamma{model_type::KIMURA, {}},
                                     model_and_gamma{model_type::JTT, {}}, model_and_gamma{model_type::LG, {}},
                                     model_and_gamma{model_type::LG, 0.8}})
    expect_same_on_threads(amino, site_rule::PAIRWISE, alphabet::PROTEIN, model, gamma, 17);
}

// Progress rises to every pair, and a hook that throws cancels the work: the exception leaves
// dna_dist at once, and the other threads take no further tile (on three the calling thread may
// get no tile at all, as under valgrind, and still hears of the others' and can stop them).
TEST(DnaDist, ProgressIsHeardAndAThrowCancels) {
  random_bits r{5};
  auto random_set = [&](std::size_t n, std::string_view symbols) {
    seqs_type seqs;
    for (std::size_t i = 0; i < n; ++i) {
      std::string s(64, 'A');
      for (char &c : s) c = symbols[r.next() % symbols.size()];
      seqs.emplace_back("t" + std::to_string(i), s);
    }
    return seqs;
  };
  // Nucleotides in tiles of 64 rows and one of 51 (rows in fours and three alone), and amino
  // acids by a counting model and by a table of pairs.
  const packed_alignment dna = pack(site_rule::PAIRWISE, random_set(1203, "ACGT"));
  const packed_alignment amino = pack(site_rule::PAIRWISE, random_set(80, "ARNDCQEGHILKMFPSTWYV"), alphabet::PROTEIN);
  for (const auto &run :
       {std::pair{&dna, model_type::P}, std::pair{&amino, model_type::POISSON}, std::pair{&amino, model_type::JTT}}) {
    const packed_alignment *aln = run.first;
    phylo::dist_mat_type d(aln->size());
    for (unsigned threads : {1u, 3u})
      expect_progress(
          [&](auto hook) {
            dist_options options = with(run.second, threads, 9.0f); // random amino acids saturate some pairs
            options.progress = hook;
            dna_dist(*aln, options, d);
          },
          aln->size() * (aln->size() - 1) / 2,
          threads == 1); // on more threads, the others may end every tile before this one tells
  }
}

} // namespace
