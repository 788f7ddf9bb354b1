// Agglomerative tree building: NJ, BIONJ, UPGMA and WPGMA.
//
// How the matrix is stored. The distances live in one packed lower triangle of doubles, by
// slot: d(i, j) for j < i at cells[i (i-1)/2 + j], half the memory of a square and exact for
// every value computed. The new cluster of a join takes the lower slot of the two, so the
// triangle never grows. BIONJ keeps its variances in a second triangle of the same shape.
//
// How the pair is found. Scanning every pair at every join costs n^3/3 evaluations; instead,
// as RapidNJ does, each cluster keeps the clusters older than itself sorted by their distance
// to it (a float rounded down, and the slot), and a scan of that list stops at the first entry
// whose bound cannot beat the best pair found so far: for NJ, (r-2) v - R(i) - max R is no
// larger than Q(i, j) for every later entry j, because v <= d(i, j) and max R >= R(j), and
// rounding keeps the order of these operations; for UPGMA and WPGMA the bound is v itself. A
// bound equal to the best does not stop the scan, so ties are settled exactly by the rule of
// the header. An entry whose slot has been joined (or taken by a newer cluster) is dead and
// is skipped; dead entries at the front are dropped for good, and a list with many dead ones is
// compacted. The pairs of a new cluster are all in its own list, so no other list needs to be
// sorted again. The rows are scanned on several threads, each keeping its best pair; the best
// of theirs by the same rule is the pair that joins, whatever the number of threads.

#include "phylo/tree_build.hpp"

#include "phylo/dna_dist.hpp"
#include "phylo/number.hpp"

#include <algorithm>
#include <barrier>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <thread>
#include <unordered_map>
#include <vector>

