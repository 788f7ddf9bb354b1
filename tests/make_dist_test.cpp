// Distances computed from character matrices; quartet and triplet counts.
#include "phylo/distfunc.hpp"
#include "phylo/phylo.hpp"
#include "phylo/phylo.hpp"
#include "test_io.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace phylo;
using distfunc::dist_form_type;
using distfunc::make_dist;
using D = dist_form_type;

constexpr D all_forms[] = {D::EUKLIDEAN, D::STANDARDIZED_EUKLIDEAN, D::CHORD,  D::CANBERRA,           D::MANHATTAN,
                           D::BRAY_CURTIS, D::EDGAR,              D::PEARSON, D::EXCLUSIVE_EUKLIDEAN};

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
      {quant({{0, 0}, {1, 2}}), D::CHORD, "range_error"},          // S = 0: 0 / 0
      {quant({{2, 2, 2}, {1, 2, 3}}), D::PEARSON, "range_error"},  // B = 0: r is not a number
      {quant({{1.1f, 1.1f, 1.1f}, {1, 2, 3}}), D::PEARSON, "argument_error"}, // B rounds below 0
      {quant({{-1, 2}, {3, -2}}), D::EXCLUSIVE_EUKLIDEAN, "range_error"},     // nothing in both
      {quant({{1}, {-1}}), D::CANBERRA, "range_error"},            // 2 / 0
      {quant({{2e19f}, {1}}), D::EUKLIDEAN, "range_error"},        // S overflows
      {quant({{3e38f, 3e38f}, {0, 0}}), D::MANHATTAN, "range_error"},
      {quant({{1, 2}, {3, 4}}), D::BRAY_CURTIS, "formula_error"},
      {quant({{1, 2}, {3, 4}}), D::EDGAR, "formula_error"},
      {counts({{1, 2}, {3, 4}}), D::EUKLIDEAN, "formula_error"},
      {counts({{1, 2}, {3, 4}}), D::EXCLUSIVE_EUKLIDEAN, "formula_error"},
      {counts({{0, 0}, {0, 0}}), D::BRAY_CURTIS, "range_error"},   // 0 / 0
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
  EXPECT_EQ(convert(traits, matrix_type::QUANT, D::MANHATTAN),
            " 3\n"
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
  EXPECT_EQ(convert(soil, matrix_type::CNTCH, D::BRAY_CURTIS),
            " 3\n"
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
