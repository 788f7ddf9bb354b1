// Transformations of distance matrices (values, order of work, failures), distances computed
// from character matrices, and quartet and triplet counts.
#include "phylo/char_matrix.hpp"
#include "phylo/distfunc.hpp"
#include "phylo/phylip.hpp"
#include "test_io.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace phylo;
using namespace phylo::distfunc;

dist_mat_type matrix(std::size_t n, std::vector<float> cells) {
  dist_mat_type m(n);
  for (std::size_t i = 0; i < n; ++i) m.labels[i] = std::string(1, static_cast<char>('a' + i));
  for (std::size_t k = 0; k < cells.size(); ++k) m.distances.data()[k] = cells[k];
  return m;
}

// A 2-taxon matrix with d above the diagonal, transformed; returns the new (0, 1) cell.
float transform_one(float d, dist_conv_type conv) {
  dist_mat_type m = matrix(2, {0, d, 0, 0});
  convert_dist(m, conv);
  EXPECT_EQ(std::memcmp(&m.distances(0, 1), &m.distances(1, 0), sizeof(float)), 0) << "not mirrored";
  return m.distances(0, 1);
}

bool same(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(ConvertDist, CellValues) {
  using C = dist_conv_type;
  struct {
    C conv;
    float d, expected;
  } cases[] = {
      {C::NEG_LOG, 0.0f, -0.0f},
      {C::NEG_LOG, 0.5f, 0.6931472f},
      {C::NEG_LOG, 2.98e-8f, -0.0f}, // 1 - d rounds to 1
      {C::EXP, 0.0f, 0.0f},
      {C::EXP, 100.0f, 1.0f},
      {C::EXP, 17.33f, 1.0f},
      {C::SQUARE, 3.0f, 9.0f},
      {C::SQUARE, std::nextafter(18446744073709551616.0f, 0.0f),
       std::nextafter(18446744073709551616.0f, 0.0f) * std::nextafter(18446744073709551616.0f, 0.0f)},
      {C::SQUARE_ROOT, 0.0f, 0.0f},
      {C::SQUARE_ROOT, 2.0f, 1.4142135f},
      {C::ARCSIN, 0.25f, 0.5235988f},
      {C::ARCSIN, 1.0f, 1.5707964f},
      {C::ARCSIN, 0.0f, 0.0f},
      {C::ARCSIN, std::nextafter(1.0f, 2.0f), 1.5707964f}, // its square root rounds to 1
      // A distance read as -0 keeps or loses its sign as the formula says.
      {C::NEG_LOG, -0.0f, -0.0f},
      {C::EXP, -0.0f, 0.0f},
      {C::SQUARE, -0.0f, 0.0f},
      {C::SQUARE_ROOT, -0.0f, -0.0f},
      {C::ARCSIN, -0.0f, -0.0f},
  };
  for (const auto &c : cases)
    EXPECT_TRUE(same(transform_one(c.d, c.conv), c.expected)) << static_cast<int>(c.conv) << " of " << c.d;
}

TEST(ConvertDist, DomainAndRangeFailures) {
  using C = dist_conv_type;
  dist_mat_type a = matrix(2, {0, 1.0f, 0, 0});
  EXPECT_THROW(convert_dist(a, C::NEG_LOG), range_error);
  dist_mat_type b = matrix(2, {0, 1.5f, 0, 0});
  EXPECT_THROW(convert_dist(b, C::NEG_LOG), argument_error);
  dist_mat_type c = matrix(2, {0, 4.0f, 0, 0});
  EXPECT_THROW(convert_dist(c, C::ARCSIN), argument_error);
  dist_mat_type d = matrix(2, {0, 18446744073709551616.0f, 0, 0});
  EXPECT_THROW(convert_dist(d, C::SQUARE), range_error);
  EXPECT_EQ(d.distances(0, 1), 18446744073709551616.0f); // the failing cell keeps its value
}

TEST(ConvertDist, CellsBeforeTheFailureKeepTheirNewValues) {
  // Row order above the diagonal: (0,1)=0.5, (0,2)=0.5, (1,2)=1 fails.
  dist_mat_type m = matrix(3, {0, 0.5f, 0.5f, 7, 0, 1.0f, 8, 9, 0});
  EXPECT_THROW(convert_dist(m, dist_conv_type::NEG_LOG), range_error);
  EXPECT_EQ(m.distances(0, 1), 0.6931472f);
  EXPECT_EQ(m.distances(1, 0), 0.6931472f);
  EXPECT_EQ(m.distances(2, 0), 0.6931472f);
  EXPECT_EQ(m.distances(1, 2), 1.0f);
  EXPECT_EQ(m.distances(2, 1), 9.0f);
}

TEST(ConvertDist, FailureInALongRowStopsAtItsOwnCell) {
  // Rows longer than the blocks the transformations work in, with distances on both sides of
  // 3/4 (the arcsine takes another path above it) and one bad cell late in row 1.
  using C = dist_conv_type;
  const std::size_t n = 600, bad_col = 517;
  struct {
    C conv;
    float bad;
    float (*want)(float d);
  } cases[] = {
      {C::NEG_LOG, 1.5f, [](float d) { return -static_cast<float>(std::log(double{1.0f - d})); }},
      {C::SQUARE, 1e20f, [](float d) { return d * d; }},
      {C::SQUARE_ROOT, -0.5f, [](float d) { return static_cast<float>(std::sqrt(double{d})); }},
      {C::RANGING, -0.5f, [](float d) { return d / 0.9f; }},
      {C::ARCSIN, 1.5f, [](float d) { return static_cast<float>(std::asin(double{std::sqrt(d)})); }},
  };
  for (const auto &c : cases) {
    dist_mat_type m(n);
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j)
        m.distances(i, j) = i == j ? 0.0f : static_cast<float>((i * 7919 + j * 104729) % 1000) * 0.0009f + 0.0009f;
    m.distances(1, bad_col) = c.bad;
    const dist_mat_type before = m;
    try {
      convert_dist(m, c.conv);
      ADD_FAILURE() << static_cast<int>(c.conv) << " accepted " << c.bad;
    } catch (const phylo::error &) {
    }
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = i + 1; j < n; ++j) {
        const bool done = i == 0 || (i == 1 && j < bad_col);
        const float up = done ? c.want(before.distances(i, j)) : before.distances(i, j);
        const float low = done ? up : before.distances(j, i);
        ASSERT_TRUE(same(m.distances(i, j), up) && same(m.distances(j, i), low))
            << static_cast<int>(c.conv) << " at " << i << "," << j << ": " << m.distances(i, j) << " "
            << m.distances(j, i);
      }
  }
}

