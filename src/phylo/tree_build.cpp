// Agglomerative tree building: NJ, BIONJ, UPGMA and WPGMA.
//
// How the matrix is stored, and why. The distances live in one packed lower triangle of
// doubles, by slot: d(i, j) for j < i at cells[i (i-1)/2 + j]. Doubles, because every value
// computed from the input's floats must be kept exactly for the tree to be the one that the
// definition gives; a triangle, because that costs 4 bytes a cell (n^2 cells), as much as the
// input's square of floats, whose memory it takes over: row by row, the triangle is written
// over the square as it is read, so that the input and the work are never held at once. The
// new cluster of a join takes the lower slot of the two, so the triangle never grows. The
// sorted lists below cost 4 bytes a pair (2 a cell) up to 65536 taxa, 6 bytes a cell in all.
// BIONJ keeps its variances in a second triangle of the same shape.
//
// How the pair is found. Scanning every pair at every join costs n^3/3 evaluations; instead,
// as RapidNJ does, each cluster keeps the clusters older than itself sorted by their distance
// to it (rounded down: see narrow_entry), and a scan of that list stops at the first entry
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
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

namespace phylo {

void check_tree_input(const dist_mat_type &dist) {
  const std::size_t n = dist.n_tax();
  if (n == 0) throw tree_input_error(tree_input_problem::EMPTY, 0, 0, "the matrix has no taxa");
  auto cell = [&](std::size_t i, std::size_t j) {
    return "cell (" + std::to_string(i + 1) + ", " + std::to_string(j + 1) + ") ('" + dist.labels[i] + "', '" +
           dist.labels[j] + "')";
  };
  // A cell is finite and not negative when it lies in 0 .. the largest float (NaN does not):
  // checked for the whole matrix at once, and cell by cell only when one is not.
  bool in_range = true;
  for (std::size_t i = 0; i < n; ++i) {
    const float *row = dist.distances.row(i);
    int all = 1;
    for (std::size_t j = 0; j < n; ++j) all &= (row[j] >= 0) & (row[j] <= std::numeric_limits<float>::max());
    in_range = in_range && all;
  }
  for (std::size_t i = 0; i < n && !in_range; ++i) {
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
  // Symmetry is first checked tile by tile, so that the cells (j, i) are read along cache lines;
  // only a matrix that is not symmetric is walked in row order to find its first such cell.
  constexpr std::size_t tile = 64;
  bool symmetric = true;
  for (std::size_t ib = 0; ib < n && symmetric; ib += tile)
    for (std::size_t jb = 0; jb <= ib && symmetric; jb += tile)
      for (std::size_t i = ib; i < std::min(n, ib + tile); ++i) {
        const float *row = dist.distances.row(i);
        int same = 1;
        for (std::size_t j = jb; j < std::min(i, jb + tile); ++j) same &= row[j] == dist.distances(j, i);
        symmetric = symmetric && same;
      }
  for (std::size_t i = 0; i < n && !symmetric; ++i)
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

// A list entry for at most 65536 taxa: the other cluster's slot, and a 16-bit code of the
// distance within the range of its list, rounded down (list k decodes code c as lo + c step),
// so that a list costs 4 bytes a cluster; beyond 65536 taxa, the distance as a float rounded
// down and the slot, 8 bytes.
struct narrow_entry {
  std::uint16_t code;
  std::uint16_t slot;
};
struct wide_entry {
  float v;
  std::uint32_t slot;
};

// A distance of a new list with its slot, before it is coded.
struct raw_entry {
  double d;
  std::uint32_t slot;
};

// The largest float that is not above d.
float round_down(double d) {
  float f = static_cast<float>(d);
  if (static_cast<double>(f) > d) f = std::nextafter(f, -std::numeric_limits<float>::infinity());
  return f;
}

// The range of a list: its entries decode as lo + code * step.
struct list_scale {
  double lo = 0, step = 0;
};

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

// The lists are cut into buckets by the sum R of the other cluster: a cluster's bucket is fixed
// when it is made, by its R relative to the mean R of that time, and the bound of a bucket uses
// the largest R among its clusters rather than the largest of all, which is much closer to R(j).
constexpr unsigned nj_buckets = 16;
// The rows of the active list that a thread scans at a time.
constexpr std::size_t chunk_rows = 256;

template <class entry_type> class agglomeration {
  static constexpr bool narrow = std::is_same_v<entry_type, narrow_entry>;

public:
  agglomeration(dist_mat_type &&dist, const tree_build_options &options)
      : n_(dist.n_tax()), method_(options.method),
        buckets_(method_ == tree_method::NJ || method_ == tree_method::BIONJ ? nj_buckets : 1),
        input_(std::move(dist)) {
    threads_ = options.threads != 0 ? options.threads : dna::available_cpus();
    if (n_ < 64) threads_ = 1;
    threads_ = std::min<unsigned>(threads_, 64);
    parallel_from_ = options.parallel_from;
    progress_ = options.progress;
    offset_.resize(n_);
    for (std::size_t i = 0; i < n_; ++i) offset_[i] = i == 0 ? 0 : i * (i - 1) / 2;
    // The triangle of doubles takes the place of the square of floats, row by row: row i of the
    // triangle ends at byte 4 i (i+1), never past the start of row i of the square (4 n i), so
    // the rows still to be read are intact. Copies go through memcpy, and this file is built
    // without type-based alias analysis, as the bytes change type here.
    {
      float *square = input_.distances.data();
      cells_ = reinterpret_cast<double *>(static_cast<void *>(square));
      std::vector<float> from(n_);
      std::vector<double> to(n_);
      for (std::size_t i = 1; i < n_; ++i) {
        std::memcpy(from.data(), square + i * n_, i * sizeof(float));
        for (std::size_t j = 0; j < i; ++j) to[j] = from[j];
        std::memcpy(static_cast<void *>(cells_ + offset_[i]), to.data(), i * sizeof(double));
      }
    }
    sums_.assign(n_, 0.0);
    if (nj_family()) {
      for (std::size_t i = 1; i < n_; ++i)
        for (std::size_t j = 0; j < i; ++j) {
          sums_[i] += cells_[offset_[i] + j];
          sums_[j] += cells_[offset_[i] + j];
        }
      double mean = 0;
      for (const double r : sums_) mean += r;
      mean /= static_cast<double>(n_);
      std::vector<double> ratios(n_);
      for (std::size_t i = 0; i < n_; ++i) ratios[i] = mean > 0 ? sums_[i] / mean : 1.0;
      std::sort(ratios.begin(), ratios.end());
      for (unsigned b = 1; b < buckets_; ++b) edges_.push_back(ratios[b * n_ / buckets_]);
    }
    bucket_.resize(n_);
    for (std::size_t i = 0; i < n_; ++i) bucket_[i] = bucket_of(sums_[i], mean_sum());
    tree_.nodes.reserve(2 * n_);
    for (std::size_t i = 0; i < n_; ++i) tree_.add_node(std::move(input_.labels[i]));
    lists_.resize(n_);
    scales_.resize(n_);
    first_.assign(n_ * buckets_, 0);
    last_.assign(n_ * buckets_, 0);
    least_.assign(n_ * buckets_, std::numeric_limits<double>::infinity());
    // The lists of the taxa, sorted on every thread.
    run_threads([&](unsigned t) {
      scratch_type scratch;
      for (std::size_t i = t; i < n_; i += threads_) {
        const double *row = cells_ + offset_[i];
        scratch.raw.resize(i);
        for (std::size_t j = 0; j < i; ++j) scratch.raw[j] = {row[j], static_cast<std::uint32_t>(j)};
        set_list(static_cast<std::uint32_t>(i), scratch);
      }
    });
    if (method_ == tree_method::BIONJ) {
      variance_ = fixed_array<double>(offset_.empty() ? 0 : n_ * (n_ - 1) / 2);
      std::copy(cells_, cells_ + variance_.size(), variance_.data());
    }
    rank_.resize(n_);
    node_.resize(n_);
    active_.assign(n_, 1);
    size_.assign(n_, 1.0);
    height_.assign(n_, 0.0);
    for (std::size_t i = 0; i < n_; ++i) rank_[i] = i, node_[i] = i, slots_.push_back(static_cast<std::uint32_t>(i));
  }

  tree_type run() {
    if (n_ == 1) {
      tree_.root = tree_.add_node();
      tree_.add_child(tree_.root, 0);
      tree_.rooted = false;
      return std::move(tree_);
    }
    const std::size_t stop = nj_family() ? 3 : 1;
    if (n_ == 2) {
      join_two();
    } else {
      // The rows are scanned in chunks that any thread claims as it comes: a thread that the
      // system has not scheduled holds no one up, as the others take its chunks. The best pair
      // of each chunk is kept, and the chunks are compared in their order.
      const bool pool = threads_ > 1 && n_ >= parallel_from_;
      std::atomic<std::uint64_t> epoch{0};
      std::atomic<bool> finished{false};
      std::atomic<std::size_t> next{0}, done{0}, chunks{0};
      std::vector<pair_type> chunk_best((n_ + chunk_rows - 1) / chunk_rows);
      auto take_chunks = [&] {
        for (std::size_t c; (c = next.fetch_add(1)) < chunks.load();) {
          chunk_best[c] = scan(c * chunk_rows, std::min(slots_.size(), (c + 1) * chunk_rows));
          done.fetch_add(1);
        }
      };
      std::vector<std::thread> workers;
      if (pool)
        for (unsigned t = 1; t < threads_; ++t)
          workers.emplace_back([&] {
            for (std::uint64_t seen = 0;;) {
              epoch.wait(seen);
              seen = epoch.load();
              if (finished.load()) return;
              take_chunks();
            }
          });
      const auto stop_pool = [&] {
        chunks.store(0);
        finished.store(true);
        epoch.fetch_add(1);
        epoch.notify_all();
        for (std::thread &w : workers) w.join();
      };
      const std::size_t total = slots_.size() - stop, every = std::max<std::size_t>(1, total / 200);
      // A join of few clusters takes less time than waking the other threads: those share the
      // scan only while at least parallel_from clusters are left.
      try {
        while (slots_.size() > stop) {
          prepare_scan();
          pair_type best;
          if (pool && slots_.size() >= parallel_from_) {
            const std::size_t count = (slots_.size() + chunk_rows - 1) / chunk_rows;
            chunks.store(count);
            done.store(0);
            next.store(0);
            epoch.fetch_add(1);
            epoch.notify_all();
            take_chunks();
            while (done.load() < count) std::this_thread::yield(); // chunks that others still scan
            for (std::size_t c = 0; c < count; ++c)
              if (chunk_best[c].better_than(best)) best = chunk_best[c];
          } else {
            best = scan(0, slots_.size());
          }
          join(best);
          if (progress_ && (joins_ % every == 0 || slots_.size() == stop)) progress_(joins_, total);
        }
      } catch (...) {
        if (pool) stop_pool();
        throw;
      }
      if (pool) stop_pool();
      if (nj_family()) join_three();
    }
    tree_.rooted = !nj_family();
    order_children(tree_);
    return std::move(tree_);
  }

private:
  bool nj_family() const noexcept { return method_ == tree_method::NJ || method_ == tree_method::BIONJ; }

  double d(std::size_t i, std::size_t j) const noexcept {
    return i > j ? cells_[offset_[i] + j] : cells_[offset_[j] + i];
  }
  double *at(double *m, std::size_t i, std::size_t j) noexcept {
    return i > j ? &m[offset_[i] + j] : &m[offset_[j] + i];
  }
  double *at(fixed_array<double> &m, std::size_t i, std::size_t j) noexcept { return at(m.data(), i, j); }

  // The lower bound that an entry of list k stands for.
  double value(const entry_type &e, std::uint32_t k) const noexcept {
    if constexpr (narrow) return scales_[k].lo + static_cast<double>(e.code) * scales_[k].step;
    else return static_cast<double>(e.v);
  }

  double mean_sum() const noexcept {
    if (slots_.empty()) {
      double mean = 0;
      for (const double r : sums_) mean += r;
      return mean / static_cast<double>(sums_.size());
    }
    double mean = 0;
    for (const std::uint32_t s : slots_) mean += sums_[s];
    return mean / static_cast<double>(slots_.size());
  }

  std::uint8_t bucket_of(double sum, double mean) const noexcept {
    if (edges_.empty()) return 0;
    const double ratio = mean > 0 ? sum / mean : 1.0;
    return static_cast<std::uint8_t>(std::upper_bound(edges_.begin(), edges_.end(), ratio) - edges_.begin());
  }

  struct scratch_type {
    std::vector<raw_entry> raw;
    std::vector<entry_type> a, b;
  };

  // Makes scratch.raw (clusters older than k, in increasing slot order) the list of k: by
  // bucket, each bucket by distance, equal distances by slot. The entries are coded, then
  // sorted by a stable radix sort over the bits of their code (or of their float, in an
  // order-keeping form), then parted by bucket.
  void set_list(std::uint32_t k, scratch_type &scratch) {
    const std::size_t m = scratch.raw.size();
    scratch.a.resize(m);
    scratch.b.resize(m);
    entry_type *from = scratch.a.data(), *to = scratch.b.data();
    if constexpr (narrow) {
      double lo = std::numeric_limits<double>::infinity(), hi = -lo;
      for (const raw_entry &r : scratch.raw) lo = std::min(lo, r.d), hi = std::max(hi, r.d);
      list_scale scale{m == 0 ? 0.0 : lo, m == 0 || hi == lo ? 0.0 : (hi - lo) / 65535};
      scales_[k] = scale;
      for (std::size_t p = 0; p < m; ++p) {
        const double d = scratch.raw[p].d;
        double c = scale.step > 0 ? std::floor((d - scale.lo) / scale.step) : 0;
        c = std::clamp(c, 0.0, 65535.0);
        auto code = static_cast<std::uint32_t>(c);
        while (code > 0 && scale.lo + static_cast<double>(code) * scale.step > d) --code;
        from[p] = {static_cast<std::uint16_t>(code), static_cast<std::uint16_t>(scratch.raw[p].slot)};
      }
      std::uint32_t count[256];
      for (const unsigned shift : {0u, 8u}) {
        std::fill(std::begin(count), std::end(count), 0u);
        for (std::size_t p = 0; p < m; ++p) ++count[(from[p].code >> shift) & 255];
        if (m == 0 || count[(from[0].code >> shift) & 255] == m) continue; // one digit for all
        std::uint32_t total = 0;
        for (std::uint32_t &c : count) total += std::exchange(c, total);
        for (std::size_t p = 0; p < m; ++p) to[count[(from[p].code >> shift) & 255]++] = from[p];
        std::swap(from, to);
      }
    } else {
      for (std::size_t p = 0; p < m; ++p) from[p] = {round_down(scratch.raw[p].d), scratch.raw[p].slot};
      auto key = [](float v) {
        std::uint32_t u;
        std::memcpy(&u, &v, sizeof u);
        return u >> 31 ? ~u : u | 0x80000000u;
      };
      std::uint32_t count[2048];
      for (const unsigned shift : {0u, 11u, 22u}) {
        std::fill(std::begin(count), std::end(count), 0u);
        for (std::size_t p = 0; p < m; ++p) ++count[(key(from[p].v) >> shift) & 2047];
        if (m == 0 || count[(key(from[0].v) >> shift) & 2047] == m) continue;
        std::uint32_t total = 0;
        for (std::uint32_t &c : count) total += std::exchange(c, total);
        for (std::size_t p = 0; p < m; ++p) to[count[(key(from[p].v) >> shift) & 2047]++] = from[p];
        std::swap(from, to);
      }
    }
    std::vector<entry_type> &list = lists_[k];
    list.resize(m);
    std::uint32_t at[nj_buckets + 1] = {};
    for (std::size_t p = 0; p < m; ++p) ++at[bucket_[from[p].slot] + 1];
    for (unsigned b = 0; b < buckets_; ++b) at[b + 1] += at[b];
    const std::size_t base = std::size_t{k} * buckets_;
    for (unsigned b = 0; b < buckets_; ++b) first_[base + b] = at[b], last_[base + b] = at[b + 1];
    for (std::size_t p = 0; p < m; ++p) list[at[bucket_[from[p].slot]]++] = from[p];
    for (unsigned b = 0; b < buckets_; ++b)
      least_[base + b] = first_[base + b] < last_[base + b] ? value(list[first_[base + b]], k)
                                                            : std::numeric_limits<double>::infinity();
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
    factor_ = nj_family() ? static_cast<double>(slots_.size()) - 2.0 : 1.0;
    max_sum_.assign(buckets_, -std::numeric_limits<double>::infinity());
    for (const std::uint32_t s : slots_) max_sum_[bucket_[s]] = std::max(max_sum_[bucket_[s]], sums_[s]);
  }

  bool dead(std::uint32_t owner, std::uint32_t s) const noexcept { return !active_[s] || rank_[s] > rank_[owner]; }

  // The best pair among the rows of the active list from `from` to `to` (excluded). With
  // q = (c d - R(k)) - R(j) (c = 1 and R = 0 for UPGMA and WPGMA, so q = d), an entry's bound
  // (c v - R(k)) - max R of its bucket, and its estimate (c v - R(k)) - R(j), are never above
  // its q: only an entry whose estimate does not exceed the best so far is looked up.
  pair_type scan(std::size_t from, std::size_t to) {
    pair_type best;
    const double c = factor_;
    const double *rmax = max_sum_.data();
    for (std::size_t x = from; x < to; ++x) {
      const std::uint32_t k = slots_[x];
      const double rk = sums_[k];
      const std::size_t base = std::size_t{k} * buckets_;
      std::vector<entry_type> &list = lists_[k];
      std::size_t stale = 0, seen = 0;
      for (unsigned b = 0; b < buckets_; ++b) {
        if ((c * least_[base + b] - rk) - rmax[b] > best.q) continue;
        std::size_t p = first_[base + b];
        const std::size_t end = last_[base + b];
        while (p < end && dead(k, list[p].slot)) ++p;
        first_[base + b] = static_cast<std::uint32_t>(p);
        least_[base + b] = p < end ? value(list[p], k) : std::numeric_limits<double>::infinity();
        const std::size_t from = p;
        for (; p < end; ++p) {
          const entry_type e = list[p];
          const double part = c * value(e, k) - rk;
          if (part - rmax[b] > best.q) break;
          if (dead(k, e.slot)) {
            ++stale;
            continue;
          }
          const double rj = sums_[e.slot];
          if (part - rj > best.q) continue;
          consider(best, (c * d(k, e.slot) - rk) - rj, k, e.slot);
        }
        seen += p - from;
      }
      if (stale > 32 && 2 * stale > seen) compact(k);
    }
    return best;
  }

  void consider(pair_type &best, double q, std::uint32_t young, std::uint32_t old) const noexcept {
    pair_type here{q, rank_[young], rank_[old], young, old};
    if (here.better_than(best)) best = here;
  }

  void compact(std::uint32_t k) {
    std::vector<entry_type> &list = lists_[k];
    const std::size_t base = std::size_t{k} * buckets_;
    std::size_t to = 0;
    for (unsigned b = 0; b < buckets_; ++b) {
      const std::size_t start = to;
      for (std::size_t p = first_[base + b]; p < last_[base + b]; ++p)
        if (!dead(k, list[p].slot)) list[to++] = list[p];
      first_[base + b] = static_cast<std::uint32_t>(start);
      last_[base + b] = static_cast<std::uint32_t>(to);
      least_[base + b] = start < to ? value(list[start], k) : std::numeric_limits<double>::infinity();
    }
    list.resize(to); // its room stays: the memory is given back when the cluster is joined
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
      const double vij = *at(variance_, i, j);
      if (vij != 0) {
        double sum = 0;
        for (const std::uint32_t k : slots_)
          if (k != i && k != j) sum += *at(variance_, j, k) - *at(variance_, i, k);
        lambda = 0.5 + sum / (2 * (r - 2) * vij);
        lambda = std::clamp(lambda, 0.0, 1.0);
      }
    }
    const std::size_t u = new_node(i, li, j, lj);
    const double si = size_[i], sj = size_[j];
    const double vij = method_ == tree_method::BIONJ ? *at(variance_, i, j) : 0.0;
    // The new row, written in the slot lo, and its entries. The cells of a column lie far
    // apart: they are fetched some clusters ahead.
    scratch_.raw.clear();
    double sum_u = 0;
    constexpr std::size_t ahead = 16;
    const std::size_t r_now = slots_.size();
    for (std::size_t x = 0; x < r_now; ++x) {
      if (x + ahead < r_now) {
        const std::uint32_t f = slots_[x + ahead];
        __builtin_prefetch(at(cells_, i, f), 1);
        __builtin_prefetch(at(cells_, j, f));
        if (method_ == tree_method::BIONJ) {
          __builtin_prefetch(at(variance_, i, f), 1);
          __builtin_prefetch(at(variance_, j, f));
        }
      }
      const std::uint32_t k = slots_[x];
      if (k == i || k == j) continue;
      const double dik = d(i, k), djk = d(j, k);
      double duk = 0;
      switch (method_) {
      case tree_method::NJ: duk = (dik + djk - dij) / 2; break;
      case tree_method::BIONJ: {
        duk = lambda * (dik - li) + (1 - lambda) * (djk - lj);
        const double vik = *at(variance_, i, k), vjk = *at(variance_, j, k);
        *at(variance_, lo, k) = lambda * vik + (1 - lambda) * vjk - lambda * (1 - lambda) * vij;
        break;
      }
      case tree_method::UPGMA: duk = (si * dik + sj * djk) / (si + sj); break;
      case tree_method::WPGMA: duk = (dik + djk) / 2; break;
      }
      if (nj_family()) {
        sums_[k] = (sums_[k] - dik - djk) + duk;
        sum_u += duk;
      }
      *at(cells_, lo, k) = duk;
      scratch_.raw.push_back({duk, k});
    }
    sums_[lo] = sum_u;
    size_[lo] = si + sj;
    height_[lo] = dij / 2;
    node_[lo] = u;
    rank_[lo] = n_ + joins_++;
    active_[hi] = 0;
    slots_.erase(std::find(slots_.begin(), slots_.end(), hi));
    bucket_[lo] = bucket_of(sum_u, mean_sum());
    // The new list takes the larger room of the two, so that memory is seldom asked for again.
    if (lists_[hi].capacity() > lists_[lo].capacity()) lists_[lo].swap(lists_[hi]);
    set_list(lo, scratch_);
    std::vector<entry_type>().swap(lists_[hi]);
    tree_.root = u;
  }

  std::size_t n_;
  tree_method method_;
  unsigned buckets_;
  unsigned threads_ = 1;
  std::size_t parallel_from_ = 0;
  std::function<void(std::size_t, std::size_t)> progress_;
  dist_mat_type input_; // its cells hold the triangle of distances
  std::vector<std::size_t> offset_;
  double *cells_ = nullptr;
  fixed_array<double> variance_;
  std::vector<std::vector<entry_type>> lists_;
  std::vector<list_scale> scales_;          // per row, for narrow entries
  std::vector<std::uint32_t> first_, last_; // per row and bucket: where its live entries lie
  std::vector<double> least_;               // per row and bucket: no live entry is below
  std::vector<double> edges_;               // the ratios R / mean R between buckets
  std::vector<std::uint8_t> bucket_;
  std::vector<std::uint64_t> rank_;
  std::vector<std::size_t> node_;
  std::vector<char> active_;
  std::vector<double> sums_, size_, height_, max_sum_;
  std::vector<std::uint32_t> slots_; // the active slots, in increasing order
  scratch_type scratch_;
  std::uint64_t joins_ = 0;
  double factor_ = 0;
  tree_type tree_;
};

} // namespace

namespace detail {
tree_type build_tree_with_wide_lists(dist_mat_type &&dist, const tree_build_options &options) {
  check_tree_input(dist);
  agglomeration<wide_entry> work(std::move(dist), options);
  return work.run();
}
} // namespace detail

tree_type build_tree(dist_mat_type &&dist, const tree_build_options &options) {
  check_tree_input(dist);
  if (dist.n_tax() > std::numeric_limits<std::uint32_t>::max() / 2)
    throw range_error("a matrix of " + std::to_string(dist.n_tax()) + " taxa is too large for a tree");
  if (dist.n_tax() <= 65536) {
    agglomeration<narrow_entry> work(std::move(dist), options);
    return work.run();
  }
  agglomeration<wide_entry> work(std::move(dist), options);
  return work.run();
}

std::vector<std::uint32_t> bootstrap_columns(std::size_t sites, std::uint64_t seed, std::size_t k) {
  std::uint64_t state = seed ^ (0x9E3779B97F4A7C15u * (static_cast<std::uint64_t>(k) + 1));
  auto next = [&state] { // splitmix64
    std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  };
  std::vector<std::uint32_t> columns(sites);
  for (std::uint32_t &c : columns) c = static_cast<std::uint32_t>(next() % sites);
  return columns;
}

void bootstrap(tree_type &tree, const dna::packed_alignment &aln, const bootstrap_options &options) {
  if (options.replicates == 0) throw range_error("a bootstrap needs at least one replicate");
  split_support support(tree);
  for (std::size_t k = 0; k < options.replicates; ++k) {
    const dna::packed_alignment replicate = aln.resampled(bootstrap_columns(aln.n_sites(), options.seed, k));
    dist_mat_type mat(replicate.size());
    dna::dist_options dist = options.dist;
    dist.progress = nullptr;
    dna::dna_dist(replicate, dist, mat);
    tree_build_options build = options.build;
    build.progress = nullptr;
    const tree_type rebuilt = build_tree(std::move(mat), build);
    support.add(rebuilt);
    if (options.take) options.take(rebuilt);
    if (options.progress) options.progress(k + 1, options.replicates);
  }
  support.set_support(tree);
}

} // namespace phylo
