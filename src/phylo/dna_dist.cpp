#include "phylo/dna_dist.hpp"

#include "dna_kernel.hpp"
#include "phylo/chars.hpp"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>

#ifdef __linux__
#include <sched.h>
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace phylo::dna {
namespace {

using detail::count_kind;
using u64 = std::uint64_t;

// ---- Packing ------------------------------------------------------------------------------

constexpr unsigned char invalid = 0x80;

// PAIRWISE and COMPLETE: bit 0 pyrimidine, bit 1 second bit, bit 2 a base is there:
// A 100, G 110, C 101, T 111; every other nucleotide code 0.
constexpr std::array<unsigned char, 256> site_codes = [] {
  std::array<unsigned char, 256> t{};
  t.fill(invalid);
  for (char c : std::string_view("RYMKSWHBVDN-.?"))
    t[static_cast<unsigned char>(c)] = t[static_cast<unsigned char>(c | 0x20)] = 0;
  const std::pair<char, unsigned char> bases[] = {{'A', 4}, {'G', 6}, {'C', 5}, {'T', 7}};
  for (auto [c, code] : bases) t[static_cast<unsigned char>(c)] = t[static_cast<unsigned char>(c | 0x20)] = code;
  return t;
}();

// ALL: the symbol's code, 0 to 16. The codes below 8 need 3 planes: they go to the bases and
// to the symbols that most alignments hold besides them.
constexpr std::string_view symbol_order = "ACGT-N?RYMKSWHBVD";
constexpr std::array<unsigned char, 256> symbol_codes = [] {
  std::array<unsigned char, 256> t{};
  t.fill(invalid);
  for (std::size_t k = 0; k < symbol_order.size(); ++k) {
    const char c = symbol_order[k];
    t[static_cast<unsigned char>(c)] = t[static_cast<unsigned char>(c | 0x20)] = static_cast<unsigned char>(k);
  }
  t['.'] = t['-'];
  return t;
}();
static_assert(site_codes['a'] == 4 && site_codes['T'] == 7 && site_codes['n'] == 0 && site_codes['.'] == 0 &&
              site_codes['U'] == invalid);
static_assert(symbol_codes['a'] == 0 && symbol_codes['.'] == 4 && symbol_codes['?'] == 6 && symbol_codes['d'] == 16 &&
              symbol_codes['x'] == invalid);

// Bit b of each of the 8 bytes of v, byte k to bit k. The 64 partial products of the
// multiplication land on distinct bits, so nothing carries into the top byte.
constexpr u64 gather_bits(u64 v, unsigned b) { return (((v >> b) & 0x0101010101010101u) * 0x0102040810204080u) >> 56; }
static_assert(gather_bits(0x0000000000000001u, 0) == 1 && gather_bits(0x0100000000000000u, 0) == 0x80 &&
              gather_bits(0x0203020100030200u, 1) == 0b11100110);

// Bit p of the 64 codes (each below 32), code k to bit k, into word[p] for every plane p.
inline void pack_codes(const unsigned char *code, std::size_t planes, u64 *word) {
#if defined(__SSE2__)
  // The top bit of each byte, once bit p is shifted there: shifting 16-bit lanes moves the
  // low byte's bits 0-4 into bits 0-3 of the high byte, never into its top bit.
  for (std::size_t q = 0; q < 4; ++q) {
    const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i *>(code + 16 * q));
    for (std::size_t p = 0; p < planes; ++p) {
      const int shift = 7 - static_cast<int>(p);
      const auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_sll_epi16(v, _mm_cvtsi32_si128(shift))));
      word[p] |= u64{bits} << (16 * q);
    }
  }
#else
  for (std::size_t g = 0; g < 8; ++g) {
    u64 v;
    std::memcpy(&v, code + 8 * g, sizeof v);
    for (std::size_t p = 0; p < planes; ++p) word[p] |= gather_bits(v, static_cast<unsigned>(p)) << (8 * g);
  }
#endif
}

std::size_t padded_words(std::size_t sites) {
  const std::size_t words = (sites + 63) / 64;
  return (words + detail::word_multiple - 1) / detail::word_multiple * detail::word_multiple;
}

