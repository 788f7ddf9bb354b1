// Operations on trees: negative lengths, collapsing short branches, rooting. Rooting works on
// the tree as an undirected graph (each branch an edge carrying its length and support) and
// writes it out again from the new root; every walk uses an explicit stack.

#include "phylo/tree.hpp"

#include "phylo/chars.hpp"
#include "phylo/types.hpp"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace phylo {
namespace {

struct edge_type {
  std::size_t to;
  double length, support;
};

double length_or_zero(double v) { return std::isnan(v) ? 0.0 : v; }

// The tree as a graph; a root of two children is left out, its two branches made one.
struct graph_type {
  std::vector<std::vector<edge_type>> adj;
  std::vector<char> leaf;      // whether each node is a leaf of the tree
  std::size_t start = no_node; // a node of the graph
};

graph_type make_graph(const tree_type &tree) {
  graph_type g;
  g.adj.resize(tree.size());
  g.leaf.resize(tree.size());
  // A root of one child is no branching point: it is left out, and so is its child while that
  // has one child too. The node where that ends is the top.
  std::vector<char> dropped(tree.size(), 0);
  std::size_t root = tree.root;
  while (tree.child_count(root) == 1 && !tree[tree[root].first_child].is_leaf()) {
    dropped[root] = 1;
    root = tree[root].first_child;
  }
  const bool drop_root = tree.child_count(root) == 2;
  if (drop_root) dropped[root] = 1;
  // Each node's edges in the order: parent, then the children in their order.
  for (std::size_t v = 0; v < tree.size(); ++v) {
    g.leaf[v] = tree[v].is_leaf();
    const std::size_t p = tree[v].parent;
    if (p != no_node && !dropped[p]) g.adj[v].push_back({p, tree[v].length, tree[v].support});
    if (dropped[v]) continue;
    for (std::size_t c = tree[v].first_child; c != no_node; c = tree[c].next_sibling)
      g.adj[v].push_back({c, tree[c].length, tree[c].support});
  }
  if (drop_root) {
    const std::size_t a = tree[root].first_child, b = tree[a].next_sibling;
    const double la = tree[a].length, lb = tree[b].length;
    const double length = std::isnan(la) && std::isnan(lb) ? la : length_or_zero(la) + length_or_zero(lb);
    const double support = tree[a].has_support() ? tree[a].support : tree[b].support;
    g.adj[a].insert(g.adj[a].begin(), {b, length, support});
    g.adj[b].insert(g.adj[b].begin(), {a, length, support});
    g.start = a;
  } else {
    g.start = root;
  }
  return g;
}

// The tree written out of the graph with a new root in the edge between u and w, at `from_u`
// along it from u: u's side is the first child, w's the second.
tree_type tree_from_edge(const tree_type &old, const graph_type &g, std::size_t u, std::size_t w, double from_u) {
  const edge_type *uw = nullptr;
  for (const edge_type &e : g.adj[u])
    if (e.to == w) uw = &e;
  tree_type t;
  t.rooted = true;
  t.nodes.reserve(old.size() + 1);
  t.root = t.add_node();
  struct item {
    std::size_t node, from, parent;
    double length, support;
  };
  std::vector<item> stack;
  const double whole = uw->length;
  const double to_w = std::isnan(whole) ? whole : whole - from_u;
  stack.push_back({w, u, t.root, to_w, uw->support});
  stack.push_back({u, w, t.root, std::isnan(whole) ? whole : from_u, uw->support});
  std::vector<std::size_t> last(old.size() + 1, no_node);
  while (!stack.empty()) {
    const item it = stack.back();
    stack.pop_back();
    const std::size_t v = t.add_node(old[it.node].label, it.length);
    t[v].support = it.support;
    const std::size_t parent = it.parent;
    t.add_child_after(parent, v, last[parent]);
    last[parent] = v;
    const auto &edges = g.adj[it.node];
    for (auto e = edges.rbegin(); e != edges.rend(); ++e)
      if (e->to != it.from) stack.push_back({e->to, it.node, v, e->length, e->support});
  }
  // The first child was pushed last: children come out in the order of the edges.
  return t;
}

std::size_t leaf_count(const graph_type &g) {
  std::size_t n = 0;
  for (const char leaf : g.leaf) n += leaf != 0;
  return n;
}

// The distances from `from` to every node, and the node before each on the path.
void distances_from(const graph_type &g, std::size_t from, std::vector<double> &dist, std::vector<std::size_t> &prev) {
  dist.assign(g.adj.size(), -1.0);
  prev.assign(g.adj.size(), no_node);
  std::vector<std::size_t> stack{from};
  dist[from] = 0;
  while (!stack.empty()) {
    const std::size_t v = stack.back();
    stack.pop_back();
    for (const edge_type &e : g.adj[v])
      if (e.to != prev[v] && !(e.to == from)) {
        prev[e.to] = v;
        dist[e.to] = dist[v] + length_or_zero(e.length);
        stack.push_back(e.to);
      }
  }
}

// The leaf other than `from` farthest from it, the first in node order among equals.
std::size_t farthest_leaf(const graph_type &g, const std::vector<double> &dist, std::size_t from) {
  std::size_t best = no_node;
  for (std::size_t v = 0; v < g.adj.size(); ++v)
    if (g.leaf[v] && v != from && (best == no_node || dist[v] > dist[best])) best = v;
  return best;
}

} // namespace

