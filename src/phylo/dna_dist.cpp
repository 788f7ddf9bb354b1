#include "phylo/dna_dist.hpp"

#include "dna_dist_ml.hpp"
#include "dna_kernel.hpp"
#include "dna_sparse.hpp"
#include "phylo/chars.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
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

__extension__ typedef __int128 wide_int;
__extension__ typedef unsigned __int128 wide_unsigned;

} // namespace

namespace detail {

// Exactly by the minors of the first two rows and those of the last two.
double determinant(const std::uint64_t *m) {
  auto a = [m](int r, int c) { return static_cast<wide_int>(m[4 * r + c]); };
  auto minor = [&](int r, int c1, int c2) { return a(r, c1) * a(r + 1, c2) - a(r + 1, c1) * a(r, c2); };
  const wide_int det = minor(0, 0, 1) * minor(2, 2, 3) - minor(0, 0, 2) * minor(2, 1, 3) +
                       minor(0, 0, 3) * minor(2, 1, 2) + minor(0, 1, 2) * minor(2, 0, 3) -
                       minor(0, 1, 3) * minor(2, 0, 2) + minor(0, 2, 3) * minor(2, 0, 1);
  return static_cast<double>(det);
}

double determinant_inexact(const std::uint64_t *m) {
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

} // namespace detail

namespace {

using detail::count_kind;
using u64 = std::uint64_t;

// ---- Packing ------------------------------------------------------------------------------

constexpr unsigned char invalid = 0x80;

// Nucleotides, PAIRWISE and COMPLETE: bit 0 pyrimidine, bit 1 second bit, bit 2 a base is
// there: A 100, G 110, C 101, T 111; every other nucleotide code 0.
constexpr std::array<unsigned char, 256> site_codes = [] {
  std::array<unsigned char, 256> t{};
  t.fill(invalid);
  for (char c : std::string_view("RYMKSWHBVDN-.?"))
    t[static_cast<unsigned char>(c)] = t[static_cast<unsigned char>(c | 0x20)] = 0;
  const std::pair<char, unsigned char> bases[] = {{'A', 4}, {'G', 6}, {'C', 5}, {'T', 7}};
  for (auto [c, code] : bases) t[static_cast<unsigned char>(c)] = t[static_cast<unsigned char>(c | 0x20)] = code;
  return t;
}();

// Nucleotides, ALL: the symbol's code, 0 to 16. The codes below 8 need 3 planes: they go to
// the bases and to the symbols that most alignments hold besides them.
constexpr std::string_view symbol_order = "ACGT-N?RYMKSWHBVD";
// Amino acids, ALL: 0 to 26, the amino acids first.
constexpr std::string_view amino_order = "ARNDCQEGHILKMFPSTWYV";
constexpr std::string_view amino_symbol_order = "ARNDCQEGHILKMFPSTWYV-X?BZJ*";

constexpr std::array<unsigned char, 256> codes_in_order(std::string_view order) {
  std::array<unsigned char, 256> t{};
  t.fill(invalid);
  for (std::size_t k = 0; k < order.size(); ++k) {
    const char c = order[k];
    t[static_cast<unsigned char>(c)] = t[static_cast<unsigned char>(c | 0x20)] = static_cast<unsigned char>(k);
  }
  t['.'] = t['-'];
  return t;
}
constexpr std::array<unsigned char, 256> symbol_codes = codes_in_order(symbol_order);
constexpr std::array<unsigned char, 256> amino_symbol_codes = codes_in_order(amino_symbol_order);

// Amino acids, PAIRWISE and COMPLETE: 1 + the amino acid's place, 0 for ambiguity.
constexpr std::array<unsigned char, 256> amino_codes = [] {
  std::array<unsigned char, 256> t = codes_in_order(amino_symbol_order);
  for (unsigned char &c : t)
    if (c != invalid) c = c < amino_order.size() ? static_cast<unsigned char>(c + 1) : 0;
  return t;
}();
static_assert(site_codes['a'] == 4 && site_codes['T'] == 7 && site_codes['n'] == 0 && site_codes['.'] == 0 &&
              site_codes['U'] == invalid);
static_assert(symbol_codes['a'] == 0 && symbol_codes['.'] == 4 && symbol_codes['?'] == 6 && symbol_codes['d'] == 16 &&
              symbol_codes['x'] == invalid);
static_assert(amino_codes['a'] == 1 && amino_codes['v'] == 20 && amino_codes['X'] == 0 && amino_codes['*'] == 0 &&
              amino_codes['.'] == 0 && amino_codes['U'] == invalid && amino_codes['O'] == invalid);
static_assert(amino_symbol_codes['*'] == 26 && amino_symbol_codes['.'] == 20 && amino_symbol_codes['b'] == 23);

const std::array<unsigned char, 256> &codes_for(alphabet a, site_rule rule) {
  if (a == alphabet::PROTEIN) return rule == site_rule::ALL ? amino_symbol_codes : amino_codes;
  return rule == site_rule::ALL ? symbol_codes : site_codes;
}

std::size_t planes_for(alphabet a, site_rule rule) {
  if (rule == site_rule::ALL) return detail::symbol_planes;
  return a == alphabet::PROTEIN ? detail::amino_planes : detail::site_planes;
}

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

// Nucleotides under PAIRWISE and COMPLETE, 64 residues that are all A, C, G, T, N or '-' (in
// either case): the three planes straight from comparisons of 16 bytes at a time. False, with
// nothing written, where one is any other character (the table then decides).
inline bool pack_common_nucleotides(const char *r, u64 *h, u64 *l, u64 *k) {
#if defined(__SSE2__)
  u64 hh = 0, ll = 0, kk = 0;
  for (int q = 0; q < 4; ++q) {
    const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i *>(r + 16 * q));
    const __m128i v = _mm_or_si128(raw, _mm_set1_epi8(0x20)); // a letter of either case in lower case
    const __m128i a = _mm_cmpeq_epi8(v, _mm_set1_epi8('a')), c = _mm_cmpeq_epi8(v, _mm_set1_epi8('c'));
    const __m128i g = _mm_cmpeq_epi8(v, _mm_set1_epi8('g')), t = _mm_cmpeq_epi8(v, _mm_set1_epi8('t'));
    const __m128i base = _mm_or_si128(_mm_or_si128(a, c), _mm_or_si128(g, t));
    const __m128i none = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('n')), _mm_cmpeq_epi8(raw, _mm_set1_epi8('-')));
    if (_mm_movemask_epi8(_mm_or_si128(base, none)) != 0xFFFF) return false;
    const int shift = 16 * q;
    hh |= u64{static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(c, t)))} << shift;
    ll |= u64{static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(g, t)))} << shift;
    kk |= u64{static_cast<unsigned>(_mm_movemask_epi8(base))} << shift;
  }
  *h = hh, *l = ll, *k = kk;
  return true;
#else
  (void)r, (void)h, (void)l, (void)k;
  return false;
#endif
}

std::size_t padded_words(std::size_t sites) {
  const std::size_t words = (sites + 63) / 64;
  return (words + detail::word_multiple - 1) / detail::word_multiple * detail::word_multiple;
}

// How often A, C, G and T stand in the 3 planes of a nucleotide sequence.
std::array<u64, 4> count_bases(const u64 *planes, std::size_t words) {
  std::array<u64, 4> bases{}; // A C G T
  for (std::size_t w = 0; w < words; ++w) {
    const u64 h = planes[w], l = planes[words + w], k = planes[2 * words + w];
    bases[0] += static_cast<u64>(std::popcount(k & ~h & ~l));
    bases[1] += static_cast<u64>(std::popcount(k & h & ~l));
    bases[2] += static_cast<u64>(std::popcount(k & ~h & l));
    bases[3] += static_cast<u64>(std::popcount(k & h & l));
  }
  return bases;
}