TEST(ConvertDist, UpperTriangleRulesDiagonalUntouched) {
  dist_mat_type m = matrix(3, {5, 0.5f, 2, 9, 6, 4, 9, 9, 7});
  dist_mat_type none = m;
  convert_dist(none, dist_conv_type::NONE);
  EXPECT_EQ(none.distances(1, 0), 9.0f); // NONE leaves the asymmetry
  convert_dist(m, dist_conv_type::RANGING);
  const float expected[9] = {5, 0.125f, 0.5f, 0.125f, 6, 1.0f, 0.5f, 1.0f, 7};
  for (int k = 0; k < 9; ++k) EXPECT_EQ(m.distances.data()[k], expected[k]) << k;
}

TEST(ConvertDist, RangingOnZeroUpperTriangleChangesNothing) {
  dist_mat_type m = matrix(2, {0, 0, 3, 0});
  convert_dist(m, dist_conv_type::RANGING);
  EXPECT_EQ(m.distances(1, 0), 3.0f);
  // Zeros of both signs: the largest is +0.0, and nothing changes.
  dist_mat_type zeros = matrix(3, {0, -0.0f, 0.0f, 3, 0, -0.0f, 5, 6, 0});
  EXPECT_TRUE(same(max_dist(zeros), 0.0f));
  EXPECT_TRUE(same(max_dist(matrix(2, {0, -0.0f, 0, 0})), 0.0f));
  const dist_mat_type before = zeros;
  convert_dist(zeros, dist_conv_type::RANGING);
  EXPECT_EQ(std::memcmp(zeros.distances.data(), before.distances.data(), 9 * sizeof(float)), 0);
  // -0 / max is -0.
  dist_mat_type mixed = matrix(3, {0, -0.0f, 2, 9, 0, 4, 9, 9, 0});
  convert_dist(mixed, dist_conv_type::RANGING);
  EXPECT_TRUE(same(mixed.distances(0, 1), -0.0f) && same(mixed.distances(1, 0), -0.0f));
  EXPECT_EQ(mixed.distances(2, 0), 0.5f);
}