void fix_negative_lengths(tree_type &tree, negative_rule rule) {
  if (rule == negative_rule::KEEP) return;
  for (std::size_t p = 0; p < tree.size(); ++p) {
    double deficit = 0;
    std::size_t longest = no_node;
    for (std::size_t c = tree[p].first_child; c != no_node; c = tree[c].next_sibling) {
      if (tree[c].length < 0) {
        deficit += tree[c].length;
        tree[c].length = 0;
      } else if (tree[c].has_length() && (longest == no_node || tree[c].length > tree[longest].length)) {
        longest = c;
      }
    }
    if (rule == negative_rule::TRANSFER && deficit < 0 && longest != no_node)
      tree[longest].length = std::max(0.0, tree[longest].length + deficit);
  }
}

void collapse_short_branches(tree_type &tree, double eps) {
  if (tree.root == no_node) return;
  auto collapsed = [&](std::size_t v) {
    return v != tree.root && !tree[v].is_leaf() && tree[v].has_length() && tree[v].length <= eps;
  };
  tree_type t;
  t.rooted = tree.rooted;
  t.nodes.reserve(tree.size());
  std::vector<std::size_t> last;
  // (old node, new parent): a collapsed node passes its parent on to its children.
  std::vector<std::pair<std::size_t, std::size_t>> stack{{tree.root, no_node}};
  while (!stack.empty()) {
    const auto [v, parent] = stack.back();
    stack.pop_back();
    std::size_t here = parent;
    if (!collapsed(v)) {
      tree_node node = tree[v];
      node.parent = node.first_child = node.next_sibling = no_node;
      t.nodes.push_back(std::move(node));
      here = t.size() - 1;
      last.push_back(no_node);
      if (parent == no_node) t.root = here;
      else t.add_child_after(parent, here, last[parent]), last[parent] = here;
    }
    std::vector<std::size_t> children;
    for (std::size_t c = tree[v].first_child; c != no_node; c = tree[c].next_sibling) children.push_back(c);
    for (auto c = children.rbegin(); c != children.rend(); ++c) stack.push_back({*c, here});
  }
  tree = std::move(t);
}

void root_at_midpoint(tree_type &tree) {
  if (tree.root == no_node) return;
  const graph_type g = make_graph(tree);
  if (leaf_count(g) < 2) return;
  std::vector<double> dist;
  std::vector<std::size_t> prev;
  std::size_t first_leaf = no_node;
  for (std::size_t v = 0; v < g.adj.size() && first_leaf == no_node; ++v)
    if (g.leaf[v]) first_leaf = v;
  distances_from(g, first_leaf, dist, prev);
  const std::size_t a = farthest_leaf(g, dist, first_leaf);
  distances_from(g, a, dist, prev);
  const std::size_t b = farthest_leaf(g, dist, a);
  const double half = dist[b] / 2;
  // Walk from b towards a until the path from a is no longer than half of it.
  std::size_t w = b;
  while (prev[w] != a && dist[prev[w]] > half) w = prev[w];
  // The midpoint lies on the edge between u = prev[w] and w: half - dist[u] from u.
  const std::size_t u = prev[w];
  tree = tree_from_edge(tree, g, u, w, half - dist[u]);
}

