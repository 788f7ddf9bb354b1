// UPGMA by the nearest-neighbour chain. The chain grows from a cluster to its nearest
// neighbour until two clusters are each other's nearest; those join (UPGMA's criterion is
// reducible, so every such pair is a join of the tree) and the chain goes on from what is left
// of it. The rows of the square matrix are kept up to date lazily: a join writes the new
// cluster's row, and every other row takes the joins it has missed (its cell of the new cluster
// from its cells of the two joined, the cell of the gone cluster made infinite) just before it
// is next scanned, so that all the work runs along rows.

#include "phylo/tree_build.hpp"

#include <limits>

namespace phylo {

namespace {

struct join {
  std::size_t kept, gone; // the slots: the new cluster takes `kept`
  float kept_size, gone_size;
};

} // namespace

tree_type build_upgma_chain(dist_mat_type &&dist) {
  const std::size_t n = dist.n_tax();
  if (n < 3) {
    tree_build_options options;
    options.method = tree_method::UPGMA;
    return build_tree(std::move(dist), options);
  }
  check_tree_input(dist);
  constexpr float inf = std::numeric_limits<float>::infinity();
  positive_matrix &d = dist.distances;
  for (std::size_t i = 0; i < n; ++i) d(i, i) = inf;

  tree_type tree;
  tree.nodes.reserve(2 * n - 1);
  for (std::size_t i = 0; i < n; ++i) tree.add_node(std::move(dist.labels[i]));
  std::vector<std::size_t> node(n), seen(n, 0); // the tree node of each slot; the joins its row has taken
  std::vector<float> size(n, 1.0f);
  std::vector<double> height(2 * n - 1, 0.0);
  std::vector<char> alive(n, 1);
  for (std::size_t i = 0; i < n; ++i) node[i] = i;
  std::vector<join> joins;
  joins.reserve(n - 1);

  auto refresh = [&](std::size_t r) {
    float *row = d.row(r);
    for (std::size_t t = seen[r]; t < joins.size(); ++t) {
      const join &j = joins[t];
      row[j.kept] = (j.kept_size * row[j.kept] + j.gone_size * row[j.gone]) / (j.kept_size + j.gone_size);
      row[j.gone] = inf;
    }
    seen[r] = joins.size();
  };
  // The nearest cluster to c (its row up to date), `previous` winning a tie.
  auto nearest = [&](std::size_t c, std::size_t previous) {
    const float *row = d.row(c);
    std::size_t best = 0;
    float low = row[0];
    for (std::size_t j = 1; j < n; ++j)
      if (row[j] < low) low = row[j], best = j;
    if (previous != no_node && row[previous] == low) best = previous;
    return best;
  };

  std::vector<std::size_t> chain;
  std::size_t first_alive = 0, left = n;
  while (left > 1) {
    if (chain.empty()) {
      while (!alive[first_alive]) ++first_alive;
      chain.push_back(first_alive);
    }
    const std::size_t c = chain.back();
    refresh(c);
    const std::size_t previous = chain.size() > 1 ? chain[chain.size() - 2] : no_node;
    const std::size_t next = nearest(c, previous);
    if (next != previous) {
      chain.push_back(next);
      continue;
    }
    chain.pop_back(), chain.pop_back();
    const std::size_t kept = std::min(c, next), gone = std::max(c, next);
    refresh(kept), refresh(gone);
    float *a = d.row(kept);
    const float *b = d.row(gone);
    const double h = static_cast<double>(a[gone]) / 2;
    const float sa = size[kept], sb = size[gone];
    for (std::size_t j = 0; j < n; ++j) a[j] = (sa * a[j] + sb * b[j]) / (sa + sb);
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