// ---- Models -------------------------------------------------------------------------------

// What the formulas need besides the counts of a pair.
struct model_constants {
  model_type model = model_type::P;
  count_kind kind = count_kind::DIFF;
  double sites = 0; // ALL: every site counts
  bool frequencies_ok = true;
  std::optional<double> gamma;                     // ape's gamma correction
  double e = 0;                                    // F81
  double g_r = 0, g_y = 0, k1 = 0, k2 = 0, k3 = 0; // TN93
  double a = 0, b = 0, c = 0;                      // F84
  double h = 0;                                    // T92: 2 theta (1 - theta) for the GC content theta
  const detail::ml_model *ml = nullptr;            // F84 with a ratio, and the amino-acid models
};

bool uses_frequencies(model_type m) {
  return m == model_type::F81 || m == model_type::TN93 || m == model_type::F84 || m == model_type::T92;
}

// The base frequencies of the whole alignment, A C G T (NaN without any base).
std::array<double, 4> base_frequencies(const packed_alignment &aln) {
  std::array<u64, 4> total{};
  for (std::size_t i = 0; i < aln.size(); ++i)
    for (std::size_t b = 0; b < 4; ++b) total[b] += aln.base_counts(i)[b];
  const double sum = static_cast<double>(total[0] + total[1] + total[2] + total[3]);
  std::array<double, 4> f{};
  for (std::size_t b = 0; b < 4; ++b) f[b] = static_cast<double>(total[b]) / sum;
  return f;
}

// F84 with a transition/transversion ratio R, as a reversible model of A C G T: the
// exchange rates 1 + K / pi_R (A-G), 1 + K / pi_Y (C-T) and 1 (transversions), for the
// K = alpha / beta that gives R = (B + K A) / C (Felsenstein's F84; A, B, C as in constants_for).
std::optional<detail::ml_model> f84_model(const std::array<double, 4> &f, double ratio) {
  const double r = f[0] + f[2], y = f[1] + f[3];
  const double a = f[1] * f[3] / y + f[0] * f[2] / r, b = f[1] * f[3] + f[0] * f[2], c = r * y;
  const double k = (ratio * c - b) / a;
  const double ag = 1 + k / r, ct = 1 + k / y;
  if (!(ag >= 0 && ct >= 0 && std::isfinite(ag) && std::isfinite(ct))) return std::nullopt;
  // Exchange rates below the diagonal, row by row, in the order A C G T: C-A, G-A, G-C, T-A, T-C, T-G.
  const double exchange[6] = {1, ag, 1, 1, ct, 1};
  return detail::make_ml_model(4, exchange, f.data(), {1.0});
}

model_constants constants_for(const packed_alignment &aln, const dist_options &options, count_kind kind) {
  const model_type model = options.model;
  model_constants c;
  c.model = model;
  c.kind = kind;
  c.sites = static_cast<double>(aln.n_sites());
  c.gamma = options.gamma;
  if (!uses_frequencies(model)) return c;
  const std::array<double, 4> f = base_frequencies(aln); // A C G T
  if (model == model_type::F81) {
    c.e = 1 - f[0] * f[0] - f[1] * f[1] - f[2] * f[2] - f[3] * f[3];
    c.frequencies_ok = c.e > 0; // false too when there is no base at all (NaN)
  } else if (model == model_type::TN93) {
    c.g_r = f[0] + f[2];
    c.g_y = f[1] + f[3];
    c.k1 = 2 * f[0] * f[2] / c.g_r;
    c.k2 = 2 * f[1] * f[3] / c.g_y;
    c.k3 = 2 * (c.g_r * c.g_y - f[0] * f[2] * c.g_y / c.g_r - f[1] * f[3] * c.g_r / c.g_y);
    c.frequencies_ok = f[0] > 0 && f[1] > 0 && f[2] > 0 && f[3] > 0;
  } else if (model == model_type::F84) {
    const double r = f[0] + f[2], y = f[1] + f[3];
    c.a = f[1] * f[3] / y + f[0] * f[2] / r;
    c.b = f[1] * f[3] + f[0] * f[2];
    c.c = r * y;
    c.frequencies_ok = r > 0 && y > 0 && c.a > 0;
  } else { // T92
    const double theta = f[1] + f[2];
    c.h = 2 * theta * (1 - theta);
    c.frequencies_ok = c.h > 0;
  }
  return c;
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

// The table of base pairs N (bases A C G T as 0-3: the pyrimidine bit plus twice the second
// bit) from the cells M of LOGDET, M[4a + b] = sum of N[x][y] over the x that hold the bits a
// and the y that hold the bits b: N[x][y] = sum over a >= x, b >= y of (-1)^(|a - x| + |b - y|) M[a][b].
void base_pairs(const u64 *m, std::int64_t *n) {
  for (int x = 0; x < 4; ++x)
    for (int y = 0; y < 4; ++y) {
      std::int64_t sum = 0;
      for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 4; ++b)
          if ((a & x) == x && (b & y) == y) {
            const int sign = std::popcount(static_cast<unsigned>(a ^ x)) + std::popcount(static_cast<unsigned>(b ^ y));
            sum += (sign % 2 ? -1 : 1) * static_cast<std::int64_t>(m[4 * a + b]);
          }
      n[4 * x + y] = sum;
    }
}

struct evaluation {
  double value = 0;
  std::optional<undefined_reason> undefined;
  u64 sites = 0, differing = 0;
};

// -ln(x), or its gamma form alpha (x^(-1/alpha) - 1).
inline double log_term(const model_constants &c, double x) {
  return c.gamma ? *c.gamma * (std::pow(x, -1 / *c.gamma) - 1) : -std::log(x);
}

// The maximum-likelihood distance of a table of pairs (ml_distance's counts), as an evaluation.
evaluation ml_evaluation(const detail::ml_model &model, const std::uint32_t *counts, u64 sites, u64 differing) {
  evaluation r;
  r.sites = sites;
  r.differing = differing;
  if (sites == 0) {
    r.undefined = undefined_reason::NO_SITES;
    return r;
  }
  const std::optional<double> t = detail::ml_distance(model, counts, sites, differing);
  if (!t) r.undefined = undefined_reason::SATURATED;
  else r.value = *t;
  return r;
}

