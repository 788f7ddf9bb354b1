// phylo: phylogenetic trees as plain data.
//
// A tree is one array of nodes that refer to each other by index: each node knows its
// parent, its first child and its next sibling, so that a tree of any size is one
// allocation and children keep the order in which they were added. Leaves are the nodes
// without children; their labels name the taxa. Internal nodes may carry a label too (a
// support value read from a Newick text, say) and a support value of their own.
#pragma once

#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace phylo {

// The index that stands for "no node".
inline constexpr std::size_t no_node = static_cast<std::size_t>(-1);

struct tree_node {
  std::size_t parent = no_node;
  std::size_t first_child = no_node;
  std::size_t next_sibling = no_node;
  // The length of the branch to the parent; NaN when the tree gives none.
  double length = std::numeric_limits<double>::quiet_NaN();
  // The share of replicates (0 to 100) that hold the split below this branch; NaN when none.
  double support = std::numeric_limits<double>::quiet_NaN();
  std::string label;

  bool is_leaf() const noexcept { return first_child == no_node; }
  bool has_length() const noexcept { return !std::isnan(length); }
  bool has_support() const noexcept { return !std::isnan(support); }
};

struct tree_type {
  std::vector<tree_node> nodes;
  std::size_t root = no_node;
  // Whether the root stands for a real root (UPGMA, WPGMA, a rooted Newick text), rather
  // than the place where an unrooted tree is written from.
  bool rooted = false;

  std::size_t size() const noexcept { return nodes.size(); }
  tree_node &operator[](std::size_t i) noexcept { return nodes[i]; }
  const tree_node &operator[](std::size_t i) const noexcept { return nodes[i]; }

  // Appends a node without parent or children and returns its index.
  std::size_t add_node(std::string label = {}, double length = std::numeric_limits<double>::quiet_NaN()) {
    tree_node node;
    node.label = std::move(label);
    node.length = length;
    nodes.push_back(std::move(node));
    return nodes.size() - 1;
  }
  // Makes `child` (which has no parent yet) the last child of `parent`.
  void add_child(std::size_t parent, std::size_t child) {
    nodes[child].parent = parent;
    nodes[child].next_sibling = no_node;
    std::size_t *link = &nodes[parent].first_child;
    while (*link != no_node) link = &nodes[*link].next_sibling;
    *link = child;
  }
};

} // namespace phylo