// ---- Models -------------------------------------------------------------------------------

// What the formulas need besides the counts of a pair.
struct model_constants {
  model_type model;
  count_kind kind;
  double sites = 0; // ALL: every site counts
  bool frequencies_ok = true;
  double e = 0;                                    // F81
  double g_r = 0, g_y = 0, k1 = 0, k2 = 0, k3 = 0; // TN93
};

model_constants constants_for(const packed_alignment &aln, model_type model, count_kind kind) {
  model_constants c{model, kind};
  c.sites = static_cast<double>(aln.n_sites);
  if (model != model_type::F81 && model != model_type::TN93) return c;
  std::array<u64, 4> total{};
  for (const auto &counts : aln.base_counts)
    for (std::size_t b = 0; b < 4; ++b) total[b] += counts[b];
  const double sum = static_cast<double>(total[0] + total[1] + total[2] + total[3]);
  double f[4]; // A C G T
  for (std::size_t b = 0; b < 4; ++b) f[b] = static_cast<double>(total[b]) / sum;
  if (model == model_type::F81) {
    c.e = 1 - f[0] * f[0] - f[1] * f[1] - f[2] * f[2] - f[3] * f[3];
    c.frequencies_ok = c.e > 0; // false too when there is no base at all (NaN)
  } else {
    c.g_r = f[0] + f[2];
    c.g_y = f[1] + f[3];
    c.k1 = 2 * f[0] * f[2] / c.g_r;
    c.k2 = 2 * f[1] * f[3] / c.g_y;
    c.k3 = 2 * (c.g_r * c.g_y - f[0] * f[2] * c.g_y / c.g_r - f[1] * f[3] * c.g_r / c.g_y);
    c.frequencies_ok = f[0] > 0 && f[1] > 0 && f[2] > 0 && f[3] > 0;
  }
  return c;
}

__extension__ typedef __int128 wide_int;

// The determinant of the 4 x 4 table, exactly while its entries stay below 2^30 (by the
// minors of the first two rows and those of the last two).
double determinant(const u64 *m) {
  auto a = [m](int r, int c) { return static_cast<wide_int>(m[4 * r + c]); };
  auto minor = [&](int r, int c1, int c2) { return a(r, c1) * a(r + 1, c2) - a(r + 1, c1) * a(r, c2); };
  const wide_int det = minor(0, 0, 1) * minor(2, 2, 3) - minor(0, 0, 2) * minor(2, 1, 3) +
                       minor(0, 0, 3) * minor(2, 1, 2) + minor(0, 1, 2) * minor(2, 0, 3) -
                       minor(0, 1, 3) * minor(2, 0, 2) + minor(0, 2, 3) * minor(2, 0, 1);
  return static_cast<double>(det);
}

double determinant_inexact(const u64 *m) {
  double a[4][4];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) a[r][c] = static_cast<double>(m[4 * r + c]);
  double det = 1;
  for (int k = 0; k < 4; ++k) { // Gaussian elimination with partial pivoting
    int p = k;
    for (int r = k + 1; r < 4; ++r)
      if (std::fabs(a[r][k]) > std::fabs(a[p][k])) p = r;
    if (a[p][k] == 0) return 0;
    if (p != k) {
      std::swap(a[p], a[k]);
      det = -det;
    }
    det *= a[k][k];
    for (int r = k + 1; r < 4; ++r) {
      const double f = a[r][k] / a[k][k];
      for (int c = k; c < 4; ++c) a[r][c] -= f * a[k][c];
    }
  }
  return det;
}

// The sites where the bases differ, from the cells of LOGDET: |K & ((hx ^ hy) | (lx ^ ly))|
// expanded into products of the bits, each a cell M[4a + b] (a, b: 0 none, 1 h, 2 l, 3 both).
u64 logdet_differing(const u64 *n) {
  auto m = [n](int a, int b) { return static_cast<std::int64_t>(n[4 * a + b]); };
  const std::int64_t h = m(1, 0) + m(0, 1) - 2 * m(1, 1), l = m(2, 0) + m(0, 2) - 2 * m(2, 2);
  const std::int64_t both =
      m(3, 0) + m(1, 2) + m(2, 1) + m(0, 3) - 2 * (m(3, 2) + m(2, 3) + m(3, 1) + m(1, 3)) + 4 * m(3, 3);
  return static_cast<u64>(h + l - both);
}