TEST(ConvertDist, OneTaxonUnchangedByEveryTransformation) {
  for (int c = 0; c <= 6; ++c) {
    dist_mat_type m = matrix(1, {2.5f});
    convert_dist(m, static_cast<dist_conv_type>(c));
    EXPECT_EQ(m.distances(0, 0), 2.5f);
  }
  dist_mat_type m = matrix(1, {2.5f});
  EXPECT_EQ(max_dist(m), 0.0f);
  EXPECT_THROW(convert_dist(m, static_cast<dist_conv_type>(7)), range_error);
}

TEST(ConvertDist, LargeMatrixMirrorsEveryCell) {
  const std::size_t n = 150; // several tiles of the mirror
  dist_mat_type m(n);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) m.distances(i, j) = static_cast<float>(i * n + j) / (n * n);
  convert_dist(m, dist_conv_type::SQUARE);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) {
      float d = static_cast<float>(std::min(i, j) * n + std::max(i, j)) / (n * n);
      ASSERT_EQ(m.distances(i, j), i == j ? d : d * d) << i << "," << j;
    }
}

TEST(MaxAndSsq, FlatMatrices) {
  fast_dist_mat_type one(1, 1);
  one.distances[0] = 4;
  EXPECT_EQ(max_and_ssq(one), std::make_pair(0.0f, 0.0f));
  fast_dist_mat_type m(3, 9);
  const float cells[9] = {9, 1, 2, 9, 9, 2, 9, 9, 9};
  for (int k = 0; k < 9; ++k) m.distances[k] = cells[k];
  EXPECT_EQ(max_and_ssq(m), std::make_pair(2.0f, 9.0f));
  fast_dist_mat_type short_one(3, 5); // the cell (1, 2) lies at position 5
  EXPECT_THROW(max_and_ssq(short_one), range_error);
  fast_dist_mat_type huge(2, 4);
  huge.distances[1] = 1e20f;
  EXPECT_THROW(max_and_ssq(huge), range_error);
}

} // namespace

namespace {

using namespace phylo;
using distfunc::dist_form_type;
using distfunc::make_dist;
using D = dist_form_type;

constexpr D all_forms[] = {
    D::EUKLIDEAN, D::STANDARDIZED_EUKLIDEAN, D::CHORD, D::CANBERRA, D::MANHATTAN, D::BRAY_CURTIS, D::EDGAR,
    D::PEARSON,   D::EXCLUSIVE_EUKLIDEAN};

std::string taxon(std::size_t i) {
  std::string label = "t";
  label += std::to_string(i + 1);
  return label;
}

char_mat_type quant(std::vector<std::vector<float>> rows) {
  char_mat_type m(rows.size(), rows[0].size(), matrix_type::QUANT);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    m.labels[i] = taxon(i);
    for (std::size_t j = 0; j < rows[i].size(); ++j) m.quant_data()(i, j) = rows[i][j];
  }
  return m;
}