// The model's distance for the counts of one pair, with the formulas as ape's dist.dna
// writes them; term(x) gives log_term(c, x).
template <class Term> evaluation evaluate_with(const model_constants &c, const u64 *n, Term &&term) {
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
  if (c.ml) { // F84 with a ratio: the table of base pairs, folded
    std::int64_t pairs[16];
    base_pairs(n, pairs);
    std::uint32_t cells[16] = {};
    for (std::size_t x = 0; x < 4; ++x)
      for (std::size_t y = 0; y <= x; ++y)
        cells[detail::cell_index(x, y)] =
            static_cast<std::uint32_t>(pairs[4 * x + y] + (x != y ? pairs[4 * y + x] : 0));
    return ml_evaluation(*c.ml, cells, r.sites, r.differing);
  }
  double arg = 1; // the argument of the logarithm that decides whether the model is defined
  const double p = differing / sites;
  switch (c.model) {
  case model_type::P:
  case model_type::COUNT: r.value = p; break;
  case model_type::JC69:
    arg = 1 - 4 * p / 3;
    r.value = 0.75 * term(arg);
    break;
  case model_type::K80:
  case model_type::T92:
  case model_type::F84: {
    const double ts = static_cast<double>(n[2]) / sites, tv = static_cast<double>(n[1] - n[2]) / sites;
    if (c.model == model_type::K80) {
      const double a1 = 1 - 2 * ts - tv, a2 = 1 - 2 * tv;
      arg = std::min(a1, a2);
      r.value = 0.5 * term(a1) + 0.25 * term(a2);
    } else if (c.model == model_type::T92) {
      const double a1 = 1 - ts / c.h - tv, a2 = 1 - 2 * tv;
      arg = std::min(a1, a2);
      r.value = c.h * term(a1) + 0.5 * (1 - c.h) * term(a2);
    } else {
      const double a1 = 1 - ts / (2 * c.a) - (c.a - c.b) * tv / (2 * c.a * c.c), a2 = 1 - tv / (2 * c.c);
      arg = std::min(a1, a2);
      r.value = 2 * c.a * term(a1) - 2 * (c.a - c.b - c.c) * term(a2);
    }
    break;
  }
  case model_type::K81: {
    const double ts = static_cast<double>(n[2]) / sites, q = static_cast<double>(n[3]) / sites;
    const double rr = static_cast<double>(n[1] - n[2] - n[3]) / sites;
    const double a1 = 1 - 2 * ts - 2 * q, a2 = 1 - 2 * ts - 2 * rr, a3 = 1 - 2 * q - 2 * rr;
    arg = std::min({a1, a2, a3});
    r.value = 0.25 * (term(a1) + term(a2) + term(a3));
    break;
  }
  case model_type::F81:
    arg = 1 - p / c.e;
    r.value = c.e * term(arg);
    break;
  case model_type::TN93: {
    const double p1 = static_cast<double>(n[2]) / sites, p2 = static_cast<double>(n[3]) / sites;
    const double q = static_cast<double>(n[1] - n[2] - n[3]) / sites;
    const double w1 = 1 - p1 / c.k1 - q / (2 * c.g_r), w2 = 1 - p2 / c.k2 - q / (2 * c.g_y);
    const double w3 = 1 - q / (2 * c.g_r * c.g_y);
    arg = std::min({w1, w2, w3});
    r.value = c.k1 * term(w1) + c.k2 * term(w2) + c.k3 * term(w3);
    break;
  }
  case model_type::LOGDET: {
    const double det = n[0] < (u64{1} << 30) ? detail::determinant(n) : detail::determinant_inexact(n);
    if (!(det > 0)) {
      r.undefined = undefined_reason::SINGULAR;
      return r;
    }
    // -ln(det(N / L)) / 4 - ln 4, with det(N / L) = det N / L^4
    r.value = std::log(sites) - std::log(det) / 4 - std::log(4.0);
    break;
  }
  case model_type::POISSON:
    arg = 1 - p;
    r.value = -std::log(arg);
    break;
  case model_type::KIMURA:
    arg = 1 - p - 0.2 * p * p;
    r.value = -std::log(arg);
    break;
  default: break; // the other maximum-likelihood models take the tables of pairs
  }
  if (!(arg > 0) || !std::isfinite(r.value)) {
    r.undefined = undefined_reason::SATURATED;
    return r;
  }
  // Every model's value is at least 0; rounding can leave -0.0 (-0.5 log 1) or a trace below.
  if (!(r.value > 0)) r.value = 0;
  return r;
}

evaluation evaluate(const model_constants &c, const u64 *n) {
  return evaluate_with(c, n, [&c](double x) { return log_term(c, x); });
}

// The evaluations of the pairs that one thread compares, with what they took last remembered.
// The pairs of an alignment give few distinct counts and few distinct arguments of the
// logarithms (1000 sites without gaps: JC69 at most 1001 of each), and the logarithms, or the
// powers of the gamma form, cost more than the comparison that counts. Where a pair's
// evaluation takes two counts (the sites and the differing ones), it is remembered whole by
// those counts; where it takes more and has the gamma form, each of its terms is remembered by
// its argument; the other evaluations are cheaper than a table. Each is a direct-mapped table
// of the last key seen in each slot, and gives exactly what evaluate gives, which depends on
// the counts alone.
class evaluation_memo {
public:
  explicit evaluation_memo(const model_constants &c) : c_(c) {
    if (c.model == model_type::P || c.model == model_type::COUNT || c.ml) return;
    if (c.kind == count_kind::DIFF || c.kind == count_kind::AMINO) by_counts_.resize(slot_count);
    else if (c.gamma && c.kind != count_kind::LOGDET) by_argument_.assign(slot_count, {0.0, log_term(c, 0.0)});
  }

  evaluation operator()(const u64 *n) {
    if (!by_counts_.empty() && n[0] < UINT32_MAX && n[1] < UINT32_MAX) {
      const u64 key = n[0] << 32 | n[1];
      count_slot &s = by_counts_[slot_of(key)];
      if (s.key != key) {
        const evaluation e = evaluate(c_, n);
        s = {key, e.value, e.undefined};
        return e;
      }
      return {s.value, s.undefined, n[0], n[1]};
    }
    if (!by_argument_.empty())
      return evaluate_with(c_, n, [this](double x) {
        const u64 bits = std::bit_cast<u64>(x);
        term_slot &s = by_argument_[slot_of(bits)];
        if (std::bit_cast<u64>(s.x) != bits) s = {x, log_term(c_, x)};
        return s.term;
      });
    return evaluate(c_, n);
  }

private:
  static constexpr unsigned slot_bits = 12;
  static constexpr std::size_t slot_count = std::size_t{1} << slot_bits;
  struct count_slot {
    u64 key = UINT64_MAX; // the sites in the high half, the differing sites in the low; none here
    double value = 0;
    std::optional<undefined_reason> undefined;
  };
  struct term_slot {
    double x, term;
  };
  static std::size_t slot_of(u64 key) { return (key * 0x9e3779b97f4a7c15u) >> (64 - slot_bits); }

  const model_constants &c_;
  std::vector<count_slot> by_counts_;
  std::vector<term_slot> by_argument_;
};

// The counts a model takes; nullopt for the models of amino-acid pair tables.
std::optional<count_kind> kind_for(const packed_alignment &aln, const dist_options &options) {
  if (aln.rule() == site_rule::ALL) return aln.code_bits() < 8 ? count_kind::SYMBOLS3 : count_kind::SYMBOLS5;
  switch (options.model) {
  case model_type::K80:
  case model_type::T92: return count_kind::TS;
  case model_type::F84: return options.ts_tv ? count_kind::LOGDET : count_kind::TS;
  case model_type::K81: return count_kind::K81;
  case model_type::TN93: return count_kind::TN;
  case model_type::LOGDET: return count_kind::LOGDET;
  case model_type::JTT:
  case model_type::WAG:
  case model_type::LG:
  case model_type::DAYHOFF:
  case model_type::BLOSUM62: return std::nullopt;
  default: return aln.residues() == alphabet::PROTEIN ? count_kind::AMINO : count_kind::DIFF;
  }
}