struct evaluation {
  double value = 0;
  std::optional<undefined_reason> undefined;
  u64 sites = 0, differing = 0;
};

// The model's distance for the counts of one pair, with the formulas as ape's dist.dna
// writes them.
evaluation evaluate(const model_constants &c, const u64 *n) {
  evaluation r;
  if (c.kind == count_kind::SYMBOLS3 || c.kind == count_kind::SYMBOLS5) {
    r.sites = static_cast<u64>(c.sites);
    r.differing = n[0];
    r.value = c.model == model_type::COUNT ? static_cast<double>(n[0]) : static_cast<double>(n[0]) / c.sites;
    return r;
  }
  r.sites = n[0];
  r.differing = c.kind == count_kind::LOGDET ? logdet_differing(n) : n[1];
  const double sites = static_cast<double>(n[0]), differing = static_cast<double>(r.differing);
  if (c.model == model_type::COUNT) {
    r.value = differing;
    return r;
  }
  if (n[0] == 0) {
    r.undefined = undefined_reason::NO_SITES;
    return r;
  }
  if (!c.frequencies_ok) {
    r.undefined = undefined_reason::BASE_FREQUENCIES;
    return r;
  }
  double arg = 1; // the argument of the logarithm that decides whether the model is defined
  switch (c.model) {
  case model_type::P:
  case model_type::COUNT: r.value = differing / sites; break;
  case model_type::JC69: {
    const double p = differing / sites;
    arg = 1 - 4 * p / 3;
    r.value = -0.75 * std::log(arg);
    break;
  }
  case model_type::K80: {
    const double p = static_cast<double>(n[2]) / sites, q = static_cast<double>(n[1] - n[2]) / sites;
    const double a1 = 1 - 2 * p - q, a2 = 1 - 2 * q;
    arg = std::min(a1, a2);
    r.value = -0.5 * std::log(a1 * std::sqrt(a2));
    break;
  }
  case model_type::F81: {
    const double p = differing / sites;
    arg = 1 - p / c.e;
    r.value = -c.e * std::log(arg);
    break;
  }
  case model_type::TN93: {
    const double p1 = static_cast<double>(n[2]) / sites, p2 = static_cast<double>(n[3]) / sites;
    const double q = static_cast<double>(n[1] - n[2] - n[3]) / sites;
    const double w1 = 1 - p1 / c.k1 - q / (2 * c.g_r), w2 = 1 - p2 / c.k2 - q / (2 * c.g_y);
    const double w3 = 1 - q / (2 * c.g_r * c.g_y);
    arg = std::min({w1, w2, w3});
    r.value = -c.k1 * std::log(w1) - c.k2 * std::log(w2) - c.k3 * std::log(w3);
    break;
  }
  case model_type::LOGDET: {
    const double det = n[0] < (u64{1} << 30) ? determinant(n) : determinant_inexact(n);
    if (!(det > 0)) {
      r.undefined = undefined_reason::SINGULAR;
      return r;
    }
    // -ln(det(N / L)) / 4 - ln 4, with det(N / L) = det N / L^4
    r.value = std::log(sites) - std::log(det) / 4 - std::log(4.0);
    break;
  }
  }
  if (!(arg > 0) || !std::isfinite(r.value)) {
    r.undefined = undefined_reason::SATURATED;
    return r;
  }
  // Every model's value is at least 0; rounding can leave -0.0 (-0.5 log 1) or a trace below.
  if (!(r.value > 0)) r.value = 0;
  return r;
}

count_kind kind_for(const packed_alignment &aln, model_type model) {
  if (aln.rule == site_rule::ALL) return aln.code_bits < 8 ? count_kind::SYMBOLS3 : count_kind::SYMBOLS5;
  switch (model) {
  case model_type::K80: return count_kind::TS;
  case model_type::TN93: return count_kind::TN;
  case model_type::LOGDET: return count_kind::LOGDET;
  default: return count_kind::DIFF;
  }
}