char_mat_type counts(std::vector<std::vector<std::int32_t>> rows) {
  char_mat_type m(rows.size(), rows[0].size(), matrix_type::CNTCH);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    m.labels[i] = taxon(i);
    for (std::size_t j = 0; j < rows[i].size(); ++j) m.count_data()(i, j) = rows[i][j];
  }
  return m;
}

char_mat_type symbols(std::vector<std::string> rows) {
  char_mat_type m(rows.size(), rows[0].size(), matrix_type::DISCR);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    m.labels[i] = taxon(i);
    for (std::size_t j = 0; j < rows[i].size(); ++j) m.discr_data()(i, j) = rows[i][j];
  }
  return m;
}

// A distance matrix whose cells all hold 9.0, so that unwritten cells show.
dist_mat_type blank(std::size_t n) {
  dist_mat_type d(n);
  for (std::size_t i = 0; i < n * n; ++i) d.distances.data()[i] = 9.0f;
  return d;
}

// The distance between the two taxa of a two-row matrix, after checking the other cells.
float pair_distance(const char_mat_type &chars, D form) {
  dist_mat_type d = blank(2);
  make_dist(chars, form, d);
  EXPECT_EQ(d.distances(0, 0), 0.0f);
  EXPECT_EQ(d.distances(1, 1), 0.0f);
  EXPECT_EQ(d.distances(0, 1), d.distances(1, 0));
  EXPECT_EQ(d.labels, chars.labels);
  return d.distances(0, 1);
}

const char *failure(const char_mat_type &chars, D form) {
  dist_mat_type d = blank(chars.n_tax());
  try {
    make_dist(chars, form, d);
  } catch (const error &e) {
    return e.kind();
  }
  return "none";
}

TEST(MakeDist, QuantitativeForms) {
  struct row {
    std::vector<std::vector<float>> rows;
    D form;
    float expected; // exactly, in single precision
  } rows[] = {
      {{{1, 2, 3}, {2, 2, 5}}, D::MANHATTAN, 1.0f},
      {{{1, 2, 3}, {2, 2, 5}}, D::EUKLIDEAN, 1.2909944f},
      {{{1, 2, 3}, {2, 2, 5}}, D::CANBERRA, 0.19444446f},
      {{{1, 0}, {0, 1}}, D::CHORD, 1.4142135f},
      {{{1, 0}, {2, 0}}, D::CHORD, 0.0f},
      {{{1, 2, 3}, {2, 4, 6}}, D::PEARSON, 0.0f},
      {{{1, 2, 3}, {3, 2, 1}}, D::PEARSON, 1.0f},
      {{{0, 1}, {2, 1}}, D::STANDARDIZED_EUKLIDEAN, 1.4142135f},
      {{{1, -1, 3}, {2, 5, 3}}, D::EXCLUSIVE_EUKLIDEAN, 0.70710677f},
      {{{-0.0f, 2}, {1, 2}}, D::EXCLUSIVE_EUKLIDEAN, 0.70710677f}, // -0.0 is present
      {{{0, 0, 4}, {0, 0, 4}}, D::CANBERRA, 0.0f},                 // both-zero characters skipped
  };
  for (const row &r : rows) EXPECT_EQ(pair_distance(quant(r.rows), r.form), r.expected) << static_cast<int>(r.form);
}

TEST(MakeDist, DiscreteSymbolsIgnoreTheForm) {
  for (D form : all_forms) {
    EXPECT_EQ(pair_distance(symbols({"ACGT", "ACGA"}), form), 0.25f);
    EXPECT_EQ(pair_distance(symbols({"A?", "A?"}), form), 0.0f);
    EXPECT_EQ(pair_distance(symbols({"a-", "A."}), form), 1.0f);
  }
}