std::string model_name(model_type m) {
  constexpr std::string_view names[] = {"P",   "COUNT",   "JC69",   "K80", "F81", "TN93", "LOGDET",  "F84",     "K81",
                                        "T92", "POISSON", "KIMURA", "JTT", "WAG", "LG",   "DAYHOFF", "BLOSUM62"};
  return std::string(names[static_cast<std::size_t>(m)]);
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

std::optional<alphabet> model_alphabet(model_type model) {
  switch (model) {
  case model_type::P:
  case model_type::COUNT: return std::nullopt;
  case model_type::POISSON:
  case model_type::KIMURA:
  case model_type::JTT:
  case model_type::WAG:
  case model_type::LG:
  case model_type::DAYHOFF:
  case model_type::BLOSUM62: return alphabet::PROTEIN;
  default: return alphabet::DNA;
  }
}

bool takes_gamma(model_type model) {
  switch (model) {
  case model_type::JC69:
  case model_type::K80:
  case model_type::F81:
  case model_type::K81:
  case model_type::F84:
  case model_type::T92:
  case model_type::TN93:
  case model_type::JTT:
  case model_type::WAG:
  case model_type::LG:
  case model_type::DAYHOFF:
  case model_type::BLOSUM62: return true;
  default: return false;
  }
}

bool takes_gamma_categories(model_type model) { return detail::protein_model(model) != nullptr; }

packed_alignment::packed_alignment(site_rule rule, alphabet residues, std::size_t expected)
    : rule_(rule), alphabet_(residues), planes_(planes_for(residues, rule)) {
  reserve(expected);
}

void packed_alignment::reserve(std::size_t expected) {
  expected_ = std::max(expected_, expected);
  labels_.reserve(expected);
  base_counts_.reserve(expected);
  if (!labels_.empty() && expected > bits_.size() / (planes_ * words_)) make_room(expected);
}

// Room for `sequences` sequences in all, zero-filled past those there are.
void packed_alignment::make_room(std::size_t sequences) {
  fixed_array<u64> more(sequences * planes_ * words_);
  const std::size_t used = size() * planes_ * words_;
  std::copy(bits_.begin(), bits_.begin() + static_cast<std::ptrdiff_t>(used), more.begin());
  bits_ = std::move(more);
}

void packed_alignment::add(std::string label, std::string_view residues) {
  if (residues.empty()) throw range_error("sequence '" + label + "' has no residues");
  if (labels_.empty()) {
    n_sites_ = residues.size();
    words_ = padded_words(residues.size());
    bits_ = fixed_array<u64>(std::max<std::size_t>(expected_, 16) * planes_ * words_);
  } else if (residues.size() != n_sites_) {
    throw range_error("sequence '" + label + "' has " + std::to_string(residues.size()) + " residues, the first " +
                      std::to_string(n_sites_));
  }
  const bool all = rule_ == site_rule::ALL, protein = alphabet_ == alphabet::PROTEIN;
  const std::array<unsigned char, 256> &codes = codes_for(alphabet_, rule_);
  const std::size_t words = words_, stride = planes_ * words, start = size() * stride;
  if (start + stride > bits_.size()) make_room(2 * bits_.size() / stride);
  u64 *planes = bits_.data() + start;
  const std::size_t code_planes = protein && !all ? detail::symbol_planes : planes_;
  unsigned char seen = 0; // every code or-ed together
  const bool bases = !all && !protein;
  for (std::size_t w = 0; w * 64 < residues.size(); ++w) {
    alignas(16) unsigned char code[64] = {};
    const std::size_t n = std::min<std::size_t>(64, residues.size() - w * 64);
    const char *r = residues.data() + w * 64;
    if (bases && n == 64 && pack_common_nucleotides(r, planes + w, planes + words + w, planes + 2 * words + w))
      continue;
    for (std::size_t k = 0; k < n; ++k) seen |= code[k] = codes[static_cast<unsigned char>(r[k])];
    u64 word[detail::amino_planes] = {};
    pack_codes(code, code_planes, word);
    for (std::size_t p = 0; p < code_planes; ++p) planes[p * words + w] = word[p];
    if (code_planes < planes_) planes[code_planes * words + w] = word[0] | word[1] | word[2] | word[3] | word[4];
  }
  if (seen & invalid) {
    std::fill(planes, planes + stride, u64{0});
    std::size_t k = 0;
    while (codes[static_cast<unsigned char>(residues[k])] != invalid) ++k;
    throw invalid_character_error("residue " + std::to_string(k + 1) + " of sequence '" + label + "', " +
                                  describe_char(static_cast<unsigned char>(residues[k])) + ", is not " +
                                  (protein ? "an amino-acid code" : "a nucleotide code"));
  }
  if (all) code_bits_ |= seen;
  base_counts_.push_back(all || protein ? std::array<u64, 4>{} : count_bases(planes, words));
  labels_.push_back(std::move(label));
}

packed_alignment packed_alignment::resampled(std::span<const std::uint32_t> columns) const {
  if (columns.empty()) throw range_error("a resampled alignment needs at least one site");
  for (std::uint32_t c : columns)
    if (c >= n_sites_)
      throw range_error("site " + std::to_string(c + 1) + " is past the " + std::to_string(n_sites_) + " sites");
  packed_alignment copy(rule_, alphabet_, size());
  copy.labels_ = labels_;
  copy.code_bits_ = code_bits_;
  copy.n_sites_ = columns.size();
  copy.words_ = padded_words(columns.size());
  copy.bits_ = fixed_array<u64>(std::max<std::size_t>(size(), 1) * planes_ * copy.words_);
  for (std::size_t i = 0; i < size(); ++i) {
    const u64 *from = sequence(i);
    u64 *to = copy.bits_.data() + i * planes_ * copy.words_;
    for (std::size_t p = 0; p < planes_; ++p)
      for (std::size_t k = 0; k < columns.size(); ++k) {
        const std::uint32_t c = columns[k];
        to[p * copy.words_ + k / 64] |= ((from[p * words_ + c / 64] >> (c % 64)) & 1) << (k % 64);
      }
    copy.base_counts_.push_back(rule_ == site_rule::ALL || alphabet_ == alphabet::PROTEIN
                                    ? std::array<u64, 4>{}
                                    : count_bases(to, copy.words_));
  }
  return copy;
}

unsigned packed_alignment::code(std::size_t i, std::size_t s) const noexcept {
  const std::size_t code_planes =
      alphabet_ == alphabet::PROTEIN && rule_ != site_rule::ALL ? detail::symbol_planes : planes_;
  const u64 *planes = sequence(i);
  unsigned c = 0;
  for (std::size_t p = 0; p < code_planes; ++p)
    c |= static_cast<unsigned>((planes[p * words_ + s / 64] >> (s % 64)) & 1) << p;
  return c;
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

namespace {

// The most threads that options let a computation run (workers are numbered below it).
std::size_t worker_limit(const dist_options &options) {
  return std::max<std::size_t>(options.threads != 0 ? options.threads : available_cpus(), 1);
}

// Runs tile(worker, i0, i1, j0, j1, log) over the square tiles of `side` sequences of the
// pairs (i > j), on the threads that options ask for, and returns the undefined pairs found.
template <class Tile>
undefined_log for_each_tile(std::size_t n, std::size_t side, const dist_options &options, Tile &&tile) {
  const std::size_t blocks = (n + side - 1) / side;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> tiles;
  tiles.reserve(blocks * (blocks + 1) / 2);
  for (std::size_t bi = 0; bi < blocks; ++bi)
    for (std::size_t bj = 0; bj <= bi; ++bj)
      tiles.emplace_back(static_cast<std::uint32_t>(bi), static_cast<std::uint32_t>(bj));

  const u64 total = static_cast<u64>(n) * (n - 1) / 2;
  std::atomic<std::size_t> next{0};
  std::atomic<u64> done{0};
  const std::size_t workers = std::min(worker_limit(options), tiles.size());
  std::vector<undefined_log> logs(workers);
  for (auto &log : logs) log.first.reserve(first_kept + 1);
  // The calling thread reports progress: after each of its own tiles, then, once no tile is
  // left, after each tile that another thread ends, and at the end once more. (The other
  // threads may take every tile; the hook still hears of the work, and can still stop it.)
  std::mutex mutex;
  std::condition_variable tile_ended;
  std::size_t running = 0; // the other threads still at work, under mutex
  u64 ended = 0;           // the tiles they have ended, under mutex
  auto report = [&] {
    try {
      options.progress(done.load(std::memory_order_relaxed), total);
    } catch (...) {
      next.store(tiles.size(), std::memory_order_relaxed); // the other threads take no further tile
      throw;
    }
  };
  auto work = [&](std::size_t worker) {
    for (std::size_t t; (t = next.fetch_add(1, std::memory_order_relaxed)) < tiles.size();) {
      const std::size_t i0 = tiles[t].first * side, j0 = tiles[t].second * side;
      const u64 pairs = tile(worker, i0, std::min(n, i0 + side), j0, std::min(n, j0 + side), logs[worker]);
      done.fetch_add(pairs, std::memory_order_relaxed);
      if (worker == 0) {
        if (options.progress) report();
      } else {
        std::lock_guard lock(mutex);
        ++ended;
        tile_ended.notify_one();
      }
    }
    if (worker != 0) {
      std::lock_guard lock(mutex);
      --running;
      tile_ended.notify_one();
    }
  };
  {
    std::vector<std::jthread> pool;
    for (std::size_t w = 1; w < workers; ++w) {
      try {
        std::lock_guard lock(mutex);
        pool.emplace_back(work, w);
        ++running;
      } catch (const std::system_error &) {
        break; // the threads that started, and this one, do all the work
      }
    }
    work(0);
    if (options.progress) {
      std::unique_lock lock(mutex);
      for (u64 seen = ended;; seen = ended) {
        tile_ended.wait(lock, [&] { return running == 0 || ended != seen; });
        if (running == 0) break;
        lock.unlock();
        report();
        lock.lock();
      }
    }
  }
  if (options.progress) report();
  undefined_log all;
  for (const undefined_log &log : logs) {
    all.count += log.count;
    all.first.insert(all.first.end(), log.first.begin(), log.first.end());
  }
  std::sort(all.first.begin(), all.first.end(), before);
  if (all.first.size() > first_kept) all.first.resize(first_kept);
  return all;
}

// The sites that every sequence holds a residue at (COMPLETE), or every site.
std::vector<u64> sites_in_use(const packed_alignment &aln) {
  const std::size_t words = aln.words(), known = aln.known_plane() * words;
  std::vector<u64> use(words, 0);
  if (aln.rule() != site_rule::COMPLETE) {
    for (std::size_t s = 0; s < aln.n_sites(); ++s) use[s / 64] |= u64{1} << (s % 64);
    return use;
  }
  std::copy(aln.sequence(0) + known, aln.sequence(0) + known + words, use.begin());
  for (std::size_t i = 1; i < aln.size(); ++i)
    for (std::size_t w = 0; w < words; ++w) use[w] &= aln.sequence(i)[known + w];
  return use;
}

// The errors of dna_dist that concern the options and the alignment.
void check_options(const packed_alignment &aln, const dist_options &options) {
  const model_type model = options.model;
  if (options.undefined_value && !(*options.undefined_value >= 0 && *options.undefined_value <= max_distance))
    throw range_error("the value written for undefined distances must lie in 0 .. 3.40282347e38");
  if (aln.rule() == site_rule::ALL && model != model_type::P && model != model_type::COUNT)
    throw formula_error("comparing every symbol gives the P and COUNT distances only");
  if (const auto a = model_alphabet(model); a && *a != aln.residues())
    throw formula_error("the " + model_name(model) + " model is for " +
                        (*a == alphabet::DNA ? "nucleotides" : "amino acids"));
  if (options.gamma) {
    if (!takes_gamma(model)) throw formula_error("the " + model_name(model) + " model takes no gamma correction");
    if (!(*options.gamma > 0 && std::isfinite(*options.gamma)))
      throw range_error("the shape of the gamma distribution must be a positive number");
  }
  if (options.gamma_categories < 1 || options.gamma_categories > 64)
    throw range_error("the number of gamma categories must lie in 1 .. 64");
  if (options.ts_tv) {
    if (model != model_type::F84) throw formula_error("a transition/transversion ratio is for the F84 model");
    if (options.gamma) throw formula_error("F84 with a transition/transversion ratio takes no gamma correction");
    if (!(*options.ts_tv > 0 && std::isfinite(*options.ts_tv)))
      throw range_error("the transition/transversion ratio must be a positive number");
  }
}

// The one-bit planes of amino acids of a sequence: for each word of sites, a word per amino
// acid and one of the sites that hold any.
constexpr std::size_t residue_planes = detail::amino_acids + 1;

// The cell of each pair of amino acids (x, y), whichever comes first.
constexpr auto pair_cell = [] {
  std::array<std::uint8_t, detail::amino_acids * detail::amino_acids> t{};
  for (std::size_t x = 0; x < detail::amino_acids; ++x)
    for (std::size_t y = 0; y < detail::amino_acids; ++y)
      t[x * detail::amino_acids + y] = static_cast<std::uint8_t>(detail::cell_index(std::max(x, y), std::min(x, y)));
  return t;
}();

// The pairs of amino acids of two sequences over `words` words of sites: in same[a] the sites
// where both hold a (a word at a time), in the cells of `counts` the sites where they hold two
// different ones (one by one, from the word of such sites); returns the number of the latter.
// Built for processors with and without the population count instruction.
__attribute__((target_clones("popcnt", "default"))) u64
count_residue_pairs(const u64 *x, const u64 *y, const unsigned char *cx, const unsigned char *cy, std::size_t words,
                    std::uint32_t *counts, std::uint32_t *same) {
  u64 differing = 0;
  for (std::size_t w = 0; w < words; ++w, x += residue_planes, y += residue_planes) {
    u64 alike = 0;
    for (std::size_t a = 0; a < detail::amino_acids; ++a) {
      const u64 both = x[a] & y[a];
      same[a] += static_cast<std::uint32_t>(std::popcount(both));
      alike |= both;
    }
    u64 unlike = x[detail::amino_acids] & y[detail::amino_acids] & ~alike;
    differing += static_cast<u64>(std::popcount(unlike));
    for (; unlike != 0; unlike &= unlike - 1) {
      const std::size_t k = w * 64 + static_cast<std::size_t>(std::countr_zero(unlike));
      ++counts[pair_cell[cx[k] * detail::amino_acids + cy[k]]];
    }
  }
  return differing;
}

// What the comparisons of one alignment under one set of options share: the kernels and the
// model's constants, the known plane of COMPLETE, and for the amino-acid models of pair
// tables the residues one byte per site.
class comparer {
public:
  comparer(const packed_alignment &aln, const dist_options &options) : aln_(aln), kind_(kind_for(aln, options)) {
    const std::size_t words = aln.words();
    if (aln.rule() == site_rule::COMPLETE || !kind_) everywhere_ = sites_in_use(aln);
    if (!kind_) {
      const detail::protein_table &table = *detail::protein_model(options.model);
      ml_ = detail::make_ml_model(detail::amino_acids, table.exchange, table.frequencies,
                                  options.gamma ? detail::gamma_rates(*options.gamma, options.gamma_categories)
                                                : std::vector<double>{1.0});
      // One byte per site and sequence, over the sites in use: the amino acid 0-19, 20 none.
      std::vector<std::uint32_t> columns;
      for (std::size_t s = 0; s < aln.n_sites(); ++s)
        if ((everywhere_[s / 64] >> (s % 64)) & 1) columns.push_back(static_cast<std::uint32_t>(s));
      m_ = columns.size();
      const std::size_t n = aln.size();
      codes_.resize(n * m_);
      for (std::size_t i = 0; i < n; ++i)
        for (std::size_t k = 0; k < m_; ++k) {
          const unsigned c = aln.code(i, columns[k]);
          codes_[i * m_ + k] = static_cast<unsigned char>(c == 0 ? 20 : c - 1);
        }
      // And one bit per site for each amino acid, and one for the sites that hold any.
      words_ = (m_ + 63) / 64;
      onehot_.assign(n * words_ * planes, 0);
      for (std::size_t i = 0; i < n; ++i)
        for (std::size_t k = 0; k < m_; ++k)
          if (const unsigned c = codes_[i * m_ + k]; c < detail::amino_acids) {
            u64 *word = onehot_.data() + (i * words_ + k / 64) * planes;
            word[c] |= u64{1} << (k % 64);
            word[detail::amino_acids] |= u64{1} << (k % 64);
          }
      side_ = std::clamp<std::size_t>((256u << 10) / std::max<std::size_t>(m_ + planes * words_ * 8, 1), 4, 64);
      return;
    }
    constants_ = constants_for(aln, options, *kind_);
    if (options.ts_tv && constants_.frequencies_ok) {
      f84_ = f84_model(base_frequencies(aln), *options.ts_tv);
      if (f84_) constants_.ml = &*f84_;
      else constants_.frequencies_ok = false;
    }
    const detail::kernel_set &kernels = *detail::usable_kernels().back();
    kernel_ = kernels.kernels[static_cast<int>(*kind_)];
    rows_kernel_ = kernels.rows[static_cast<int>(*kind_)];
    range_kernel_ = kernels.ranges[static_cast<int>(*kind_)];
    known_offset_ = aln.known_plane() * words;
    // Square tiles of pairs whose sequences fit the second-level cache together.
    const std::size_t planes_read = *kind_ == count_kind::SYMBOLS5 ? 5 : *kind_ == count_kind::AMINO ? 6 : 3;
    side_ = std::clamp<std::size_t>((256u << 10) / (planes_read * words * 8), 4, 64);
  }
  comparer(const comparer &) = delete;
  comparer &operator=(const comparer &) = delete;

  std::size_t side() const noexcept { return side_; }
  const model_constants &constants() const noexcept { return constants_; }
  evaluation_memo memo() const { return evaluation_memo(constants_); }
  // True when a pair's comparison can stop once its distance is known to exceed a bound.
  bool stops_early() const noexcept {
    return kind_ && (constants_.model == model_type::P || constants_.model == model_type::COUNT);
  }

  // Calls put(i, j, evaluation) for the pairs i > j with i in [i0, i1) and j in [j0, j1), and
  // returns their number; memo is the calling thread's.
  template <class Put>
  u64 tile(std::size_t i0, std::size_t i1, std::size_t j0, std::size_t j1, evaluation_memo &memo, Put &&put) const {
    if (!kind_) return table_tile(i0, i1, j0, j1, put);
    const std::size_t words = aln_.words();
    u64 counts[detail::rows_at_once * detail::max_counts];
    u64 pairs = 0;
    std::size_t i = i0;
    // Rows a few at a time against each sequence below all of them, then one at a time.
    for (; i + detail::rows_at_once <= i1; i += detail::rows_at_once) {
      const u64 *x[detail::rows_at_once], *kx[detail::rows_at_once];
      for (std::size_t r = 0; r < detail::rows_at_once; ++r) {
        x[r] = aln_.sequence(i + r);
        kx[r] = known(i + r);
      }
      const std::size_t shared_end = std::min(i, j1);
      for (std::size_t j = j0; j < shared_end; ++j) {
        rows_kernel_(x, kx, aln_.sequence(j), known(j), words, counts);
        for (std::size_t r = 0; r < detail::rows_at_once; ++r) put(i + r, j, memo(counts + r * detail::max_counts));
      }
      for (std::size_t r = 1; r < detail::rows_at_once; ++r)
        for (std::size_t j = std::max(j0, i); j < std::min(i + r, j1); ++j) {
          kernel_(x[r], aln_.sequence(j), kx[r], known(j), words, counts);
          put(i + r, j, memo(counts));
        }
      pairs += detail::rows_at_once * (shared_end > j0 ? shared_end - j0 : 0);
      for (std::size_t r = 1; r < detail::rows_at_once; ++r)
        pairs += std::min(i + r, j1) > std::max(j0, i) ? std::min(i + r, j1) - std::max(j0, i) : 0;
    }
    for (; i < i1; ++i) {
      for (std::size_t j = j0; j < std::min(i, j1); ++j) {
        kernel_(aln_.sequence(i), aln_.sequence(j), known(i), known(j), words, counts);
        put(i, j, memo(counts));
        ++pairs;
      }
    }
    return pairs;
  }

  // As tile, but a pair whose distance is known to exceed `bound` once a stretch of its words
  // is compared is left there, and not put (stops_early()).
  template <class Put>
  u64 bounded_tile(std::size_t i0, std::size_t i1, std::size_t j0, std::size_t j1, double bound, Put &&put) const {
    constexpr std::size_t stretch = 2 * detail::word_multiple;
    const std::size_t words = aln_.words();
    const bool count = constants_.model == model_type::COUNT;
    const bool symbols = *kind_ == count_kind::SYMBOLS3 || *kind_ == count_kind::SYMBOLS5;
    u64 counts[detail::max_counts];
    u64 n[detail::max_counts] = {}; // the sites and the differing sites, or the differing sites alone
    u64 pairs = 0;
    for (std::size_t i = i0; i < i1; ++i)
      for (std::size_t j = j0; j < std::min(i, j1); ++j) {
        ++pairs;
        const u64 *x = aln_.sequence(i), *y = aln_.sequence(j), *kx = known(i), *ky = known(j);
        n[0] = n[1] = 0;
        bool beyond = false;
        for (std::size_t w = 0; w < words; w += stretch) {
          const std::size_t w1 = std::min(words, w + stretch);
          range_kernel_(x, y, kx, ky, words, w, w1, counts);
          n[0] += counts[0];
          if (!symbols) n[1] += counts[1];
          if (w1 == words) break;
          // The smallest distance the pair can still reach; rounding keeps the order of values.
          const double differing = static_cast<double>(symbols ? n[0] : n[1]);
          const double least = count     ? differing
                               : symbols ? differing / constants_.sites
                                         : differing / static_cast<double>(n[0] + 64 * (words - w1));
          if (static_cast<double>(static_cast<float>(least)) > bound) {
            beyond = true;
            break;
          }
        }
        if (!beyond) put(i, j, evaluate(constants_, n));
      }
    return pairs;
  }

private:
  static constexpr std::size_t planes = residue_planes;

  const u64 *known(std::size_t i) const {
    return aln_.rule() == site_rule::COMPLETE ? everywhere_.data() : aln_.sequence(i) + known_offset_;
  }

  // The amino-acid models of pair tables. The sites where both sequences hold one amino acid
  // are counted a word of sites at a time, for each amino acid (the cells (a, a)); the sites
  // where they hold two different ones, one by one from the word of such sites, each in the
  // cell of its pair of amino acids, (x, y) and (y, x) together.
  template <class Put> u64 table_tile(std::size_t i0, std::size_t i1, std::size_t j0, std::size_t j1, Put &put) const {
    constexpr std::size_t cells = detail::amino_acids * (detail::amino_acids + 1) / 2;
    alignas(64) std::uint32_t counts[cells + 16] = {};
    u64 pairs = 0;
    for (std::size_t i = i0; i < i1; ++i)
      for (std::size_t j = j0; j < std::min(i, j1); ++j) {
        std::fill(counts, counts + cells, 0u);
        std::uint32_t same[detail::amino_acids] = {};
        const u64 differing =
            count_residue_pairs(onehot_.data() + i * words_ * planes, onehot_.data() + j * words_ * planes,
                                codes_.data() + i * m_, codes_.data() + j * m_, words_, counts, same);
        u64 sites = differing;
        for (std::size_t a = 0; a < detail::amino_acids; ++a) {
          counts[detail::cell_index(a, a)] = same[a];
          sites += same[a];
        }
        put(i, j, ml_evaluation(*ml_, counts, sites, differing));
        ++pairs;
      }
    return pairs;
  }

  const packed_alignment &aln_;
  std::optional<count_kind> kind_;
  model_constants constants_;
  std::optional<detail::ml_model> f84_;
  detail::pair_kernel kernel_ = nullptr;
  detail::rows_kernel rows_kernel_ = nullptr;
  detail::range_kernel range_kernel_ = nullptr;
  std::vector<u64> everywhere_; // the sites in use (COMPLETE, and the pair tables)
  std::size_t known_offset_ = 0;
  std::optional<detail::ml_model> ml_;
  std::size_t m_ = 0; // the sites in use, for the pair tables
  std::vector<unsigned char> codes_;
  std::size_t words_ = 0;   // of sites in use
  std::vector<u64> onehot_; // per sequence and word of sites: a plane per amino acid, and one of any
  std::size_t side_ = 4;
};

// ---- Pairs in order -------------------------------------------------------------------------

// Rows [i0, i1) of the pairs, `pairs` of which belong to the part.
struct band {
  std::size_t i0, i1;
  u64 pairs;
};

// Runs compute(worker, band, pairs, log) over the bands on the threads that options ask for,
// each into a buffer of its own, and write(pairs) for each band in turn from the calling
// thread, which reports progress after each. The threads compare at most a few bands ahead of
// the one that is written next; the calling thread compares too when the next band is not
// ready. An exception from write, progress or compute stops the threads and is passed on.
template <class Compute, class Write>
undefined_log run_bands(const std::vector<band> &bands, u64 total, const dist_options &options, Compute &&compute,
                        Write &&write) {
  const std::size_t workers = std::min(worker_limit(options), std::max<std::size_t>(bands.size(), 1));
  const std::size_t window = 2 * workers;
  struct slot {
    std::vector<pair_distance> pairs;
    bool ready = false;
  };
  std::vector<slot> slots(window);
  std::vector<undefined_log> logs(workers);
  for (auto &log : logs) log.first.reserve(first_kept + 1);
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t taken = 0, written = 0; // under mutex
  bool stop = false;                  // under mutex
  std::exception_ptr failure;         // under mutex
  auto work = [&](std::size_t worker) {
    std::unique_lock lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return stop || taken == bands.size() || taken < written + window; });
      if (stop || taken == bands.size()) return;
      const std::size_t t = taken++;
      lock.unlock();
      try {
        compute(worker, bands[t], slots[t % window].pairs, logs[worker]);
      } catch (...) {
        lock.lock();
        if (!failure) failure = std::current_exception();
        stop = true;
        changed.notify_all();
        return;
      }
      lock.lock();
      slots[t % window].ready = true;
      changed.notify_all();
    }
  };
  auto halt = [&] {
    std::lock_guard lock(mutex);
    stop = true;
    changed.notify_all();
  };
  u64 done = 0;
  {
    std::vector<std::jthread> pool;
    try {
      for (std::size_t w = 1; w < workers; ++w) {
        try {
          pool.emplace_back(work, w);
        } catch (const std::system_error &) {
          break; // the threads that started, and this one, do all the work
        }
      }
      std::vector<pair_distance> batch;
      std::unique_lock lock(mutex);
      while (written < bands.size() && !failure) {
        slot &next = slots[written % window];
        if (next.ready) {
          next.ready = false;
          batch.swap(next.pairs);
          const u64 pairs = bands[written].pairs;
          ++written;
          changed.notify_all();
          lock.unlock();
          write(std::span<const pair_distance>(batch));
          batch.clear();
          done += pairs;
          if (options.progress) options.progress(done, total);
          lock.lock();
        } else if (taken < bands.size() && taken < written + window) {
          const std::size_t t = taken++;
          lock.unlock();
          compute(0, bands[t], slots[t % window].pairs, logs[0]);
          lock.lock();
          slots[t % window].ready = true;
        } else {
          changed.wait(lock);
        }
      }
    } catch (...) {
      halt();
      pool.clear();
      throw;
    }
    halt();
    pool.clear();
    if (failure) std::rethrow_exception(failure);
  }
  if (options.progress) options.progress(total, total);
  undefined_log all;
  for (const undefined_log &log : logs) {
    all.count += log.count;
    all.first.insert(all.first.end(), log.first.begin(), log.first.end());
  }
  std::sort(all.first.begin(), all.first.end(), before);
  if (all.first.size() > first_kept) all.first.resize(first_kept);
  return all;
}

