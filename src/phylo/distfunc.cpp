#include "phylo/distfunc.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace phylo::distfunc {
namespace {

enum class fault { none, range, argument };

struct cell_fault {
  fault kind = fault::none;
  const char *why = "";
};

inline bool in_distance_range(float v) noexcept { return v >= 0.0f && v <= max_distance; }

// Each transformation of one cell: writes the result to v, or returns the fault.
struct neg_log {
  cell_fault operator()(float d, float &v) const noexcept {
    const float t = 1.0f - d;
    if (t == 0.0f) return {fault::range, "-log(1-D) of D = 1 is infinite"};
    if (t < 0.0f) return {fault::argument, "-log(1-D) is undefined for D above 1"};
    v = -static_cast<float>(std::log(static_cast<double>(t)));
    return {};
  }
};
struct one_minus_exp {
  cell_fault operator()(float d, float &v) const noexcept {
    v = 1.0f - static_cast<float>(std::exp(-static_cast<double>(d)));
    return {};
  }
};
struct square {
  cell_fault operator()(float d, float &v) const noexcept {
    v = d * d;
    if (std::isinf(v)) return {fault::range, "D^2 overflows single precision"};
    return {};
  }
};
struct square_root {
  cell_fault operator()(float d, float &v) const noexcept {
    if (d < 0.0f) return {fault::argument, "sqrt(D) is undefined for a negative D"};
    v = static_cast<float>(std::sqrt(static_cast<double>(d)));
    return {};
  }
};
struct ranging {
  float max;
  cell_fault operator()(float d, float &v) const noexcept {
    v = d / max;
    return {};
  }
};

// The arcsine of a float r in [0, 1], rounded to a float: the same float as std::asin(r)
// rounded, in about half the time. A polynomial approximates the arcsine in double precision
// with a relative error below 5e-13: asin(x) = x + x z P(z) with z = x^2 up to x = 1/2, and
// asin(x) = pi/2 - 2 asin(sqrt((1 - x) / 2)) above. Rounding that to a float can only differ
// from rounding the exact arcsine when the approximation lies within its error of a point
// halfway between two floats; there the library's arcsine decides.
float arcsin_to_float(float r) noexcept {
  // Chebyshev fit of (asin(sqrt z) - sqrt z) / z^(3/2) on [0, 1/4], highest power first.
  static constexpr double p[] = {0x1.d06eddee004bep-6, 0x1.17d722d86d4bep-10, 0x1.144d1f0d0554dp-6,
                                 0x1.14eefea06d8d9p-6, 0x1.6f347e4a44c5dp-6, 0x1.f1beb9c867b18p-6,
                                 0x1.6db6f5e9d0b98p-5, 0x1.333333133277ep-4, 0x1.555555555ba9ep-3};
  constexpr double half_pi_hi = 0x1.921fb54442d18p+0, half_pi_lo = 0x1.1a62633145c07p-54;
  const double x = r;
  const bool near_zero = x <= 0.5;
  const double z = near_zero ? x * x : (1 - x) * 0.5;
  const double root = std::sqrt((1 - x) * 0.5);
  const double s = near_zero ? x : root;
  // Estrin's scheme: the same polynomial as Horner's rule, in four dependent steps instead of
  // eight, so that neighbouring cells overlap in the pipeline.
  const double z2 = z * z, z4 = z2 * z2;
  const double a0 = p[7] * z + p[8], a1 = p[5] * z + p[6], a2 = p[3] * z + p[4], a3 = p[1] * z + p[2];
  const double b0 = a1 * z2 + a0, b1 = a3 * z2 + a2;
  double q = (p[0] * z4 + b1) * z4 + b0;
  q = s + s * z * q;
  const double a = near_zero ? q : half_pi_hi - (2 * q - half_pi_lo);
  // The 29 bits that a float drops: 2^28 is exactly halfway. The error above is below 2^14
  // units of the last place of a; 2^16 on either side leaves room.
  std::uint64_t bits;
  std::memcpy(&bits, &a, sizeof bits);
  const std::uint64_t dropped = bits & ((std::uint64_t{1} << 29) - 1);
  if (dropped - ((std::uint64_t{1} << 28) - (1u << 16)) < (std::uint64_t{1} << 17)) [[unlikely]]
    return static_cast<float>(std::asin(x));
  return static_cast<float>(a);
}

struct arcsin_sqrt {
  cell_fault operator()(float d, float &v) const noexcept {
    if (d < 0.0f) return {fault::argument, "sqrt(D) is undefined for a negative D"};
    // The single-precision root is the double-precision root rounded: a double carries more
    // than twice a float's digits, which makes rounding twice harmless for a square root.
    const float r = std::sqrt(d);
    if (r > 1.0f) return {fault::argument, "arcsin(sqrt(D)) is undefined for D above 1"};
    v = arcsin_to_float(r);
    return {};
  }
};

// Copies cell (r, c) to (c, r) for every cell above the diagonal that comes before cell
// (stop_row, stop_col) in row order, in tiles so that both triangles stay in cache.
void mirror_upper(dist_mat_type &dist, std::size_t stop_row, std::size_t stop_col) {
  constexpr std::size_t tile = 64;
  const std::size_t n = dist.n_tax();
  float *c = dist.distances.data();
  auto before_stop = [&](std::size_t r, std::size_t col) {
    return r < stop_row || (r == stop_row && col < stop_col);
  };
  for (std::size_t r0 = 0; r0 < n && r0 <= stop_row; r0 += tile) {
    const std::size_t r1 = std::min(n, r0 + tile);
    for (std::size_t c0 = r0; c0 < n; c0 += tile) {
      const std::size_t c1 = std::min(n, c0 + tile);
      for (std::size_t r = r0; r < r1; ++r)
        for (std::size_t col = std::max(c0, r + 1); col < c1; ++col)
          if (before_stop(r, col)) c[col * n + r] = c[r * n + col];
    }
  }
}

std::string cell_name(std::size_t i, std::size_t j) {
  return "cell (" + std::to_string(i + 1) + ", " + std::to_string(j + 1) + ")";
}

std::string image_of(float v) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

template <class Transform> void transform_upper(dist_mat_type &dist, Transform f) {
  const std::size_t n = dist.n_tax();
  float *c = dist.distances.data();
  for (std::size_t i = 0; i + 1 < n; ++i) {
    float *row = c + i * n;
    for (std::size_t j = i + 1; j < n; ++j) {
      float v = 0.0f;
      cell_fault bad = f(row[j], v);
      if (bad.kind == fault::none && !in_distance_range(v)) bad = {fault::range, "the result is out of range"};
      if (bad.kind != fault::none) {
        mirror_upper(dist, i, j);
        std::string what = cell_name(i, j) + ", D = " + image_of(row[j]) + ": " + bad.why;
        if (bad.kind == fault::argument) throw argument_error(what);
        throw range_error(what);
      }
      row[j] = v;
    }
  }
  mirror_upper(dist, n, 0);
}

} // namespace