TEST(MakeDist, CountForms) {
  EXPECT_EQ(pair_distance(counts({{1, 2, 3}, {2, 2, 5}}), D::BRAY_CURTIS), 0.2f);
  EXPECT_EQ(pair_distance(counts({{1, 2, 3}, {2, 2, 5}}), D::EDGAR), 0.0f);
  EXPECT_EQ(pair_distance(counts({{4, 0}, {1, 3}}), D::EDGAR), 0.75f);
  // The two totals add up past 32 bits without harm.
  EXPECT_EQ(pair_distance(counts({{1073741824, 0}, {1073741824, 1}}), D::BRAY_CURTIS), 1.0f / 2147483648.0f);
  EXPECT_EQ(distfunc::min_count(3, -2), -2);
  EXPECT_EQ(distfunc::min_count(5, 5), 5);
}

TEST(MakeDist, Failures) {
  struct row {
    char_mat_type chars;
    D form;
    const char *error;
  } rows[] = {
      {quant({{0, 0}, {1, 2}}), D::CHORD, "range_error"},                     // S = 0: 0 / 0
      {quant({{2, 2, 2}, {1, 2, 3}}), D::PEARSON, "range_error"},             // B = 0: r is not a number
      {quant({{1.1f, 1.1f, 1.1f}, {1, 2, 3}}), D::PEARSON, "argument_error"}, // B rounds below 0
      {quant({{-1, 2}, {3, -2}}), D::EXCLUSIVE_EUKLIDEAN, "range_error"},     // nothing in both
      {quant({{1}, {-1}}), D::CANBERRA, "range_error"},                       // 2 / 0
      {quant({{2e19f}, {1}}), D::EUKLIDEAN, "range_error"},                   // S overflows
      {quant({{3e38f, 3e38f}, {0, 0}}), D::MANHATTAN, "range_error"},
      {quant({{1, 2}, {3, 4}}), D::BRAY_CURTIS, "formula_error"},
      {quant({{1, 2}, {3, 4}}), D::EDGAR, "formula_error"},
      {counts({{1, 2}, {3, 4}}), D::EUKLIDEAN, "formula_error"},
      {counts({{1, 2}, {3, 4}}), D::EXCLUSIVE_EUKLIDEAN, "formula_error"},
      {counts({{0, 0}, {0, 0}}), D::BRAY_CURTIS, "range_error"}, // 0 / 0
      {counts({{0, 0}, {1, 0}}), D::EDGAR, "range_error"},
      {counts({{2147483647, 1}, {0, 0}}), D::EDGAR, "range_error"}, // a total past 32 bits
      {counts({{2147483647, 0}, {0, 2147483647}}), D::BRAY_CURTIS, "range_error"},
  };
  for (const row &r : rows) EXPECT_STREQ(failure(r.chars, r.form), r.error) << static_cast<int>(r.form);
}

TEST(MakeDist, FormulaErrorComesAtTheFirstPair) {
  for (const char_mat_type &chars : {quant({{1}, {2}, {3}}), counts({{1}, {2}, {3}})}) {
    dist_mat_type d = blank(3);
    const D form = chars.kind() == matrix_type::QUANT ? D::BRAY_CURTIS : D::MANHATTAN;
    EXPECT_THROW(make_dist(chars, form, d), formula_error);
    EXPECT_EQ(d.labels, chars.labels);
    EXPECT_EQ(d.distances(0, 0), 0.0f);
    EXPECT_EQ(d.distances(0, 1), 9.0f);
    EXPECT_EQ(d.distances(1, 1), 9.0f);
  }
}

TEST(MakeDist, OneTaxonAndMismatchedSizes) {
  for (D form : all_forms) {
    for (const char_mat_type &chars : {quant({{5, 0}}), counts({{0, 3}}), symbols({"AC"})}) {
      dist_mat_type d = blank(1);
      make_dist(chars, form, d);
      EXPECT_EQ(d.distances(0, 0), 0.0f);
      EXPECT_EQ(d.labels[0], "t1");
    }
  }
  dist_mat_type d = blank(3);
  EXPECT_THROW(make_dist(quant({{1}, {2}}), D::MANHATTAN, d), range_error);
  EXPECT_EQ(d.labels[0], "");
  EXPECT_EQ(d.distances(0, 0), 9.0f);
}

