// phylo: pictures of distance matrices and trees, written as SVG (svg.hpp).
//
// A heatmap shows a matrix with its rows and columns in an order (a tree's leaves, say): each
// cell in the colour that a colour map gives its distance between the smallest and the largest
// drawn, a colour bar with the scale's values beside it, the tree as a dendrogram left of the
// rows, the labels right of the rows and below the columns. A matrix of more taxa than
// max_blocks is drawn as blocks of k x k taxa (k the smallest that gives at most max_blocks
// blocks a side), each in the colour of the mean of its cells, so that the picture's size
// grows with the blocks and not with the cells. Cells on the diagonal and blocks on it are
// drawn in a colour of their own; so are undefined cells (and blocks of nothing else), which no
// mean takes in.
//
// A tree picture draws a tree alone: rectangular, the root at the left, branch lengths to
// scale with a scale bar, support values at internal nodes, labels at the tips.
#pragma once

#include "phylo/io.hpp"
#include "phylo/svg.hpp"
#include "phylo/tree.hpp"
#include "phylo/types.hpp"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace phylo {

// The leaves of a tree from the top of its drawing to the bottom: depth first from the root,
// the children of each node in their order. Node indices.
std::vector<std::size_t> leaf_order(const tree_type &tree);

// The means of the blocks of a matrix in an order: taxon order[a] is at position a, position a
// in block a / taxa_per_block.
struct block_grid {
  std::size_t taxa_per_block = 1;
  std::size_t blocks = 0;   // a side
  std::vector<float> means; // blocks x blocks, row by row; NaN for a block without a defined cell
};
// Cells on the diagonal, cells that hold `undefined` and NaN cells are left out of every mean.
// The rows are summed on `threads` threads (0: one per processor that the process may use).
// range_error when order is not a permutation of the taxa or max_blocks is 0.
block_grid block_means(const dist_mat_type &mat, std::span<const std::size_t> order, std::size_t max_blocks,
                       std::optional<float> undefined = std::nullopt, unsigned threads = 1);

// The cells below the diagonal of a symmetric matrix, and its labels: what a picture needs of a
// matrix whose square goes to build a tree, in half its memory. Cell (i, j), j < i, is at
// i (i - 1) / 2 + j.
struct lower_triangle {
  tax_lab_type labels;
  fixed_array<float> cells;
  std::size_t n_tax() const noexcept { return labels.size(); }
};
// The cells below the diagonal of mat and its labels (the other cells are not read), copied on
// `threads` threads (0: one per processor that the process may use).
lower_triangle lower_triangle_of(const dist_mat_type &mat, unsigned threads = 1);
// As block_means of the symmetric matrix whose lower triangle tri holds (a mean may differ from
// the square's in its last bit, as the cells are added in another order).
block_grid block_means(const lower_triangle &tri, std::span<const std::size_t> order, std::size_t max_blocks,
                       std::optional<float> undefined = std::nullopt, unsigned threads = 1);

struct heatmap_options {
  svg::colour_map_type colours = svg::colour_map_type::VIRIDIS;
  std::string title;              // above the picture, and the document's title
  std::string subtitle;           // below the title (the order, say)
  std::optional<float> undefined; // cells that hold this value have none
  std::size_t max_blocks = 400;   // blocks a side at most
  unsigned threads = 0;           // for the block means; 0: one per processor
};

// Draws `mat` with the taxa in `order` (a permutation of 0 .. n-1, range_error otherwise) on
// `out`. `tree`, when given, is drawn beside the rows: its leaves must be nodes 0 .. n-1, node i
// standing for taxon i, and leaf_order(tree) must be `order` (range_error otherwise).
void draw_heatmap(const dist_mat_type &mat, std::span<const std::size_t> order, const tree_type *tree,
                  const heatmap_options &options, output_sink &out);
// The same, of the symmetric matrix whose lower triangle tri holds.
void draw_heatmap(const lower_triangle &tri, std::span<const std::size_t> order, const tree_type *tree,
                  const heatmap_options &options, output_sink &out);

struct tree_picture_options {
  std::string title;
};
// Draws the tree on `out`. Branches without a length count as 0 (as 1 in a tree that has no
// lengths at all, which is drawn without a scale bar), negative lengths as 0. An internal node
// shows its label, or its support value when it has no label. range_error for a tree without a
// root.
void draw_tree(const tree_type &tree, const tree_picture_options &options, output_sink &out);

} // namespace phylo