void root_with_outgroup(tree_type &tree, const std::vector<std::string> &outgroup) {
  if (tree.root == no_node) throw range_error("the tree is empty");
  const graph_type g = make_graph(tree);
  std::unordered_map<std::string_view, std::size_t> leaves;
  for (std::size_t v = 0; v < g.adj.size(); ++v)
    if (g.leaf[v]) leaves.emplace(tree[v].label, v);
  std::vector<char> in_group(g.adj.size(), 0);
  std::size_t wanted = 0;
  std::string names;
  for (const std::string &label : outgroup) {
    const auto it = leaves.find(label);
    if (it == leaves.end()) throw range_error("the tree has no taxon '" + label + "'");
    if (!in_group[it->second]) {
      in_group[it->second] = 1;
      ++wanted;
      names += (names.empty() ? "'" : ", '") + label + "'";
    }
  }
  std::size_t start = no_node;
  for (std::size_t v = 0; v < g.adj.size() && start == no_node; ++v)
    if (g.leaf[v] && !in_group[v]) start = v;
  if (start == no_node) throw range_error("the outgroup " + names + " holds every taxon of the tree");
  // Walk from a leaf outside the outgroup; count below every node the leaves and the outgroup's.
  std::vector<std::size_t> order, prev(g.adj.size(), no_node);
  std::vector<std::size_t> stack{start};
  std::vector<char> seen(g.adj.size(), 0);
  seen[start] = 1;
  while (!stack.empty()) {
    const std::size_t v = stack.back();
    stack.pop_back();
    order.push_back(v);
    for (const edge_type &e : g.adj[v])
      if (!seen[e.to]) seen[e.to] = 1, prev[e.to] = v, stack.push_back(e.to);
  }
  std::vector<std::size_t> all(g.adj.size(), 0), out(g.adj.size(), 0);
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const std::size_t v = *it;
    if (g.leaf[v] && v != start) all[v] += 1, out[v] += in_group[v];
    if (prev[v] != no_node) all[prev[v]] += all[v], out[prev[v]] += out[v];
  }
  for (const std::size_t v : order) {
    if (v == start || out[v] != wanted || all[v] != wanted) continue;
    const std::size_t p = prev[v];
    double length = 0;
    for (const edge_type &e : g.adj[p])
      if (e.to == v) length = e.length;
    tree = tree_from_edge(tree, g, p, v, std::isnan(length) ? length : length / 2);
    return;
  }
  throw range_error("the outgroup " + names + " is not one side of a branch of the tree");
}

void order_children(tree_type &tree) {
  if (tree.root == no_node) return;
  std::vector<std::size_t> first(tree.size(), no_node), order;
  std::vector<std::size_t> stack{tree.root};
  while (!stack.empty()) {
    const std::size_t v = stack.back();
    stack.pop_back();
    order.push_back(v);
    for (std::size_t c = tree[v].first_child; c != no_node; c = tree[c].next_sibling) stack.push_back(c);
  }
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const std::size_t v = *it;
    if (tree[v].is_leaf()) first[v] = v;
    const std::size_t p = tree[v].parent;
    if (p != no_node) first[p] = std::min(first[p], first[v]);
  }
  std::vector<std::size_t> children;
  for (const std::size_t v : order) {
    children.clear();
    for (std::size_t c = tree[v].first_child; c != no_node; c = tree[c].next_sibling) children.push_back(c);
    std::sort(children.begin(), children.end(), [&](std::size_t a, std::size_t b) { return first[a] < first[b]; });
    std::size_t previous = no_node;
    for (const std::size_t c : children) tree.add_child_after(v, c, previous), previous = c;
  }
}

namespace {

// The leaves below each node, as bit sets of `words` words a node by the leaves' numbers,
// with every set that holds leaf 0 replaced by its complement, so that a split and its
// complement compare equal. -1 in `number` marks a node that is no leaf.
std::vector<std::uint64_t> below_sets(const tree_type &tree, const std::vector<std::size_t> &number, std::size_t leaves,
                                      std::size_t words) {
  std::vector<std::uint64_t> bits(tree.size() * words, 0);
  // Children before parents: the nodes in the order of a walk from the root, taken backwards.
  std::vector<std::size_t> order, stack{tree.root};
  while (!stack.empty()) {
    const std::size_t v = stack.back();
    stack.pop_back();
    order.push_back(v);
    for (std::size_t c = tree[v].first_child; c != no_node; c = tree[c].next_sibling) stack.push_back(c);
  }
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const std::size_t v = *it;
    std::uint64_t *set = bits.data() + v * words;
    if (tree[v].is_leaf()) set[number[v] / 64] |= std::uint64_t{1} << (number[v] % 64);
    else
      for (std::size_t c = tree[v].first_child; c != no_node; c = tree[c].next_sibling)
        for (std::size_t w = 0; w < words; ++w) set[w] |= bits[c * words + w];
  }
  for (std::size_t v : order) {
    std::uint64_t *set = bits.data() + v * words;
    if (set[0] & 1) {
      for (std::size_t w = 0; w < words; ++w) set[w] = ~set[w];
      if (leaves % 64) set[words - 1] &= (std::uint64_t{1} << (leaves % 64)) - 1;
    }
  }
  return bits;
}