// ---- Undefined pairs ------------------------------------------------------------------------

constexpr std::size_t first_kept = 10;

bool before(const undefined_pair &a, const undefined_pair &b) { return a.i != b.i ? a.i < b.i : a.j < b.j; }

// The undefined pairs that one thread finds.
struct undefined_log {
  u64 count = 0;
  std::vector<undefined_pair> first; // the smallest (i, j), sorted

  void add(const undefined_pair &p) {
    ++count;
    if (first.size() == first_kept && !before(p, first.back())) return;
    if (first.size() == first_kept) first.pop_back();
    first.insert(std::upper_bound(first.begin(), first.end(), p, before), p);
  }
};

std::string reason_text(undefined_reason r) {
  switch (r) {
  case undefined_reason::NO_SITES: return "no site to compare";
  case undefined_reason::BASE_FREQUENCIES: return "the base frequencies leave the model undefined";
  case undefined_reason::SATURATED: return "too many differences for the model";
  case undefined_reason::SINGULAR: return "the table of base pairs is singular";
  }
  return "";
}

} // namespace

// ---- Public functions ----------------------------------------------------------------------

packed_alignment make_packed(site_rule rule, std::size_t expected) {
  packed_alignment aln;
  aln.rule = rule;
  aln.planes = rule == site_rule::ALL ? detail::symbol_planes : detail::site_planes;
  aln.labels.reserve(expected); // the capacity also sizes `bits` once the first sequence is in
  aln.base_counts.reserve(expected);
  return aln;
}

void add_sequence(packed_alignment &aln, std::string label, std::string_view residues) {
  if (residues.empty()) throw range_error("sequence '" + label + "' has no residues");
  if (aln.labels.empty()) {
    aln.n_sites = residues.size();
    aln.words = padded_words(residues.size());
    if (aln.planes == 0) aln.planes = aln.rule == site_rule::ALL ? detail::symbol_planes : detail::site_planes;
    aln.bits = fixed_array<u64>(std::max<std::size_t>(aln.labels.capacity(), 16) * aln.planes * aln.words);
  } else if (residues.size() != aln.n_sites) {
    throw range_error("sequence '" + label + "' has " + std::to_string(residues.size()) + " residues, the first " +
                      std::to_string(aln.n_sites));
  }
  const bool all = aln.rule == site_rule::ALL;
  const std::array<unsigned char, 256> &codes = all ? symbol_codes : site_codes;
  const std::size_t words = aln.words, stride = aln.planes * words, start = aln.size() * stride;
  if (start + stride > aln.bits.size()) { // twice the room, zero-filled past the sequences
    fixed_array<u64> more(2 * aln.bits.size());
    std::copy(aln.bits.begin(), aln.bits.begin() + static_cast<std::ptrdiff_t>(start), more.begin());
    aln.bits = std::move(more);
  }
  u64 *planes = aln.bits.data() + start;
  unsigned char seen = 0; // every code or-ed together
  for (std::size_t w = 0; w * 64 < residues.size(); ++w) {
    alignas(16) unsigned char code[64] = {};
    const std::size_t n = std::min<std::size_t>(64, residues.size() - w * 64);
    const char *r = residues.data() + w * 64;
    for (std::size_t k = 0; k < n; ++k) seen |= code[k] = codes[static_cast<unsigned char>(r[k])];
    u64 word[detail::symbol_planes] = {};
    pack_codes(code, aln.planes, word);
    for (std::size_t p = 0; p < aln.planes; ++p) planes[p * words + w] = word[p];
  }
  if (seen & invalid) {
    std::fill(planes, planes + stride, u64{0});
    std::size_t k = 0;
    while (codes[static_cast<unsigned char>(residues[k])] != invalid) ++k;
    throw invalid_character_error("residue " + std::to_string(k + 1) + " of sequence '" + label + "', " +
                                  describe_char(static_cast<unsigned char>(residues[k])) +
                                  ", is not a nucleotide code");
  }
  std::array<u64, 4> bases{}; // A C G T
  if (all) {
    aln.code_bits |= seen;
  } else {
    for (std::size_t w = 0; w < words; ++w) {
      const u64 h = planes[w], l = planes[words + w], k = planes[2 * words + w];
      bases[0] += static_cast<u64>(std::popcount(k & ~h & ~l));
      bases[1] += static_cast<u64>(std::popcount(k & h & ~l));
      bases[2] += static_cast<u64>(std::popcount(k & ~h & l));
      bases[3] += static_cast<u64>(std::popcount(k & h & l));
    }
  }
  aln.base_counts.push_back(bases);
  aln.labels.push_back(std::move(label));
}

