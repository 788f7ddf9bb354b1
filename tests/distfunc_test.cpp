// Transformations of distance matrices (values, order of work, failures) and distances computed
// from character matrices. The cases are in tests/data/lib/distfunc.cases.
#include "case_table.hpp"
#include "distfunc_cells.hpp"
#include "phylo/char_matrix.hpp"
#include "phylo/distfunc.hpp"
#include "phylo/phylip.hpp"
#include "test_io.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace phylo;
using namespace phylo::distfunc;

bool same(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string exactly(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
  return text;
}

// Every cell exactly, a row a line; after a failure, its kind and message first.
std::string cells(const dist_mat_type &m, const error *failure) {
  std::string out = failure ? std::string("!") + failure->kind() + " " + failure->what() + "\n" : "";
  for (std::size_t i = 0; i < m.n_tax(); ++i) {
    out += m.labels[i] + ":";
    for (std::size_t j = 0; j < m.n_tax(); ++j) out += " " + exactly(m.distances(i, j));
    out += "\n";
  }
  return out;
}

dist_conv_type conv_named(const std::string &name) {
  return test::named<dist_conv_type>(name, {"neglog", "exp", "square", "sqrt", "ranging", "arcsin", "none"});
}

// convert CONV MATRIX: an extended PHYLIP matrix transformed (CONV: neglog, exp, square, sqrt,
// ranging, arcsin or none).
std::string convert(const std::vector<std::string> &a) {
  const auto conv = conv_named(a[0]);
  dist_mat_type m = test::read_matrix(a[1], dist_format_type::EXTENDED_PHYLIP);
  try {
    convert_dist(m, conv);
  } catch (const error &e) {
    return cells(m, &e);
  }
  return cells(m, nullptr);
}

// dist FORM KIND CHARS: the distances of a character matrix of KIND (Q, C or D) in extended
// PHYLIP, by the distance function FORM (its position in dist_form_type); the matrix is filled
// with 9 before.
std::string dist(const std::vector<std::string> &a) {
  const matrix_type kind = a[1] == "Q" ? matrix_type::QUANT : a[1] == "D" ? matrix_type::DISCR : matrix_type::CNTCH;
  test::text_input in(a[2]);
  read::char_mat_size size = read::read_header();
  char_mat_type chars(static_cast<std::size_t>(size.n_tax), static_cast<std::size_t>(size.n_char), kind);
  read::read_char_mat(char_format_type::EXTENDED_PHYLIP, chars);
  dist_mat_type d(chars.n_tax());
  std::fill(d.distances.data(), d.distances.data() + d.n_tax() * d.n_tax(), 9.0f);
  try {
    make_dist(chars, static_cast<dist_form_type>(std::stoi(a[0])), d);
  } catch (const error &e) {
    return cells(d, &e);
  }
  return cells(d, nullptr);
}

// cell CONV D MAX: what the per-cell path stores for a cell holding D (or its fault), then what
// the block kernel makes of it: "=" the same, "hard" left to the per-cell path, "none" when
// CONV has no kernel.
std::string cell(const std::vector<std::string> &a) {
  using namespace distfunc::detail;
  const auto conv = conv_named(a[0]);
  const float d = std::strtof(a[1].c_str(), nullptr), max = std::strtof(a[2].c_str(), nullptr);
  const cell_outcome c = transform_cell(conv, d, max);
  float out = 0;
  unsigned char hard = 0;
  const bool kernel = transform_block(conv, max, &d, &out, &hard, 1);
  const std::string r = c.fault == cell_fault::none    ? exactly(c.value)
                        : c.fault == cell_fault::range ? "range"
                                                       : "argument";
  return r + (!kernel ? " none" : hard ? " hard" : same(out, c.value) ? " =" : " " + exactly(out));
}

TEST(Distfunc, Cases) { test::run_cases("distfunc.cases", {{"convert", convert}, {"dist", dist}, {"cell", cell}}); }

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

TEST(MakeDist, MismatchedSizesChangeNothing) {
  char_mat_type chars(2, 1, matrix_type::QUANT);
  dist_mat_type d(3);
  d.distances(0, 0) = 9.0f;
  EXPECT_THROW(make_dist(chars, dist_form_type::MANHATTAN, d), range_error);
  EXPECT_EQ(d.labels[0], "");
  EXPECT_EQ(d.distances(0, 0), 9.0f);
}

} // namespace