// The first rank of row i: the pairs (i', j) with i' < i.
constexpr u64 row_rank(u64 i) { return i * (i - (i != 0)) / 2; }

// The row that holds the pair of rank r.
std::size_t row_of(u64 r) {
  auto i = static_cast<u64>((1 + std::sqrt(1 + 8 * static_cast<long double>(r))) / 2);
  while (i > 1 && row_rank(i) > r) --i;
  while (row_rank(i + 1) <= r) ++i;
  return static_cast<std::size_t>(i);
}

// The sparse form of the alignment when it is to be used, nullptr otherwise.
std::unique_ptr<detail::sparse_alignment> sparse_form(const packed_alignment &aln, const dist_options &options,
                                                      const pairs_options &pairs) {
  const bool fits = options.model == model_type::P || options.model == model_type::COUNT;
  if (pairs.engine == pair_engine::DENSE || aln.size() < 2) return nullptr;
  if (pairs.engine == pair_engine::SPARSE) {
    if (!fits) throw formula_error("the sparse comparison gives the P and COUNT distances only");
    return std::make_unique<detail::sparse_alignment>(aln, sites_in_use(aln), UINT64_MAX);
  }
  if (!fits || !pairs.max_distance) return nullptr;
  // Worth it when the differences stay below one in 64 sites on average, and the work of the
  // sites where pairs both differ stays below that of comparing every pair's words.
  const u64 n = aln.size(), words = aln.words();
  auto sparse = std::make_unique<detail::sparse_alignment>(aln, sites_in_use(aln), n * words);
  if (!sparse->complete()) return nullptr;
  const long double dense_work = static_cast<long double>(n) * static_cast<long double>(n) * words / 2;
  const long double sparse_work = static_cast<long double>(sparse->shared_work()) / 2 +
                                  4 * static_cast<long double>(n) * static_cast<long double>(n) / 2;
  return sparse_work < dense_work ? std::move(sparse) : nullptr;
}

} // namespace

