// UPGMA by the nearest-neighbour chain. The chain grows from a cluster to its nearest
// neighbour until two clusters are each other's nearest; those join (UPGMA's criterion is
// reducible, so every such pair is a join of the tree) and the chain goes on from what is left
// of it. The rows of the square matrix are kept up to date lazily: a join writes the new
// cluster's row, and every other row takes the joins it has missed (its cell of the new cluster
// from its cells of the two joined, the cell of the gone cluster made infinite) just before it
// is next scanned, so that all the work runs along rows. Whenever half of the clusters are
// gone, the living ones are moved together, so that the scans shorten as the tree grows.

#include "phylo/tree_build.hpp"

#include <algorithm>
#include <limits>

namespace phylo {

namespace {

struct join {
  std::size_t kept, gone; // the slots: the new cluster takes `kept`
  float kept_size, gone_size;
};

constexpr float inf = std::numeric_limits<float>::infinity();

// The smallest of n cells and the first place that holds it (n > 0), in lanes that the compiler
// can make vector instructions.
std::size_t first_smallest(const float *row, std::size_t n, float &low) {
  constexpr std::size_t lanes = 16;
  float best[lanes];
  std::fill(best, best + lanes, inf);
  std::size_t j = 0;
  for (; j + lanes <= n; j += lanes)
    for (std::size_t k = 0; k < lanes; ++k) best[k] = row[j + k] < best[k] ? row[j + k] : best[k];
  low = inf;
  for (std::size_t k = 0; k < lanes; ++k) low = best[k] < low ? best[k] : low;
  for (; j < n; ++j) low = row[j] < low ? row[j] : low;
  std::size_t at = 0;
  for (; at + lanes <= n; at += lanes) {
    bool found = false;
    for (std::size_t k = 0; k < lanes; ++k) found |= row[at + k] == low;
    if (found) break;
  }
  while (at + 1 < n && !(row[at] == low)) ++at;
  return at;
}

} // namespace

tree_type build_upgma_chain(dist_mat_type &&dist) {
  const std::size_t n = dist.n_tax();
  if (n < 3) {
    tree_build_options options;
    options.method = tree_method::UPGMA;
    return build_tree(std::move(dist), options);
  }
  check_tree_input(dist);
  float *cells = dist.distances.data();
  std::size_t width = n; // the slots, and the stride of the rows
  for (std::size_t i = 0; i < n; ++i) cells[i * width + i] = inf;

  tree_type tree;
  tree.nodes.reserve(2 * n - 1);
  for (std::size_t i = 0; i < n; ++i) tree.add_node(std::move(dist.labels[i]));
  // Each slot's tree node, cluster size, the joins its row has taken, and whether it lives.
  std::vector<std::size_t> node(n), seen(n, 0);
  std::vector<float> size(n, 1.0f);
  std::vector<char> alive(n, 1);
  std::vector<double> height(2 * n - 1, 0.0);
  for (std::size_t i = 0; i < n; ++i) node[i] = i;
  std::vector<join> joins;
  joins.reserve(n - 1);

  auto row = [&](std::size_t r) { return cells + r * width; };
  auto refresh = [&](std::size_t r) {
    float *cell = row(r);
    for (std::size_t t = seen[r]; t < joins.size(); ++t) {
      const join &j = joins[t];
      cell[j.kept] = (j.kept_size * cell[j.kept] + j.gone_size * cell[j.gone]) / (j.kept_size + j.gone_size);
      cell[j.gone] = inf;
    }
    seen[r] = joins.size();
  };
  std::vector<std::size_t> chain;
  // Moves the living slots together (every row brought up to date first).
  auto compact = [&]() {
    std::vector<std::size_t> to(width, no_node), living;
    for (std::size_t r = 0; r < width; ++r)
      if (alive[r]) refresh(r), to[r] = living.size(), living.push_back(r);
    const std::size_t m = living.size();
    for (std::size_t k = 0; k < m; ++k) {
      const float *from = cells + living[k] * width;
      float *into = cells + k * m;
      for (std::size_t c = 0; c < m; ++c) into[c] = from[living[c]];
      node[k] = node[living[k]], size[k] = size[living[k]];
    }
    for (std::size_t &c : chain) c = to[c];
    width = m;
    node.resize(m), size.resize(m);
    alive.assign(m, 1);
    joins.clear();
    seen.assign(m, 0);
  };

  std::size_t left = n;
  while (left > 1) {
    if (left <= width / 2 && width > 64) compact();
    if (chain.empty())
      chain.push_back(static_cast<std::size_t>(std::find(alive.begin(), alive.end(), 1) - alive.begin()));
    const std::size_t c = chain.back();
    refresh(c);
    const std::size_t previous = chain.size() > 1 ? chain[chain.size() - 2] : no_node;
    float low = 0;
    std::size_t next = first_smallest(row(c), width, low);
    if (previous != no_node && row(c)[previous] == low) next = previous;
    if (next != previous) {
      chain.push_back(next);
      continue;
    }
    chain.pop_back(), chain.pop_back();
    const std::size_t kept = std::min(c, next), gone = std::max(c, next);
    refresh(kept), refresh(gone);
    float *a = row(kept);
    const float *b = row(gone);
    const double h = static_cast<double>(a[gone]) / 2;
    const float sa = size[kept], sb = size[gone];
    for (std::size_t j = 0; j < width; ++j) a[j] = (sa * a[j] + sb * b[j]) / (sa + sb);
    a[kept] = a[gone] = inf;
    joins.push_back({kept, gone, sa, sb});
    seen[kept] = joins.size();
    alive[gone] = 0;
    size[kept] = sa + sb;
    const std::size_t u = tree.add_node();
    height[u] = h;
    for (std::size_t child : {node[kept], node[gone]}) {
      tree.add_child(u, child);
      tree[child].length = h - height[child];
    }
    node[kept] = u;
    --left;
  }
  dist.distances = positive_matrix();
  tree.root = tree.size() - 1;
  tree.rooted = true;
  order_children(tree);
  return tree;
}

} // namespace phylo
