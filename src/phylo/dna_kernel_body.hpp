// The body of the comparison kernels, compiled once per instruction set: each file that
// includes it builds one kernel_set with vectors of LANES 64-bit words. Everything here has
// internal linkage and uses compiler built-ins only, so that code compiled for a wider
// instruction set can never be picked by the linker for another file.
#pragma once

#include "dna_kernel.hpp"

#if defined(__AVX512VPOPCNTDQ__)
#include <immintrin.h>
#endif

namespace phylo::dna::detail {
namespace {

using u64 = std::uint64_t;

template <int L> struct vec_of { typedef u64 type __attribute__((vector_size(8 * L))); };

template <class V> inline __attribute__((always_inline)) V load(const u64 *p) {
  V v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

// The population count of each lane.
template <int L>
inline __attribute__((always_inline)) typename vec_of<L>::type lane_counts(typename vec_of<L>::type v) {
#if defined(__AVX512VPOPCNTDQ__)
  if constexpr (L == 8)
    return reinterpret_cast<typename vec_of<L>::type>(_mm512_popcnt_epi64(reinterpret_cast<__m512i>(v)));
#endif
  typename vec_of<L>::type c;
  for (int k = 0; k < L; ++k) c[k] = static_cast<u64>(__builtin_popcountll(v[k]));
  return c;
}

template <int L> inline __attribute__((always_inline)) u64 lane_sum(typename vec_of<L>::type v) {
  u64 s = 0;
  for (int k = 0; k < L; ++k) s += v[k];
  return s;
}

// The masks whose bits are counted, for the vector of words at w.
template <count_kind K> struct masks_of;

template <> struct masks_of<count_kind::SYMBOLS3> {
  static constexpr int n = 1;
  template <class V>
  static inline __attribute__((always_inline)) void at(const u64 *x, const u64 *y, const u64 *, const u64 *,
                                                       std::size_t w, std::size_t words, V *m) {
    m[0] = (load<V>(x + w) ^ load<V>(y + w)) | (load<V>(x + words + w) ^ load<V>(y + words + w)) |
           (load<V>(x + 2 * words + w) ^ load<V>(y + 2 * words + w));
  }
};

template <> struct masks_of<count_kind::SYMBOLS5> {
  static constexpr int n = 1;
  template <class V>
  static inline __attribute__((always_inline)) void at(const u64 *x, const u64 *y, const u64 *, const u64 *,
                                                       std::size_t w, std::size_t words, V *m) {
    V d = load<V>(x + w) ^ load<V>(y + w);
#pragma GCC unroll 4
    for (std::size_t p = 1; p < 5; ++p) d |= load<V>(x + p * words + w) ^ load<V>(y + p * words + w);
    m[0] = d;
  }
};

// Planes: 0 the pyrimidine bit h, 1 the second bit l; kx, ky the known bits.
template <class V> struct site_words {
  V hx, hy, lx, ly, k, d;
  static inline __attribute__((always_inline)) site_words at(const u64 *x, const u64 *y, const u64 *kx, const u64 *ky,
                                                             std::size_t w, std::size_t words) {
    site_words s;
    s.hx = load<V>(x + w);
    s.hy = load<V>(y + w);
    s.lx = load<V>(x + words + w);
    s.ly = load<V>(y + words + w);
    s.k = load<V>(kx + w) & load<V>(ky + w);
    s.d = ((s.hx ^ s.hy) | (s.lx ^ s.ly)) & s.k;
    return s;
  }
};

template <> struct masks_of<count_kind::DIFF> {
  static constexpr int n = 2;
  template <class V>
  static inline __attribute__((always_inline)) void at(const u64 *x, const u64 *y, const u64 *kx, const u64 *ky,
                                                       std::size_t w, std::size_t words, V *m) {
    const site_words<V> s = site_words<V>::at(x, y, kx, ky, w, words);
    m[0] = s.k;
    m[1] = s.d;
  }
};

template <> struct masks_of<count_kind::TS> {
  static constexpr int n = 3;
  template <class V>
  static inline __attribute__((always_inline)) void at(const u64 *x, const u64 *y, const u64 *kx, const u64 *ky,
                                                       std::size_t w, std::size_t words, V *m) {
    const site_words<V> s = site_words<V>::at(x, y, kx, ky, w, words);
    m[0] = s.k;
    m[1] = s.d;
    m[2] = s.d & ~(s.hx ^ s.hy); // both purines or both pyrimidines
  }
};

template <> struct masks_of<count_kind::TN> {
  static constexpr int n = 4;
  template <class V>
  static inline __attribute__((always_inline)) void at(const u64 *x, const u64 *y, const u64 *kx, const u64 *ky,
                                                       std::size_t w, std::size_t words, V *m) {
    const site_words<V> s = site_words<V>::at(x, y, kx, ky, w, words);
    m[0] = s.k;
    m[1] = s.d;
    m[2] = s.d & ~(s.hx | s.hy); // A-G
    m[3] = s.d & s.hx & s.hy;    // C-T
  }
};

template <> struct masks_of<count_kind::K81> {
  static constexpr int n = 4;
  template <class V>
  static inline __attribute__((always_inline)) void at(const u64 *x, const u64 *y, const u64 *kx, const u64 *ky,
                                                       std::size_t w, std::size_t words, V *m) {
    const site_words<V> s = site_words<V>::at(x, y, kx, ky, w, words);
    m[0] = s.k;
    m[1] = s.d;
    m[2] = s.d & ~(s.hx ^ s.hy);                 // A-G, C-T
    m[3] = s.d & (s.hx ^ s.hy) & ~(s.lx ^ s.ly); // A-C, G-T
  }
};

// Planes 0-4 the amino acid's code, kx and ky the known bits.
template <> struct masks_of<count_kind::AMINO> {
  static constexpr int n = 2;
  template <class V>
  static inline __attribute__((always_inline)) void at(const u64 *x, const u64 *y, const u64 *kx, const u64 *ky,
                                                       std::size_t w, std::size_t words, V *m) {
    V d = load<V>(x + w) ^ load<V>(y + w);
#pragma GCC unroll 4
    for (std::size_t p = 1; p < 5; ++p) d |= load<V>(x + p * words + w) ^ load<V>(y + p * words + w);
    const V k = load<V>(kx + w) & load<V>(ky + w);
    m[0] = k;
    m[1] = d & k;
  }
};

template <> struct masks_of<count_kind::LOGDET> {
  static constexpr int n = 16;
  template <class V>
  static inline __attribute__((always_inline)) void at(const u64 *x, const u64 *y, const u64 *kx, const u64 *ky,
                                                       std::size_t w, std::size_t words, V *m) {
    const V hx = load<V>(x + w), hy = load<V>(y + w), lx = load<V>(x + words + w), ly = load<V>(y + words + w);
    const V k = load<V>(kx + w) & load<V>(ky + w);
    const V xs[4] = {k, k & hx, k & lx, k & hx & lx};
    const V ys[3] = {hy, ly, hy & ly};
#pragma GCC unroll 4
    for (int a = 0; a < 4; ++a) {
      m[4 * a] = xs[a];
#pragma GCC unroll 3
      for (int b = 0; b < 3; ++b) m[4 * a + b + 1] = xs[a] & ys[b];
    }
  }
};

template <class V> inline __attribute__((always_inline)) void carry_save(V &high, V &low, V a, V b, V c) {
  const V u = a ^ b;
  high = (a & b) | (u & c);
  low = u ^ c;
}

// Counts with one population count per lane and vector: for processors that count a whole
// vector in one instruction.
template <int L, count_kind K>
void count_direct_range(const u64 *x, const u64 *y, const u64 *kx, const u64 *ky, std::size_t words, std::size_t w0,
                        std::size_t w1, u64 *out) {
  using V = typename vec_of<L>::type;
  constexpr int n = masks_of<K>::n;
  V acc[n] = {};
  for (std::size_t w = w0; w < w1; w += L) {
    V m[n];
    masks_of<K>::template at<V>(x, y, kx, ky, w, words, m);
#pragma GCC unroll 16
    for (int s = 0; s < n; ++s) acc[s] += lane_counts<L>(m[s]);
  }
  for (int s = 0; s < n; ++s) out[s] = lane_sum<L>(acc[s]);
}

template <int L, count_kind K>
void count_direct(const u64 *x, const u64 *y, const u64 *kx, const u64 *ky, std::size_t words, u64 *out) {
  count_direct_range<L, K>(x, y, kx, ky, words, 0, words, out);
}

// Counts four vectors at a time through carry-save adders (Harley and Seal), with one
// population count per lane for every four vectors.
template <int L, count_kind K>
void count_carry_save_range(const u64 *x, const u64 *y, const u64 *kx, const u64 *ky, std::size_t words, std::size_t w0,
                            std::size_t w1, u64 *out) {
  using V = typename vec_of<L>::type;
  constexpr int n = masks_of<K>::n;
  V ones[n] = {}, twos[n] = {}, fours[n] = {};
  for (std::size_t w = w0; w < w1; w += 4 * L) {
    V m0[n], m1[n], m2[n], m3[n];
    masks_of<K>::template at<V>(x, y, kx, ky, w, words, m0);
    masks_of<K>::template at<V>(x, y, kx, ky, w + L, words, m1);
    masks_of<K>::template at<V>(x, y, kx, ky, w + 2 * L, words, m2);
    masks_of<K>::template at<V>(x, y, kx, ky, w + 3 * L, words, m3);
#pragma GCC unroll 16
    for (int s = 0; s < n; ++s) {
      V two_a, two_b, four;
      carry_save(two_a, ones[s], ones[s], m0[s], m1[s]);
      carry_save(two_b, ones[s], ones[s], m2[s], m3[s]);
      carry_save(four, twos[s], twos[s], two_a, two_b);
      fours[s] += lane_counts<L>(four);
    }
  }
  for (int s = 0; s < n; ++s)
    out[s] =
        4 * lane_sum<L>(fours[s]) + 2 * lane_sum<L>(lane_counts<L>(twos[s])) + lane_sum<L>(lane_counts<L>(ones[s]));
}

template <int L, count_kind K>
void count_carry_save(const u64 *x, const u64 *y, const u64 *kx, const u64 *ky, std::size_t words, u64 *out) {
  count_carry_save_range<L, K>(x, y, kx, ky, words, 0, words, out);
}

// Counts of G sequences x[0 .. G) against y with one population count per lane and vector:
// each vector of y is loaded once for all of them.
template <int L, count_kind K, int G>
void count_direct_group(const u64 *const *x, const u64 *const *kx, const u64 *y, const u64 *ky, std::size_t words,
                        u64 *out) {
  using V = typename vec_of<L>::type;
  constexpr int n = masks_of<K>::n;
  V acc[G][n] = {};
  const u64 *xs[G], *ks[G];
  for (int r = 0; r < G; ++r) {
    xs[r] = x[r];
    ks[r] = kx[r];
  }
  for (std::size_t w = 0; w < words; w += L) {
#pragma GCC unroll 4
    for (int r = 0; r < G; ++r) {
      V m[n];
      masks_of<K>::template at<V>(xs[r], y, ks[r], ky, w, words, m);
#pragma GCC unroll 16
      for (int s = 0; s < n; ++s) acc[r][s] += lane_counts<L>(m[s]);
    }
  }
  for (int r = 0; r < G; ++r)
    for (int s = 0; s < n; ++s) out[r * max_counts + s] = lane_sum<L>(acc[r][s]);
}

// The counts of rows_at_once sequences against y, out[r * max_counts ...] for x[r]: in groups
// that keep their sums in registers where the vectors are counted directly, one by one where
// they go through carry-save adders.
template <int L, count_kind K, bool direct>
void count_rows(const u64 *const *x, const u64 *const *kx, const u64 *y, const u64 *ky, std::size_t words, u64 *out) {
  if constexpr (direct) {
    constexpr int n = masks_of<K>::n, group = n <= 2 ? 4 : n <= 4 ? 2 : 1;
    static_assert(rows_at_once % group == 0);
    for (std::size_t r = 0; r < rows_at_once; r += group)
      count_direct_group<L, K, group>(x + r, kx + r, y, ky, words, out + r * max_counts);
  } else {
    for (std::size_t r = 0; r < rows_at_once; ++r)
      count_carry_save<L, K>(x[r], y, kx[r], ky, words, out + r * max_counts);
  }
}

template <int L, bool direct> constexpr kernel_set make_set(const char *name) {
  static_assert(word_multiple % (direct ? L : 4 * L) == 0, "a step of the kernel must divide the padded words");
  using K = count_kind;
  constexpr rows_kernel rows[] = {count_rows<L, K::SYMBOLS3, direct>, count_rows<L, K::SYMBOLS5, direct>,
                                  count_rows<L, K::DIFF, direct>,     count_rows<L, K::TS, direct>,
                                  count_rows<L, K::TN, direct>,       count_rows<L, K::LOGDET, direct>,
                                  count_rows<L, K::K81, direct>,      count_rows<L, K::AMINO, direct>};
  constexpr range_kernel ranges[] = {
      direct ? count_direct_range<L, K::SYMBOLS3> : count_carry_save_range<L, K::SYMBOLS3>,
      direct ? count_direct_range<L, K::SYMBOLS5> : count_carry_save_range<L, K::SYMBOLS5>,
      direct ? count_direct_range<L, K::DIFF> : count_carry_save_range<L, K::DIFF>,
      direct ? count_direct_range<L, K::TS> : count_carry_save_range<L, K::TS>,
      direct ? count_direct_range<L, K::TN> : count_carry_save_range<L, K::TN>,
      direct ? count_direct_range<L, K::LOGDET> : count_carry_save_range<L, K::LOGDET>,
      direct ? count_direct_range<L, K::K81> : count_carry_save_range<L, K::K81>,
      direct ? count_direct_range<L, K::AMINO> : count_carry_save_range<L, K::AMINO>};
  if constexpr (direct) {
    return {name,
            {count_direct<L, K::SYMBOLS3>, count_direct<L, K::SYMBOLS5>, count_direct<L, K::DIFF>,
             count_direct<L, K::TS>, count_direct<L, K::TN>, count_direct<L, K::LOGDET>, count_direct<L, K::K81>,
             count_direct<L, K::AMINO>},
            {rows[0], rows[1], rows[2], rows[3], rows[4], rows[5], rows[6], rows[7]},
            {ranges[0], ranges[1], ranges[2], ranges[3], ranges[4], ranges[5], ranges[6], ranges[7]}};
  } else {
    return {name,
            {count_carry_save<L, K::SYMBOLS3>, count_carry_save<L, K::SYMBOLS5>, count_carry_save<L, K::DIFF>,
             count_carry_save<L, K::TS>, count_carry_save<L, K::TN>, count_carry_save<L, K::LOGDET>,
             count_carry_save<L, K::K81>, count_carry_save<L, K::AMINO>},
            {rows[0], rows[1], rows[2], rows[3], rows[4], rows[5], rows[6], rows[7]},
            {ranges[0], ranges[1], ranges[2], ranges[3], ranges[4], ranges[5], ranges[6], ranges[7]}};
  }
}

} // namespace
} // namespace phylo::dna::detail