undefined_distance_error::undefined_distance_error(std::uint64_t count_, std::vector<undefined_pair> first_)
    : error("undefined_distance_error",
            "the distance is undefined for " + std::to_string(count_) + (count_ == 1 ? " pair" : " pairs") +
                (first_.empty() ? std::string() : " (" + reason_text(first_.front().reason) + ")")),
      count(count_), first(std::move(first_)) {}

unsigned available_cpus() {
#ifdef __linux__
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
#endif
  return std::max(1u, std::thread::hardware_concurrency());
}

std::uint64_t dna_dist(const packed_alignment &aln, const dist_options &options, dist_mat_type &dist) {
  const std::size_t n = aln.size();
  if (dist.n_tax() != n)
    throw range_error("the distance matrix has " + std::to_string(dist.n_tax()) + " taxa, the alignment " +
                      std::to_string(n) + " sequences");
  if (options.undefined_value && !(*options.undefined_value >= 0 && *options.undefined_value <= max_distance))
    throw range_error("the value written for undefined distances must lie in 0 .. 3.40282347e38");
  if (aln.rule == site_rule::ALL && options.model != model_type::P && options.model != model_type::COUNT)
    throw formula_error("comparing every symbol gives the P and COUNT distances only");
  for (std::size_t i = 0; i < n; ++i) dist.labels[i] = aln.labels[i];
  for (std::size_t i = 0; i < n; ++i) dist.distances(i, i) = 0.0f;
  if (n < 2) return 0;

  const count_kind kind = kind_for(aln, options.model);
  const model_constants constants = constants_for(aln, options.model, kind);
  const detail::kernel_set &kernels = *detail::usable_kernels().back();
  const detail::pair_kernel kernel = kernels.kernels[static_cast<int>(kind)];
  const detail::rows_kernel rows_kernel = kernels.rows[static_cast<int>(kind)];
  const std::size_t words = aln.words, stride = aln.planes * words;

  // COMPLETE: the sites where every sequence has a base, the same known plane for all.
  std::vector<u64> everywhere;
  if (aln.rule == site_rule::COMPLETE) {
    everywhere.assign(aln.bits.begin() + 2 * words, aln.bits.begin() + 3 * words);
    for (std::size_t i = 1; i < n; ++i)
      for (std::size_t w = 0; w < words; ++w) everywhere[w] &= aln.bits[i * stride + 2 * words + w];
  }
  auto known = [&](std::size_t i) {
    return aln.rule == site_rule::COMPLETE ? everywhere.data() : aln.bits.data() + i * stride + 2 * words;
  };

  // Square tiles of pairs whose sequences fit the second-level cache together.
  const std::size_t planes_read = kind == count_kind::SYMBOLS5 ? 5 : 3;
  const std::size_t side = std::clamp<std::size_t>((256u << 10) / (planes_read * words * 8), 4, 64);
  const std::size_t blocks = (n + side - 1) / side;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> tiles;
  tiles.reserve(blocks * (blocks + 1) / 2);
  for (std::size_t bi = 0; bi < blocks; ++bi)
    for (std::size_t bj = 0; bj <= bi; ++bj)
      tiles.emplace_back(static_cast<std::uint32_t>(bi), static_cast<std::uint32_t>(bj));

  const u64 total = static_cast<u64>(n) * (n - 1) / 2;
  std::atomic<std::size_t> next{0};
  std::atomic<u64> done{0};
  const unsigned wanted = options.threads != 0 ? options.threads : available_cpus();
  const std::size_t workers = std::clamp<std::size_t>(wanted, 1, tiles.size());
  std::vector<undefined_log> logs(workers);
  for (auto &log : logs) log.first.reserve(first_kept + 1);
  const float fill = options.undefined_value.value_or(0.0f);

  constexpr std::size_t rows_at_once = detail::rows_at_once;
  auto work = [&](std::size_t worker) {
    undefined_log &log = logs[worker];
    u64 counts[rows_at_once * detail::max_counts];
    auto put = [&](std::size_t i, std::size_t j, const u64 *c) {
      const evaluation e = evaluate(constants, c);
      float value = static_cast<float>(e.value);
      if (e.undefined) {
        log.add({i, j, *e.undefined, e.sites, e.differing});
        value = fill;
      }
      dist.distances(i, j) = dist.distances(j, i) = value;
    };
    for (std::size_t t; (t = next.fetch_add(1, std::memory_order_relaxed)) < tiles.size();) {
      const std::size_t i0 = tiles[t].first * side, j0 = tiles[t].second * side;
      const std::size_t i1 = std::min(n, i0 + side), j1 = std::min(n, j0 + side);
      u64 pairs = 0;
      std::size_t i = i0;
      // Rows a few at a time against each sequence below all of them, then one at a time.
      for (; i + rows_at_once <= i1; i += rows_at_once) {
        const u64 *x[rows_at_once], *kx[rows_at_once];
        for (std::size_t r = 0; r < rows_at_once; ++r) {
          x[r] = aln.bits.data() + (i + r) * stride;
          kx[r] = known(i + r);
        }
        const std::size_t shared_end = std::min(i, j1);
        for (std::size_t j = j0; j < shared_end; ++j) {
          rows_kernel(x, kx, aln.bits.data() + j * stride, known(j), words, counts);
          for (std::size_t r = 0; r < rows_at_once; ++r) put(i + r, j, counts + r * detail::max_counts);
        }
        for (std::size_t r = 1; r < rows_at_once; ++r)
          for (std::size_t j = std::max(j0, i); j < std::min(i + r, j1); ++j) {
            kernel(x[r], aln.bits.data() + j * stride, kx[r], known(j), words, counts);
            put(i + r, j, counts);
          }
        pairs += rows_at_once * (shared_end > j0 ? shared_end - j0 : 0);
        for (std::size_t r = 1; r < rows_at_once; ++r)
          pairs += std::min(i + r, j1) > std::max(j0, i) ? std::min(i + r, j1) - std::max(j0, i) : 0;
      }
      for (; i < i1; ++i) {
        const u64 *x = aln.bits.data() + i * stride;
        for (std::size_t j = j0; j < std::min(i, j1); ++j) {
          kernel(x, aln.bits.data() + j * stride, known(i), known(j), words, counts);
          put(i, j, counts);
          ++pairs;
        }
      }
      const u64 now = done.fetch_add(pairs, std::memory_order_relaxed) + pairs;
      if (worker == 0 && options.progress) {
        try {
          options.progress(now, total);
        } catch (...) {
          next.store(tiles.size(), std::memory_order_relaxed); // the other threads take no further tile
          throw;
        }
      }
    }
  };
  {
    std::vector<std::jthread> pool;
    for (std::size_t w = 1; w < workers; ++w) {
      try {
        pool.emplace_back(work, w);
      } catch (const std::system_error &) {
        break; // the threads that started, and this one, do all the work
      }
    }
    work(0);
  }

  u64 undefined = 0;
  std::vector<undefined_pair> first;
  for (const undefined_log &log : logs) {
    undefined += log.count;
    first.insert(first.end(), log.first.begin(), log.first.end());
  }
  if (undefined == 0 || options.undefined_value) return undefined;
  std::sort(first.begin(), first.end(), before);
  if (first.size() > first_kept) first.resize(first_kept);
  throw undefined_distance_error(undefined, std::move(first));
}

} // namespace phylo::dna