std::uint64_t dna_dist(const packed_alignment &aln, const dist_options &options, dist_mat_type &dist) {
  const std::size_t n = aln.size();
  if (dist.n_tax() != n)
    throw range_error("the distance matrix has " + std::to_string(dist.n_tax()) + " taxa, the alignment " +
                      std::to_string(n) + " sequences");
  check_options(aln, options);
  for (std::size_t i = 0; i < n; ++i) dist.labels[i] = aln.labels()[i];
  for (std::size_t i = 0; i < n; ++i) dist.distances(i, i) = 0.0f;
  if (n < 2) return 0;

  const float fill = options.undefined_value.value_or(0.0f);
  const comparer compare(aln, options);
  std::vector<std::optional<evaluation_memo>> memos(worker_limit(options));
  const undefined_log undefined = for_each_tile(
      n, compare.side(), options,
      [&](std::size_t worker, std::size_t i0, std::size_t i1, std::size_t j0, std::size_t j1, undefined_log &log) {
        if (!memos[worker]) memos[worker].emplace(compare.memo());
        return compare.tile(i0, i1, j0, j1, *memos[worker], [&](std::size_t i, std::size_t j, const evaluation &e) {
          float value = static_cast<float>(e.value);
          if (e.undefined) {
            log.add({i, j, *e.undefined, e.sites, e.differing});
            value = fill;
          }
          dist.distances(i, j) = dist.distances(j, i) = value;
        });
      });
  if (undefined.count == 0 || options.undefined_value) return undefined.count;
  throw undefined_distance_error(undefined.count, undefined.first);
}

