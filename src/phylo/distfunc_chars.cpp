// Distances computed from character matrices. All arithmetic on values is single precision,
// done in the order written; products and sums are never fused.
#include "phylo/distfunc.hpp"

#include "phylo/number.hpp"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#if defined(__clang__)
#pragma clang fp contract(off)
#endif

static_assert(FLT_EVAL_METHOD == 0, "single-precision operations must round to single precision");

namespace phylo::distfunc {
namespace {

constexpr std::int64_t count_max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t count_min = std::numeric_limits<std::int32_t>::min();

inline bool in_range(float v) noexcept { return v >= 0.0f && v <= max_distance; }

std::string pair_name(std::size_t i, std::size_t j) {
  return "taxa " + std::to_string(i + 1) + " and " + std::to_string(j + 1);
}

const char *form_name(dist_form_type form) {
  switch (form) {
  case dist_form_type::EUKLIDEAN: return "EUKLIDEAN";
  case dist_form_type::STANDARDIZED_EUKLIDEAN: return "STANDARDIZED_EUKLIDEAN";
  case dist_form_type::CHORD: return "CHORD";
  case dist_form_type::CANBERRA: return "CANBERRA";
  case dist_form_type::MANHATTAN: return "MANHATTAN";
  case dist_form_type::BRAY_CURTIS: return "BRAY_CURTIS";
  case dist_form_type::EDGAR: return "EDGAR";
  case dist_form_type::PEARSON: return "PEARSON";
  case dist_form_type::EXCLUSIVE_EUKLIDEAN: return "EXCLUSIVE_EUKLIDEAN";
  }
  return "an unknown form";
}

[[noreturn]] void not_defined(dist_form_type form, const char *kind) {
  throw formula_error(std::string("the distance ") + form_name(form) + " is not defined for " + kind + " matrices");
}

// Adds t to a running sum that must stay in 0.0 .. max_distance.
inline void add_checked(float &sum, float t, const char *what) {
  sum += t;
  if (!in_range(sum)) throw range_error(std::string(what) + " leaves 0.0 to 3.40282347e38");
}

// The square root of a single-precision value, evaluated in double and rounded to single.
inline float root(float x) {
  if (x < 0.0f) throw argument_error("square root of the negative value " + print::shortest_decimal(x));
  return static_cast<float>(std::sqrt(static_cast<double>(x)));
}

// A 32-bit integer sum of counts: range_error when a partial sum leaves 32 bits.
inline void add_count(std::int64_t &sum, std::int64_t t, const char *what) {
  sum += t;
  if (sum > count_max || sum < count_min) throw range_error(std::string(what) + " passes 2147483647");
}

// A distance that the metric leaves undefined for the pair, and why.
[[noreturn]] void undefined(std::size_t i, std::size_t j, const std::string &why) {
  throw range_error("the distance of " + pair_name(i, j) + " is undefined: " + why);
}
std::string taxon_of(std::size_t i, std::size_t j, bool first) {
  return "taxon " + std::to_string((first ? i : j) + 1);
}

// Row by row: the diagonal cell as the row begins, then every pair to its right, checked and
// stored above and below the diagonal; the last diagonal cell at the end.
template <class Pair> void fill_pairs(dist_mat_type &dist, Pair pair) {
  const std::size_t n = dist.n_tax();
  if (n == 0) return;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    dist.distances(i, i) = 0.0f;
    for (std::size_t j = i + 1; j < n; ++j) {
      const float d = pair(i, j);
      if (!in_range(d)) throw range_error("the distance of " + pair_name(i, j) + " is " + print::shortest_decimal(d));
      dist.distances(i, j) = d;
      dist.distances(j, i) = d;
    }
  }
  dist.distances(n - 1, n - 1) = 0.0f;
}

inline float dot(const float *a, const float *b, std::size_t m) noexcept {
  float s = 0.0f;
  for (std::size_t k = 0; k < m; ++k) s += a[k] * b[k];
  return s;
}

void quant_dist(const char_mat_type &chars, dist_form_type form, dist_mat_type &dist) {
  const quant_matrix_type &x = chars.quant_data();
  const std::size_t n = chars.n_tax(), m = chars.n_char();
  const float mf = static_cast<float>(m);

  std::vector<float> s, a, b, v, w; // per taxon S, A, B, W; per character V
  switch (form) {
  case dist_form_type::EUKLIDEAN:
  case dist_form_type::CHORD:
    s.assign(n, 0.0f);
    for (std::size_t i = 0; i < n; ++i) {
      const float *r = x.row(i);
      for (std::size_t k = 0; k < m; ++k) add_checked(s[i], r[k] * r[k], "a sum of squares");
    }
    break;
  case dist_form_type::STANDARDIZED_EUKLIDEAN: {
    const float nf = static_cast<float>(n);
    std::vector<float> sum(m, 0.0f), ssq(m, 0.0f);
    for (std::size_t i = 0; i < n; ++i) {
      const float *r = x.row(i);
      for (std::size_t k = 0; k < m; ++k) {
        sum[k] += r[k];
        add_checked(ssq[k], r[k] * r[k], "a sum of squares");
      }
    }
    v.resize(m);
    for (std::size_t k = 0; k < m; ++k) v[k] = (ssq[k] - sum[k] * sum[k] / nf) / nf;
    w.assign(n, 0.0f);
    for (std::size_t i = 0; i < n; ++i) {
      const float *r = x.row(i);
      for (std::size_t k = 0; k < m; ++k) {
        if (!in_range(v[k]))
          throw range_error("the variance of character " + std::to_string(k + 1) + " is " +
                            print::shortest_decimal(v[k]));
        if (v[k] != 0.0f) add_checked(w[i], r[k] * r[k] / v[k], "a weighted sum of squares");
      }
    }
    break;
  }
  case dist_form_type::PEARSON:
    a.assign(n, 0.0f);
    b.assign(n, 0.0f);
    for (std::size_t i = 0; i < n; ++i) {
      const float *r = x.row(i);
      float ssq = 0.0f;
      for (std::size_t k = 0; k < m; ++k) {
        a[i] += r[k];
        add_checked(ssq, r[k] * r[k], "a sum of squares");
      }
      b[i] = ssq - a[i] * a[i] / mf;
    }
    break;
  default: break;
  }
  const float sqrt2 = root(2.0f);

  switch (form) {
  case dist_form_type::EUKLIDEAN:
    return fill_pairs(dist, [&](std::size_t i, std::size_t j) {
      const float d2 = dot(x.row(i), x.row(j), m);
      return root((s[i] + s[j] - (d2 + d2)) / mf);
    });
  case dist_form_type::STANDARDIZED_EUKLIDEAN:
    return fill_pairs(dist, [&](std::size_t i, std::size_t j) {
      const float *ri = x.row(i), *rj = x.row(j);
      float sdot = 0.0f;
      for (std::size_t k = 0; k < m; ++k) // every variance is finite: W's loop checked them
        if (v[k] != 0.0f) sdot += ri[k] * rj[k] / v[k];
      return root((w[i] + w[j] - (sdot + sdot)) / mf);
    });
  case dist_form_type::CHORD:
    return fill_pairs(dist, [&](std::size_t i, std::size_t j) {
      if (s[i] == 0.0f || s[j] == 0.0f)
        undefined(i, j, "no length (the values of " + taxon_of(i, j, s[i] == 0.0f) + " are all 0)");
      const float q = dot(x.row(i), x.row(j), m) / root(s[i] * s[j]);
      return root(1.0f - q) * sqrt2;
    });
  case dist_form_type::CANBERRA:
    return fill_pairs(dist, [&](std::size_t i, std::size_t j) {
      const float *ri = x.row(i), *rj = x.row(j);
      float sum = 0.0f;
      for (std::size_t k = 0; k < m; ++k) {
        if (ri[k] == 0.0f && rj[k] == 0.0f) continue;
        add_checked(sum, std::fabs((ri[k] - rj[k]) / (ri[k] + rj[k])), "a CANBERRA sum");
      }
      return sum / mf;
    });
  case dist_form_type::MANHATTAN:
    return fill_pairs(dist, [&](std::size_t i, std::size_t j) {
      const float *ri = x.row(i), *rj = x.row(j);
      float sum = 0.0f;
      for (std::size_t k = 0; k < m; ++k) add_checked(sum, std::fabs(ri[k] - rj[k]), "a MANHATTAN sum");
      return sum / mf;
    });
  case dist_form_type::PEARSON:
    return fill_pairs(dist, [&](std::size_t i, std::size_t j) {
      if (b[i] == 0.0f || b[j] == 0.0f)
        undefined(i, j, "no variance (the values of " + taxon_of(i, j, b[i] == 0.0f) + " are all equal)");
      const float num = dot(x.row(i), x.row(j), m) - a[i] * a[j] / mf;
      const float den = root(b[i] * b[j]);
      const float r = num / den;
      return (1.0f - r) * 0.5f;
    });
  case dist_form_type::EXCLUSIVE_EUKLIDEAN:
    return fill_pairs(dist, [&](std::size_t i, std::size_t j) {
      const float *ri = x.row(i), *rj = x.row(j);
      float ssq = 0.0f;
      std::int32_t missing = 0;
      for (std::size_t k = 0; k < m; ++k) {
        if (ri[k] >= 0.0f && rj[k] >= 0.0f) {
          const float diff = ri[k] - rj[k];
          add_checked(ssq, diff * diff, "a sum of squares");
        } else {
          ++missing;
        }
      }
      if (missing == static_cast<std::int32_t>(m)) undefined(i, j, "no character that both taxa have");
      return root(ssq / (mf - static_cast<float>(missing)));
    });
  case dist_form_type::BRAY_CURTIS:
  case dist_form_type::EDGAR:
    return fill_pairs(dist, [&](std::size_t, std::size_t) -> float { not_defined(form, "quantitative"); });
  }
  throw range_error("distance form " + std::to_string(static_cast<int>(form)) + " does not exist");
}

void discr_dist(const char_mat_type &chars, dist_mat_type &dist) {
  const discr_matrix_type &x = chars.discr_data();
  const std::size_t m = chars.n_char();
  const float mf = static_cast<float>(m);
  fill_pairs(dist, [&](std::size_t i, std::size_t j) {
    const char *ri = x.row(i), *rj = x.row(j);
    std::size_t differ = 0;
    for (std::size_t k = 0; k < m; ++k) differ += ri[k] != rj[k];
    return static_cast<float>(differ) / mf;
  });
}

void count_dist(const char_mat_type &chars, dist_form_type form, dist_mat_type &dist) {
  const count_matrix_type &x = chars.count_data();
  const std::size_t n = chars.n_tax(), m = chars.n_char();

  std::vector<std::int64_t> t;
  if (form == dist_form_type::BRAY_CURTIS || form == dist_form_type::EDGAR) {
    t.assign(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
      const std::int32_t *r = x.row(i);
      for (std::size_t k = 0; k < m; ++k) add_count(t[i], r[k], "the sum of counts of a taxon");
    }
  }

  switch (form) {
  case dist_form_type::BRAY_CURTIS:
    return fill_pairs(dist, [&](std::size_t i, std::size_t j) {
      const std::int32_t *ri = x.row(i), *rj = x.row(j);
      std::int64_t s = 0;
      for (std::size_t k = 0; k < m; ++k) {
        const std::int64_t diff = std::int64_t{ri[k]} - rj[k];
        add_count(s, diff < 0 ? -diff : diff, "a BRAY_CURTIS sum");
      }
      if (t[i] + t[j] == 0) undefined(i, j, "no counts (both taxa have only zeros)");
      // Both totals fit 32 bits; their sum is formed exactly before it is rounded.
      return static_cast<float>(s) / static_cast<float>(t[i] + t[j]);
    });
  case dist_form_type::EDGAR:
    return fill_pairs(dist, [&](std::size_t i, std::size_t j) {
      const std::int32_t *ri = x.row(i), *rj = x.row(j);
      std::int64_t s = 0;
      for (std::size_t k = 0; k < m; ++k) add_count(s, min_count(ri[k], rj[k]), "an EDGAR sum");
      const std::int32_t least = min_count(static_cast<std::int32_t>(t[i]), static_cast<std::int32_t>(t[j]));
      if (least == 0) undefined(i, j, "no counts (the counts of " + taxon_of(i, j, t[i] == 0) + " are all 0)");
      return 1.0f - static_cast<float>(s) / static_cast<float>(least);
    });
  case dist_form_type::EUKLIDEAN:
  case dist_form_type::STANDARDIZED_EUKLIDEAN:
  case dist_form_type::CHORD:
  case dist_form_type::CANBERRA:
  case dist_form_type::MANHATTAN:
  case dist_form_type::PEARSON:
  case dist_form_type::EXCLUSIVE_EUKLIDEAN:
    return fill_pairs(dist, [&](std::size_t, std::size_t) -> float { not_defined(form, "count"); });
  }
  throw range_error("distance form " + std::to_string(static_cast<int>(form)) + " does not exist");
}

// n choose k for k = 3 or 4, exactly; 0 when n < k.
std::int64_t choose(int n, int k) {
  if (n < k) return 0;
  // Past these sizes the count is far beyond 32 bits, and the exact product would not fit 64.
  if ((k == 4 && n > 50000) || (k == 3 && n > 2000000)) return count_max + 1;
  std::int64_t c = 1;
  for (int i = 1; i <= k; ++i) c = c * (n - k + i) / i; // exact: C(n-k+i, i)
  return c;
}

std::int32_t limited_count(int n, int k, const char *message) {
  const std::int64_t c = choose(n, k);
  if (c < 1 || c > count_max) {
    std::fputs(message, stderr);
    std::fputc('\n', stderr);
    throw range_error(std::string(message) + " (" + std::to_string(n) + " taxa)");
  }
  return static_cast<std::int32_t>(c);
}

} // namespace

std::int32_t min_count(std::int32_t a, std::int32_t b) noexcept { return a < b ? a : b; }

void make_dist(const char_mat_type &chars, dist_form_type form, dist_mat_type &dist) {
  if (dist.n_tax() != chars.n_tax())
    throw range_error("the distance matrix has " + std::to_string(dist.n_tax()) + " taxa, the character matrix " +
                      std::to_string(chars.n_tax()));
  dist.labels = chars.labels;
  switch (chars.kind()) {
  case matrix_type::QUANT: return quant_dist(chars, form, dist);
  case matrix_type::DISCR: return discr_dist(chars, dist);
  case matrix_type::CNTCH: return count_dist(chars, form, dist);
  }
}

std::int32_t no_quartets(int n) { return limited_count(n, 4, "Too many quartets."); }
std::int32_t no_triplets(int n) { return limited_count(n, 3, "Too many triplets."); }

} // namespace phylo::distfunc