namespace phylo {

void check_tree_input(const dist_mat_type &dist) {
  const std::size_t n = dist.n_tax();
  if (n == 0) throw tree_input_error(tree_input_problem::EMPTY, 0, 0, "the matrix has no taxa");
  auto cell = [&](std::size_t i, std::size_t j) {
    return "cell (" + std::to_string(i + 1) + ", " + std::to_string(j + 1) + ") ('" + dist.labels[i] + "', '" +
           dist.labels[j] + "')";
  };
  for (std::size_t i = 0; i < n; ++i) {
    const float *row = dist.distances.row(i);
    for (std::size_t j = 0; j < n; ++j) {
      if (!std::isfinite(row[j]))
        throw tree_input_error(tree_input_problem::NOT_FINITE, i, j, cell(i, j) + " is not a finite number");
      if (row[j] < 0)
        throw tree_input_error(tree_input_problem::NEGATIVE, i, j,
                               cell(i, j) + " holds the negative distance " + print::shortest_decimal(row[j]));
    }
  }
  for (std::size_t i = 0; i < n; ++i)
    if (dist.distances(i, i) != 0)
      throw tree_input_error(tree_input_problem::DIAGONAL, i, i,
                             "the diagonal cell of '" + dist.labels[i] + "' (row " + std::to_string(i + 1) +
                                 ") holds " + print::shortest_decimal(dist.distances(i, i)) + ", not 0");
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (dist.distances(i, j) != dist.distances(j, i))
        throw tree_input_error(tree_input_problem::ASYMMETRIC, i, j,
                               "the matrix is not symmetric: " + cell(i, j) + " holds " +
                                   print::shortest_decimal(dist.distances(i, j)) + " and " + cell(j, i) + " holds " +
                                   print::shortest_decimal(dist.distances(j, i)));
  std::unordered_map<std::string_view, std::size_t> seen;
  for (std::size_t i = 0; i < n; ++i) {
    const auto [it, fresh] = seen.emplace(dist.labels[i], i);
    if (!fresh)
      throw tree_input_error(tree_input_problem::DUPLICATE_LABEL, it->second, i,
                             "taxa " + std::to_string(it->second + 1) + " and " + std::to_string(i + 1) +
                                 " have the same label '" + dist.labels[i] + "'");
  }
}

namespace {

struct entry_type {
  float v;            // the distance, rounded down
  std::uint32_t slot; // the other cluster
};

// The largest float that is not above d.
float round_down(double d) {
  float f = static_cast<float>(d);
  if (static_cast<double>(f) > d) f = std::nextafter(f, -std::numeric_limits<float>::infinity());
  return f;
}

void sort_entries(std::vector<entry_type> &list) {
  std::sort(list.begin(), list.end(),
            [](const entry_type &a, const entry_type &b) { return a.v < b.v || (a.v == b.v && a.slot < b.slot); });
}

// The best pair found by a scan: the criterion, then the ranks of the younger and older member.
struct pair_type {
  double q = std::numeric_limits<double>::infinity();
  std::uint64_t young_rank = std::numeric_limits<std::uint64_t>::max(), old_rank = 0;
  std::uint32_t young = 0, old = 0; // their slots
  bool better_than(const pair_type &o) const noexcept {
    if (q != o.q) return q < o.q;
    if (young_rank != o.young_rank) return young_rank < o.young_rank;
    return old_rank < o.old_rank;
  }
};

class agglomeration {
public:
  agglomeration(dist_mat_type &&dist, const tree_build_options &options) : n_(dist.n_tax()), method_(options.method) {
    const bool nj_family = method_ == tree_method::NJ || method_ == tree_method::BIONJ;
    threads_ = options.threads != 0 ? options.threads : dna::available_cpus();
    if (n_ < 64) threads_ = 1;
    threads_ = std::min<unsigned>(threads_, 64);
    offset_.resize(n_);
    for (std::size_t i = 0; i < n_; ++i) offset_[i] = i * (i - 1) / 2;
    if (n_ > 0) offset_[0] = 0;
    cells_.resize(n_ * (n_ - 1) / 2);
    for (std::size_t i = 1; i < n_; ++i) {
      const float *row = dist.distances.row(i);
      double *to = cells_.data() + offset_[i];
      for (std::size_t j = 0; j < i; ++j) to[j] = row[j];
    }
    lists_.resize(n_);
    begin_.assign(n_, 0);
    // The lists of the taxa, sorted on every thread.
    run_threads([&](unsigned t) {
      for (std::size_t i = t; i < n_; i += threads_) {
        const float *row = dist.distances.row(i);
        std::vector<entry_type> &list = lists_[i];
        list.resize(i);
        for (std::size_t j = 0; j < i; ++j) list[j] = {row[j], static_cast<std::uint32_t>(j)};
        sort_entries(list);
      }
    });
    tree_.nodes.reserve(2 * n_);
    for (std::size_t i = 0; i < n_; ++i) tree_.add_node(std::move(dist.labels[i]));
    dist = dist_mat_type(0); // the input's cells are no longer needed
    if (method_ == tree_method::BIONJ) variance_ = cells_;
    rank_.resize(n_);
    node_.resize(n_);
    active_.assign(n_, 1);
    size_.assign(n_, 1.0);
    height_.assign(n_, 0.0);
    for (std::size_t i = 0; i < n_; ++i) rank_[i] = i, node_[i] = i, slots_.push_back(static_cast<std::uint32_t>(i));
    if (nj_family) {
      sums_.assign(n_, 0.0);
      for (std::size_t i = 1; i < n_; ++i)
        for (std::size_t j = 0; j < i; ++j) {
          sums_[i] += cells_[offset_[i] + j];
          sums_[j] += cells_[offset_[i] + j];
        }
    }
  }

  tree_type run() {
    const bool nj_family = method_ == tree_method::NJ || method_ == tree_method::BIONJ;
    if (n_ == 1) {
      tree_.root = tree_.add_node();
      tree_.add_child(tree_.root, 0);
      tree_.rooted = false;
      return std::move(tree_);
    }
    const std::size_t stop = nj_family ? 3 : 1;
    if (n_ == 2) {
      join_two();
    } else {
      std::unique_ptr<std::barrier<>> start, done;
      std::vector<std::thread> workers;
      std::vector<pair_type> found(threads_);
      bool finished = false;
      if (threads_ > 1) {
        start = std::make_unique<std::barrier<>>(threads_);
        done = std::make_unique<std::barrier<>>(threads_);
        for (unsigned t = 1; t < threads_; ++t)
          workers.emplace_back([&, t] {
            for (;;) {
              start->arrive_and_wait();
              if (finished) return;
              found[t] = scan(t);
              done->arrive_and_wait();
            }
          });
      }
      while (slots_.size() > stop) {
        prepare_scan();
        if (threads_ > 1) start->arrive_and_wait();
        found[0] = scan(0);
        if (threads_ > 1) done->arrive_and_wait();
        pair_type best = found[0];
        for (unsigned t = 1; t < threads_; ++t)
          if (found[t].better_than(best)) best = found[t];
        join(best);
      }
      if (threads_ > 1) {
        finished = true;
        start->arrive_and_wait();
        for (std::thread &w : workers) w.join();
      }
      if (nj_family) join_three();
    }
    tree_.rooted = !nj_family;
    order_children(tree_);
    return std::move(tree_);
  }

private:
  double d(std::size_t i, std::size_t j) const noexcept {
    return i > j ? cells_[offset_[i] + j] : cells_[offset_[j] + i];
  }
  double &cell(std::vector<double> &m, std::size_t i, std::size_t j) noexcept {
    return i > j ? m[offset_[i] + j] : m[offset_[j] + i];
  }