float max_dist(const dist_mat_type &dist) {
  const std::size_t n = dist.n_tax();
  float max = 0.0f;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const float *row = dist.distances.row(i);
    for (std::size_t j = i + 1; j < n; ++j)
      if (row[j] > max) max = row[j];
  }
  return max;
}

std::pair<float, float> max_and_ssq(const fast_dist_mat_type &dist) {
  const std::size_t n = dist.n_tax();
  float max = 0.0f, sum = 0.0f;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j) {
      const std::size_t k = i * n + j;
      if (k >= dist.n_cells())
        throw range_error(cell_name(i, j) + " lies past the " + std::to_string(dist.n_cells()) + " cells");
      const float d = dist.distances[k];
      sum += d * d;
      if (!in_distance_range(sum)) throw range_error("the sum of squares leaves the range of distances at " + cell_name(i, j));
      if (d > max) max = d;
    }
  }
  return {max, sum};
}

void convert_dist(dist_mat_type &dist, dist_conv_type conv) {
  switch (conv) {
  case dist_conv_type::NONE:
    return;
  case dist_conv_type::NEG_LOG:
    return transform_upper(dist, neg_log{});
  case dist_conv_type::EXP:
    return transform_upper(dist, one_minus_exp{});
  case dist_conv_type::SQUARE:
    return transform_upper(dist, square{});
  case dist_conv_type::SQUARE_ROOT:
    return transform_upper(dist, square_root{});
  case dist_conv_type::RANGING: {
    const float max = max_dist(dist);
    if (max == 0.0f) return;
    return transform_upper(dist, ranging{max});
  }
  case dist_conv_type::ARCSIN:
    return transform_upper(dist, arcsin_sqrt{});
  }
  throw range_error("transformation " + std::to_string(static_cast<int>(conv)) + " does not exist");
}

} // namespace phylo::distfunc