// Reading, computing and writing a matrix of measurements and one of counts.
std::string convert(const std::string &text, matrix_type kind, D form) {
  test::text_input in(text);
  read::char_mat_size size = read::read_header();
  char_mat_type chars(static_cast<std::size_t>(size.n_tax), static_cast<std::size_t>(size.n_char), kind);
  read::read_char_mat(char_format_type::EXTENDED_PHYLIP, chars);
  dist_mat_type dist(chars.n_tax());
  make_dist(chars, form, dist);
  test::captured_output out;
  print::print_dist_mat(dist, dist_format_type::EXTENDED_PHYLIP);
  return out.text();
}

TEST(MakeDist, FromReadMatricesToPrintedDistances) {
  // Four measurements per mouse; -1 marks a measurement that was not taken.
  const std::string traits = "3 4\n"
                             "musA 1.5 2.0 -1 4.0\n"
                             "musB 2.5 3.0 3.0 3.0\n"
                             "musC 1.5 -1 3.0 0.0\n";
  EXPECT_EQ(convert(traits, matrix_type::QUANT, D::MANHATTAN), " 3\n"
                                                               "musA\t 0.00000E+00\t 1.75000E+00\t 2.75000E+00\n"
                                                               "musB\t 1.75000E+00\t 0.00000E+00\t 2.00000E+00\n"
                                                               "musC\t 2.75000E+00\t 2.00000E+00\t 0.00000E+00\n");
  EXPECT_EQ(convert(traits, matrix_type::QUANT, D::EXCLUSIVE_EUKLIDEAN),
            " 3\n"
            "musA\t 0.00000E+00\t 1.00000E+00\t 2.82843E+00\n"
            "musB\t 1.00000E+00\t 0.00000E+00\t 1.82574E+00\n"
            "musC\t 2.82843E+00\t 1.82574E+00\t 0.00000E+00\n");

  const std::string soil = "3 5\n"
                           "forest 120 0 33 7 1024\n"
                           "meadow 98 12 0 0 2048\n"
                           "field 0 0 5 110 17\n";
  EXPECT_EQ(convert(soil, matrix_type::CNTCH, D::BRAY_CURTIS), " 3\n"
                                                               "forest\t 0.00000E+00\t 3.28546E-01\t 9.55927E-01\n"
                                                               "meadow\t 3.28546E-01\t 0.00000E+00\t 9.85153E-01\n"
                                                               "field \t 9.55927E-01\t 9.85153E-01\t 0.00000E+00\n");
}

// ---- no_quartets, no_triplets ------------------------------------------------------------

TEST(Combinations, CountsThatFit) {
  struct row {
    int n;
    std::int32_t quartets, triplets;
  } rows[] = {{4, 1, 4}, {5, 5, 10}, {10, 210, 120}, {477, 2130031575, 17974950}};
  for (const row &r : rows) {
    EXPECT_EQ(distfunc::no_quartets(r.n), r.quartets) << r.n;
    EXPECT_EQ(distfunc::no_triplets(r.n), r.triplets) << r.n;
  }
  EXPECT_EQ(distfunc::no_triplets(3), 1);
  EXPECT_EQ(distfunc::no_triplets(2345), 2146453540);
}

TEST(Combinations, CountsThatDoNotFit) {
  for (int n : {478, 3, 0, -4, 5000, 100000, std::numeric_limits<int>::max()}) {
    testing::internal::CaptureStderr();
    EXPECT_THROW(distfunc::no_quartets(n), range_error) << n;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Too many quartets.\n");
  }
  for (int n : {2346, 2, 1, 5000, 3000000, std::numeric_limits<int>::max()}) {
    testing::internal::CaptureStderr();
    EXPECT_THROW(distfunc::no_triplets(n), range_error) << n;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Too many triplets.\n");
  }
}

} // namespace
