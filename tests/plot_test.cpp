// Tests of include/phylo/plot.hpp: the order of the leaves, the block means and the refusals
// of the drawings.

#include "phylo/io.hpp"
#include "phylo/newick.hpp"
#include "phylo/plot.hpp"
#include "phylo/tree_build.hpp"
#include "test_io.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace phylo {
namespace {

tree_type parse(const std::string &text) {
  input_source in = input_source::from_text(text);
  return *read::read_newick(in);
}

using test::matrix_of;

TEST(Plot, LeafOrderIsDepthFirst) {
  const tree_type tree = parse("((A,(B,C)),D,(E,F));");
  std::string labels;
  for (std::size_t v : leaf_order(tree)) labels += tree[v].label;
  EXPECT_EQ(labels, "ABCDEF");
  EXPECT_THROW(leaf_order(tree_type{}), range_error);
}

TEST(Plot, BlockMeans) {
  // Cell (i, j) = 10 i + j off the diagonal; 99 marks an undefined cell.
  dist_mat_type m = matrix_of(5, [](std::size_t i, std::size_t j) { return i == j ? 7.0f : float(10 * i + j); });
  m.distances(0, 1) = 99;
  const std::vector<std::size_t> order{4, 3, 2, 1, 0};
  struct row {
    std::size_t max_blocks, per_block, blocks;
    std::vector<float> means; // NaN for none
  };
  const float none = std::nanf("");
  for (const row &r : {
           row{5, 1, 5, {none, 43, 42, 41, 40, 34,   none, 32, 31, 30, 24,   23,  none,
                         21,   20, 14, 13, 12, none, 10,   4,  3,  2,  none, none}},
           // blocks {4,3} {2,1} {0}: the diagonal left out, and 99 with it
           row{3, 2, 3, {38.5, 36.5, 35, 18.5, 16.5, 15, 3.5, 2, none}},
           row{1, 5, 1, {(440.0f - 1) / 19}},
       }) {
    const block_grid g = block_means(m, order, r.max_blocks, 99.0f, 3);
    EXPECT_EQ(g.taxa_per_block, r.per_block);
    ASSERT_EQ(g.blocks, r.blocks);
    ASSERT_EQ(g.means.size(), r.means.size());
    for (std::size_t k = 0; k < g.means.size(); ++k)
      if (std::isnan(r.means[k])) EXPECT_TRUE(std::isnan(g.means[k])) << r.max_blocks << " " << k;
      else EXPECT_FLOAT_EQ(g.means[k], r.means[k]) << r.max_blocks << " " << k;
  }
  // Without an undefined value, 99 counts.
  EXPECT_FLOAT_EQ(block_means(m, order, 5).means[4 * 5 + 3], 99);
  const std::vector<std::size_t> twice{0, 0, 1, 2, 3}, short_order{0, 1, 2, 3}, outside{0, 1, 2, 3, 5};
  for (const auto &bad : {twice, short_order, outside}) EXPECT_THROW(block_means(m, bad, 5), range_error);
  EXPECT_THROW(block_means(m, order, 0), range_error);
}

TEST(Plot, DrawingsRefuse) {
  const dist_mat_type m = matrix_of(3, [](std::size_t i, std::size_t j) { return float(i + j) * (i != j); });
  output_sink sink = output_sink::to_string();
  const std::vector<std::size_t> order{0, 1, 2}, other{1, 0, 2};
  tree_type tree = build_upgma_chain(dist_mat_type(m));
  const std::vector<std::size_t> leaves = leaf_order(tree);
  EXPECT_NO_THROW(draw_heatmap(m, leaves, &tree, {}, sink));
  EXPECT_THROW(draw_heatmap(m, leaves == order ? other : order, &tree, {}, sink), range_error);
  EXPECT_THROW(draw_heatmap(dist_mat_type(0), {}, nullptr, {}, sink), range_error);
  EXPECT_THROW(draw_tree(tree_type{}, {}, sink), range_error);
  for (const std::vector<std::size_t> &bad : {std::vector<std::size_t>{0, 1, 3}, {0, 0, 1}, {0, 1}}) // every taxon once
    EXPECT_THROW(block_means(m, bad, 3, 99.0f, 1), range_error);
}

// The lower triangle holds the cells below the diagonal row by row, whatever the others hold,
// and draws a symmetric matrix as the square does: the same means (whole numbers, so their sums
// are exact in any order) with undefined and NaN cells left out, the same picture.
TEST(Plot, TheLowerTriangleDrawsAsTheSquare) {
  dist_mat_type m =
      matrix_of(7, [](std::size_t i, std::size_t j) { return i == j ? 0.0f : float((i * j + i + j) % 9); });
  m.distances(5, 2) = m.distances(2, 5) = 99;
  m.distances(6, 0) = m.distances(0, 6) = std::nanf("");
  dist_mat_type uneven = m;
  for (std::size_t i = 0; i < 7; ++i)
    for (std::size_t j = i; j < 7; ++j) uneven.distances(i, j) = -1;
  for (unsigned threads : {1u, 3u}) {
    const lower_triangle tri = lower_triangle_of(uneven, threads);
    ASSERT_EQ(tri.n_tax(), 7u);
    EXPECT_EQ(tri.labels[6], "t6");
    ASSERT_EQ(tri.cells.size(), 21u);
    for (std::size_t i = 1, k = 0; i < 7; ++i)
      for (std::size_t j = 0; j < i; ++j, ++k)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(tri.cells[k]), std::bit_cast<std::uint32_t>(m.distances(i, j)));
  }
  const lower_triangle tri = lower_triangle_of(m);
  const std::vector<std::size_t> order{3, 6, 0, 5, 1, 4, 2};
  for (std::size_t blocks : {7u, 3u, 2u, 1u}) {
    const block_grid square = block_means(m, order, blocks, 99.0f, 2), half = block_means(tri, order, blocks, 99.0f, 2);
    EXPECT_EQ(half.taxa_per_block, square.taxa_per_block);
    ASSERT_EQ(half.means.size(), square.means.size());
    for (std::size_t k = 0; k < square.means.size(); ++k)
      if (std::isnan(square.means[k])) EXPECT_TRUE(std::isnan(half.means[k])) << blocks << " " << k;
      else EXPECT_EQ(half.means[k], square.means[k]) << blocks << " " << k;
  }
  EXPECT_THROW(block_means(tri, {order.data(), 6}, 3), range_error);
  m.distances(6, 0) = m.distances(0, 6) = 4;
  m.distances(5, 2) = m.distances(2, 5) = 2;
  const tree_type tree = build_upgma_chain(dist_mat_type(m));
  const std::vector<std::size_t> leaves = leaf_order(tree);
  heatmap_options options;
  options.max_blocks = 3;
  output_sink from_square = output_sink::to_string(), from_half = output_sink::to_string();
  draw_heatmap(m, leaves, &tree, options, from_square);
  draw_heatmap(lower_triangle_of(m), leaves, &tree, options, from_half);
  EXPECT_EQ(from_half.text(), from_square.text());
}

} // namespace
} // namespace phylo