  template <class F> void run_threads(F &&body) {
    if (threads_ <= 1) {
      body(0u);
      return;
    }
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads_; ++t) pool.emplace_back([&, t] { body(t); });
    body(0u);
    for (std::thread &th : pool) th.join();
  }

  void prepare_scan() {
    factor_ = static_cast<double>(slots_.size()) - 2.0;
    max_sum_ = -std::numeric_limits<double>::infinity();
    if (!sums_.empty())
      for (const std::uint32_t s : slots_) max_sum_ = std::max(max_sum_, sums_[s]);
  }

  bool dead(std::uint32_t owner, std::uint32_t s) const noexcept { return !active_[s] || rank_[s] > rank_[owner]; }

  // The best pair among the rows of the slots t, t + threads, ... of the active list.
  pair_type scan(unsigned t) {
    pair_type best;
    const bool nj_family = !sums_.empty();
    for (std::size_t x = t; x < slots_.size(); x += threads_) {
      const std::uint32_t k = slots_[x];
      std::vector<entry_type> &list = lists_[k];
      std::size_t p = begin_[k];
      while (p < list.size() && dead(k, list[p].slot)) ++p;
      begin_[k] = static_cast<std::uint32_t>(p);
      std::size_t stale = 0;
      const std::size_t from = p;
      if (nj_family) {
        const double c = factor_, rk = sums_[k], rmax = max_sum_;
        for (; p < list.size(); ++p) {
          const entry_type e = list[p];
          if ((c * static_cast<double>(e.v) - rk) - rmax > best.q) break;
          if (dead(k, e.slot)) {
            ++stale;
            continue;
          }
          const double q = (c * d(k, e.slot) - rk) - sums_[e.slot];
          consider(best, q, k, e.slot);
        }
      } else {
        for (; p < list.size(); ++p) {
          const entry_type e = list[p];
          if (static_cast<double>(e.v) > best.q) break;
          if (dead(k, e.slot)) {
            ++stale;
            continue;
          }
          consider(best, d(k, e.slot), k, e.slot);
        }
      }
      if (stale > 32 && 2 * stale > p - from) compact(k);
    }
    return best;
  }

  void consider(pair_type &best, double q, std::uint32_t young, std::uint32_t old) const noexcept {
    pair_type here{q, rank_[young], rank_[old], young, old};
    if (here.better_than(best)) best = here;
  }

  void compact(std::uint32_t k) {
    std::vector<entry_type> &list = lists_[k];
    std::size_t to = 0;
    for (std::size_t p = begin_[k]; p < list.size(); ++p)
      if (!dead(k, list[p].slot)) list[to++] = list[p];
    list.resize(to);
    list.shrink_to_fit();
    begin_[k] = 0;
  }

  std::size_t new_node(std::size_t a, double la, std::size_t b, double lb) {
    const std::size_t u = tree_.add_node();
    tree_[node_[a]].length = la;
    tree_[node_[b]].length = lb;
    tree_.add_child(u, node_[a]);
    tree_.add_child(u, node_[b]);
    return u;
  }

  void join_two() {
    const double half = d(1, 0) / 2;
    tree_.root = new_node(0, half, 1, half);
  }

  void join_three() {
    const std::uint32_t x = slots_[0], y = slots_[1], z = slots_[2];
    const double dxy = d(x, y), dxz = d(x, z), dyz = d(y, z);
    const std::size_t root = tree_.add_node();
    for (const auto &[s, length] : {std::pair{x, (dxy + dxz - dyz) / 2}, std::pair{y, (dxy + dyz - dxz) / 2},
                                    std::pair{z, (dxz + dyz - dxy) / 2}}) {
      tree_[node_[s]].length = length;
      tree_.add_child(root, node_[s]);
    }
    tree_.root = root;
  }