std::pair<std::uint64_t, std::uint64_t> part_ranks(std::size_t n, std::uint64_t part, std::uint64_t parts) {
  if (parts == 0 || part >= parts)
    throw range_error("part " + std::to_string(part + 1) + " of " + std::to_string(parts) + " does not exist");
  const u64 total = n < 2 ? 0 : static_cast<u64>(n) * (n - 1) / 2;
  auto at = [&](u64 k) { return static_cast<u64>(static_cast<wide_unsigned>(total) * k / parts); };
  return {at(part), at(part + 1)};
}

pair_engine chosen_engine(const packed_alignment &aln, const dist_options &options, const pairs_options &pairs) {
  return sparse_form(aln, options, pairs) ? pair_engine::SPARSE : pair_engine::DENSE;
}

std::uint64_t dna_pairs(const packed_alignment &aln, const dist_options &options, const pairs_options &pairs,
                        const std::function<void(std::span<const pair_distance>)> &sink) {
  check_options(aln, options);
  const std::size_t n = aln.size();
  if (n > UINT32_MAX) throw range_error("the pairs of more than 4294967295 sequences cannot be numbered");
  if (pairs.max_distance && !(*pairs.max_distance >= 0))
    throw range_error("the largest distance written must be a number of 0 or more");
  const std::pair<u64, u64> ranks = part_ranks(n, pairs.part, pairs.parts);
  const u64 lo = ranks.first, hi = ranks.second; // (lambdas cannot take structured bindings in C++20)
  const std::unique_ptr<detail::sparse_alignment> sparse = sparse_form(aln, options, pairs);
  if (lo == hi) {
    if (options.progress) options.progress(0, 0);
    return 0;
  }
  const comparer compare(aln, options);
  const std::size_t first_row = row_of(lo), last_row = row_of(hi - 1);

  // Bands of rows of at most about 2^21 pairs, and at most a tile's side.
  const std::size_t height =
      std::clamp<std::size_t>((std::size_t{1} << 21) / last_row, 1, sparse ? 64 : compare.side());
  std::vector<band> bands;
  for (std::size_t i0 = first_row; i0 <= last_row; i0 += height) {
    const std::size_t i1 = std::min(last_row + 1, i0 + height);
    bands.push_back({i0, i1, std::min<u64>(hi, row_rank(i1)) - std::max<u64>(lo, row_rank(i0))});
  }

  const std::optional<float> fill = options.undefined_value;
  // The bound as the matrix would hold it, so that a value written as X is within X.
  std::optional<double> bound;
  if (pairs.max_distance)
    bound = *pairs.max_distance >= max_distance ? std::numeric_limits<double>::infinity()
                                                : static_cast<double>(static_cast<float>(*pairs.max_distance));
  std::atomic<bool> refused{false}; // an undefined pair without a value: nothing more to write
  struct sparse_space {
    std::vector<std::int32_t> scratch;
    std::vector<u64> sites, differing;
  };
  dist_options run = options;
  run.threads = options.threads != 0 ? options.threads : available_cpus();
  std::vector<sparse_space> spaces(sparse ? run.threads : 0);
  std::vector<std::optional<evaluation_memo>> memos(run.threads);
  auto compute = [&](std::size_t worker, const band &b, std::vector<pair_distance> &out, undefined_log &log) {
    if (!memos[worker]) memos[worker].emplace(compare.memo());
    evaluation_memo &memo = *memos[worker];
    auto put = [&](std::size_t i, std::size_t j, const evaluation &e) {
      if (i == first_row || i == last_row) {
        const u64 rank = row_rank(i) + j;
        if (rank < lo || rank >= hi) return;
      }
      float value = static_cast<float>(e.value);
      if (e.undefined) {
        log.add({i, j, *e.undefined, e.sites, e.differing});
        if (!fill) {
          refused.store(true, std::memory_order_relaxed);
          return;
        }
        value = *fill;
      }
      if (bound && !(static_cast<double>(value) <= *bound)) return;
      out.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j), value});
    };
    if (sparse) {
      sparse_space &space = spaces[worker];
      space.scratch.resize(2 * b.i1);
      space.sites.resize(b.i1);
      space.differing.resize(b.i1);
      const bool symbols = aln.rule() == site_rule::ALL;
      const bool count = options.model == model_type::COUNT;
      u64 c[detail::max_counts] = {}; // a pair's counts, as a kernel of its kind leaves them
      for (std::size_t i = b.i0; i < b.i1; ++i) {
        sparse->row(i, i, count || symbols ? nullptr : space.sites.data(), space.differing.data(),
                    space.scratch.data());
        for (std::size_t j = 0; j < i; ++j) {
          const u64 d = space.differing[j];
          if (count && bound && static_cast<double>(static_cast<float>(d)) > *bound) continue;
          c[0] = symbols ? d : count ? 0 : space.sites[j];
          c[1] = d;
          put(i, j, memo(c));
        }
      }
    } else {
      const std::size_t side = compare.side();
      for (std::size_t j0 = 0; j0 + 1 < b.i1; j0 += side) {
        const std::size_t j1 = std::min(j0 + side, b.i1 - 1);
        if (bound && compare.stops_early()) compare.bounded_tile(b.i0, b.i1, j0, j1, *bound, put);
        else compare.tile(b.i0, b.i1, j0, j1, memo, put);
      }
    }
    std::sort(out.begin(), out.end(),
              [](const pair_distance &a, const pair_distance &c) { return a.i != c.i ? a.i < c.i : a.j < c.j; });
  };
  const undefined_log undefined = run_bands(bands, hi - lo, run, compute, [&](std::span<const pair_distance> batch) {
    if (!refused.load(std::memory_order_relaxed) && !batch.empty()) sink(batch);
  });
  if (undefined.count == 0 || options.undefined_value) return undefined.count;
  throw undefined_distance_error(undefined.count, undefined.first);
}

} // namespace phylo::dna