std::size_t hash_words(const std::uint64_t *w, std::size_t words) noexcept {
  std::uint64_t h = 0x9E3779B97F4A7C15u;
  for (std::size_t k = 0; k < words; ++k) h = (h ^ w[k]) * 0xBF58476D1CE4E5B9u + (h >> 29);
  return static_cast<std::size_t>(h);
}

} // namespace

split_support::split_support(const tree_type &tree) {
  std::vector<std::size_t> number(tree.size(), static_cast<std::size_t>(-1));
  std::unordered_map<std::string_view, std::size_t> seen;
  for (std::size_t v = 0; v < tree.size(); ++v)
    if (tree[v].is_leaf() && (tree.root == v || tree[v].parent != no_node)) {
      if (!seen.emplace(tree[v].label, labels_.size()).second)
        throw range_error("two leaves of the tree are labelled " + quote_text(tree[v].label));
      number[v] = labels_.size();
      labels_.push_back(tree[v].label);
    }
  if (tree.root == no_node) return;
  words_ = (labels_.size() + 63) / 64;
  const std::vector<std::uint64_t> bits = below_sets(tree, number, labels_.size(), words_);
  for (std::size_t v = 0; v < tree.size(); ++v) {
    if (v == tree.root || tree[v].is_leaf() || tree[v].parent == no_node) continue;
    nodes_.push_back(v);
    bits_.insert(bits_.end(), bits.begin() + static_cast<std::ptrdiff_t>(v * words_),
                 bits.begin() + static_cast<std::ptrdiff_t>((v + 1) * words_));
  }
  count_.assign(nodes_.size(), 0);
}

void split_support::add(const tree_type &replicate) {
  std::unordered_map<std::string_view, std::size_t> index;
  for (std::size_t k = 0; k < labels_.size(); ++k) index.emplace(labels_[k], k);
  std::vector<std::size_t> number(replicate.size(), static_cast<std::size_t>(-1));
  std::vector<bool> taken(labels_.size(), false);
  std::size_t leaves = 0;
  for (std::size_t v = 0; v < replicate.size(); ++v) {
    if (!replicate[v].is_leaf() || (replicate.root != v && replicate[v].parent == no_node)) continue;
    const auto it = index.find(replicate[v].label);
    if (it == index.end() || taken[it->second])
      throw range_error("the leaf " + quote_text(replicate[v].label) + " of a replicate is none of the tree's");
    taken[it->second] = true;
    number[v] = it->second;
    ++leaves;
  }
  if (leaves != labels_.size())
    throw range_error("a replicate has " + std::to_string(leaves) + " leaves, the tree " +
                      std::to_string(labels_.size()));
  ++replicates_;
  if (nodes_.empty() || replicate.root == no_node) return;
  const std::vector<std::uint64_t> bits = below_sets(replicate, number, labels_.size(), words_);
  // The replicate's splits, each once (the two sides of a rooted tree's root give one split).
  std::unordered_map<std::size_t, std::vector<std::size_t>> by_hash;
  for (std::size_t v = 0; v < replicate.size(); ++v)
    if (v != replicate.root && !replicate[v].is_leaf() && replicate[v].parent != no_node)
      by_hash[hash_words(bits.data() + v * words_, words_)].push_back(v);
  for (std::size_t s = 0; s < nodes_.size(); ++s) {
    const std::uint64_t *split = bits_.data() + s * words_;
    const auto it = by_hash.find(hash_words(split, words_));
    if (it == by_hash.end()) continue;
    for (std::size_t v : it->second)
      if (std::equal(split, split + words_, bits.data() + v * words_)) {
        ++count_[s];
        break;
      }
  }
}

void split_support::set_support(tree_type &tree) const {
  for (std::size_t s = 0; s < nodes_.size(); ++s)
    tree[nodes_[s]].support =
        replicates_ == 0 ? 0.0 : 100.0 * static_cast<double>(count_[s]) / static_cast<double>(replicates_);
}

} // namespace phylo