  void join(const pair_type &pair) {
    // i is the older member, j the younger.
    const std::uint32_t i = pair.old, j = pair.young;
    const std::uint32_t lo = std::min(i, j), hi = std::max(i, j);
    const double dij = d(i, j);
    const double r = static_cast<double>(slots_.size());
    double li = 0, lj = 0, lambda = 0.5;
    switch (method_) {
    case tree_method::NJ:
    case tree_method::BIONJ:
      li = dij / 2 + (sums_[i] - sums_[j]) / (2 * (r - 2));
      lj = dij - li;
      break;
    case tree_method::UPGMA:
    case tree_method::WPGMA:
      li = dij / 2 - height_[i];
      lj = dij / 2 - height_[j];
      break;
    }
    if (method_ == tree_method::BIONJ) {
      const double vij = cell(variance_, i, j);
      if (vij != 0) {
        double sum = 0;
        for (const std::uint32_t k : slots_)
          if (k != i && k != j) sum += cell(variance_, j, k) - cell(variance_, i, k);
        lambda = 0.5 + sum / (2 * (r - 2) * vij);
        lambda = std::clamp(lambda, 0.0, 1.0);
      }
    }
    const std::size_t u = new_node(i, li, j, lj);
    const double si = size_[i], sj = size_[j];
    // The new row, written in the slot lo, and its list.
    std::vector<entry_type> list;
    list.reserve(slots_.size() - 2);
    double sum_u = 0;
    for (const std::uint32_t k : slots_) {
      if (k == i || k == j) continue;
      const double dik = d(i, k), djk = d(j, k);
      double duk = 0;
      switch (method_) {
      case tree_method::NJ: duk = (dik + djk - dij) / 2; break;
      case tree_method::BIONJ: {
        duk = lambda * (dik - li) + (1 - lambda) * (djk - lj);
        const double vik = cell(variance_, i, k), vjk = cell(variance_, j, k);
        cell(variance_, lo, k) = lambda * vik + (1 - lambda) * vjk - lambda * (1 - lambda) * cell(variance_, i, j);
        break;
      }
      case tree_method::UPGMA: duk = (si * dik + sj * djk) / (si + sj); break;
      case tree_method::WPGMA: duk = (dik + djk) / 2; break;
      }
      if (!sums_.empty()) {
        sums_[k] = (sums_[k] - dik - djk) + duk;
        sum_u += duk;
      }
      cell(cells_, lo, k) = duk;
      list.push_back({round_down(duk), k});
    }
    sort_entries(list);
    if (!sums_.empty()) sums_[lo] = sum_u;
    size_[lo] = si + sj;
    height_[lo] = dij / 2;
    node_[lo] = u;
    rank_[lo] = n_ + joins_++;
    active_[hi] = 0;
    slots_.erase(std::find(slots_.begin(), slots_.end(), hi));
    lists_[lo] = std::move(list);
    begin_[lo] = 0;
    std::vector<entry_type>().swap(lists_[hi]);
    tree_.root = u;
  }

  std::size_t n_;
  tree_method method_;
  unsigned threads_ = 1;
  std::vector<std::size_t> offset_;
  std::vector<double> cells_, variance_;
  std::vector<std::vector<entry_type>> lists_;
  std::vector<std::uint32_t> begin_;
  std::vector<std::uint64_t> rank_;
  std::vector<std::size_t> node_;
  std::vector<char> active_;
  std::vector<double> sums_, size_, height_;
  std::vector<std::uint32_t> slots_; // the active slots, in increasing order
  std::uint64_t joins_ = 0;
  double factor_ = 0, max_sum_ = 0;
  tree_type tree_;
};

} // namespace

tree_type build_tree(dist_mat_type &&dist, const tree_build_options &options) {
  check_tree_input(dist);
  if (dist.n_tax() > std::numeric_limits<std::uint32_t>::max() / 2)
    throw range_error("a matrix of " + std::to_string(dist.n_tax()) + " taxa is too large for a tree");
  agglomeration work(std::move(dist), options);
  return work.run();
}

} // namespace phylo
