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
#include <cstdint>
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
  // Makes `child` (which has no parent yet) the child of `parent` that follows `previous`, the
  // last child so far (no_node: the first child), without walking the children.
  void add_child_after(std::size_t parent, std::size_t child, std::size_t previous) noexcept {
    nodes[child].parent = parent;
    nodes[child].next_sibling = no_node;
    (previous == no_node ? nodes[parent].first_child : nodes[previous].next_sibling) = child;
  }
  std::size_t child_count(std::size_t v) const noexcept {
    std::size_t k = 0;
    for (std::size_t c = nodes[v].first_child; c != no_node; c = nodes[c].next_sibling) ++k;
    return k;
  }
};

// What becomes of negative branch lengths: kept as they are; made zero; or made zero with the
// deficit moved to the longest sibling branch (which is not made shorter than zero), so that
// the path between the two siblings keeps its length.
enum class negative_rule { KEEP, ZERO, TRANSFER };
void fix_negative_lengths(tree_type &tree, negative_rule rule);

// Merges every internal branch no longer than eps (below a node other than the root, which
// has children) into a polytomy: the node's children take its place among its parent's
// children, in their order. Leaves keep their branches.
void collapse_short_branches(tree_type &tree, double eps);

// Roots the tree in the middle of the longest path between two leaves (branches without a
// length count as zero): when several paths are the longest, the one between the leaves first
// in node order. A root with two children (a rooted tree) is first removed, and so is a root
// of one child (with its child while that has one child too); the new root has two children.
// A tree of fewer than two leaves is left as it is.
void root_at_midpoint(tree_type &tree);

// Roots the tree on the branch that has exactly the leaves labelled `outgroup` on one side, in
// the middle of that branch (the old root removed first, as above); the outgroup is the new
// root's second child. range_error naming the labels when one names no leaf, when the outgroup
// holds every leaf, or when its leaves are not one side of a branch.
void root_with_outgroup(tree_type &tree, const std::vector<std::string> &outgroup);

// Gives each node's children in the order of the first leaf (in node order) below each.
void order_children(tree_type &tree);

// How many trees of a set (a bootstrap's replicates) hold the split of each internal branch
// of a tree: the leaves on the two sides of the branch, compared without regard to the root.
// Leaves are matched by their labels.
class split_support {
public:
  // The splits of the tree's internal branches. range_error when two leaves share a label.
  explicit split_support(const tree_type &tree);
  // Counts the tree's splits that `replicate` holds. range_error when its leaves are not the
  // tree's (another number, or a label the tree lacks); nothing is counted then.
  void add(const tree_type &replicate);
  std::size_t replicates() const noexcept { return replicates_; }
  // Sets the support of the node below each internal branch of `tree` (the tree given to the
  // constructor) to the share of the replicates, 0 to 100, that hold its split.
  void set_support(tree_type &tree) const;

private:
  std::size_t words_ = 0;
  std::vector<std::string> labels_; // of the leaves, by their number
  std::vector<std::size_t> nodes_;  // the node below each split
  std::vector<std::uint64_t> bits_; // each split's leaves, words_ words a split, leaf 0 left out
  std::vector<std::size_t> count_;
  std::size_t replicates_ = 0;
};

} // namespace phylo
