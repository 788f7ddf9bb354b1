// Transformations of distance matrices: values, order of work, and failures.
#include "phylo/distfunc.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
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
      {C::SQUARE, std::nextafter(18446744073709551616.0f, 0.0f), std::nextafter(18446744073709551616.0f, 0.0f) * std::nextafter(18446744073709551616.0f, 0.0f)},
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
      for (std::size_t j = 0; j < n; ++j) m.distances(i, j) = i == j ? 0.0f : static_cast<float>((i * 7919 + j * 104729) % 1000) * 0.0009f + 0.0009f;
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
            << static_cast<int>(c.conv) << " at " << i << "," << j << ": " << m.distances(i, j) << " " << m.distances(j, i);
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
