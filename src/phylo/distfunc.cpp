#include "phylo/distfunc.hpp"

#include "distfunc_cells.hpp"

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
//
// A transformation may also have a block kernel, block(d, out, hard, m), that transforms m
// cells without a branch, so that the compiler can use vector instructions: out[k] is the
// transform of d[k] unless hard[k] is set, when the cell goes through the per-cell path (a
// fault, or a result the kernel cannot vouch for).
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
inline unsigned char outside_range(float v) noexcept { return !((v >= 0.0f) & (v <= max_distance)); }

struct square {
  cell_fault operator()(float d, float &v) const noexcept {
    v = d * d;
    if (std::isinf(v)) return {fault::range, "D^2 overflows single precision"};
    return {};
  }
  void block(const float *d, float *out, unsigned char *hard, std::size_t m) const noexcept {
    for (std::size_t k = 0; k < m; ++k) {
      out[k] = d[k] * d[k];
      hard[k] = outside_range(out[k]);
    }
  }
};
struct square_root {
  cell_fault operator()(float d, float &v) const noexcept {
    if (d < 0.0f) return {fault::argument, "sqrt(D) is undefined for a negative D"};
    v = static_cast<float>(std::sqrt(static_cast<double>(d)));
    return {};
  }
  // The single-precision root is the double-precision root rounded: a double carries more than
  // twice a float's digits, which makes rounding twice harmless for a square root.
  void block(const float *d, float *out, unsigned char *hard, std::size_t m) const noexcept {
    for (std::size_t k = 0; k < m; ++k) {
      out[k] = std::sqrt(d[k]); // NaN below 0, and marked
      hard[k] = static_cast<unsigned char>((d[k] < 0.0f) | outside_range(out[k]));
    }
  }
};
struct ranging {
  float max;
  cell_fault operator()(float d, float &v) const noexcept {
    v = d / max;
    return {};
  }
  void block(const float *d, float *out, unsigned char *hard, std::size_t m) const noexcept {
    for (std::size_t k = 0; k < m; ++k) {
      out[k] = d[k] / max;
      hard[k] = outside_range(out[k]);
    }
  }
};

// The arcsine of a float in [0, 1], rounded to a float, is the same float as std::asin's
// rounded, in a fraction of the time. A polynomial approximates the arcsine of y in
// [-1/2, 1/2] in double precision with a relative error below 5e-13: asin(y) = y + y z P(z),
// z = y^2. Three reductions bring r there:
//   r <= 1/2:        asin(r) itself;
//   r^2 <= 3/4:      asin(r) = pi/4 - asin(1 - 2 r^2) / 2, the double angle: r^2 and
//                    1 - 2 r^2 are exact in double precision, so no square root is needed;
//   above, up to 1:  asin(r) = pi/2 - 2 asin(sqrt((1 - r) / 2)).
// Rounding the result to a float can only differ from rounding the exact arcsine when the
// approximation lies within its error of a point halfway between two floats; there the
// library's arcsine decides.
constexpr double half_pi_hi = 0x1.921fb54442d18p+0, half_pi_lo = 0x1.1a62633145c07p-54;

// asin(s) for s in [-1/2, 1/2], z = s^2.
inline double asin_poly(double s, double z) noexcept {
  // Chebyshev fit of (asin(sqrt z) - sqrt z) / z^(3/2) on [0, 1/4], highest power first.
  constexpr double p[] = {0x1.d06eddee004bep-6, 0x1.17d722d86d4bep-10, 0x1.144d1f0d0554dp-6,
                          0x1.14eefea06d8d9p-6, 0x1.6f347e4a44c5dp-6, 0x1.f1beb9c867b18p-6,
                          0x1.6db6f5e9d0b98p-5, 0x1.333333133277ep-4, 0x1.555555555ba9ep-3};
  // Estrin's scheme: the same polynomial as Horner's rule, in four dependent steps instead of
  // eight, so that neighbouring cells overlap in the pipeline.
  const double z2 = z * z, z4 = z2 * z2;
  const double a0 = p[7] * z + p[8], a1 = p[5] * z + p[6], a2 = p[3] * z + p[4], a3 = p[1] * z + p[2];
  const double b0 = a1 * z2 + a0, b1 = a3 * z2 + a2;
  const double q = (p[0] * z4 + b1) * z4 + b0;
  return s + s * z * q;
}

// Whether a lies too close to a point halfway between two floats to be rounded to a float
// safely. The 29 bits that a float drops: 2^28 is exactly halfway. The error of the
// approximation is below 2^14 units of the last place of a; 2^16 on either side leaves room.
inline bool near_halfway(double a) noexcept {
  std::uint64_t bits;
  std::memcpy(&bits, &a, sizeof bits);
  const auto dropped = static_cast<std::uint32_t>(bits) & ((std::uint32_t{1} << 29) - 1);
  return dropped - ((std::uint32_t{1} << 28) - (std::uint32_t{1} << 16)) < (std::uint32_t{1} << 17);
}

// a if c, else b, by masks: cells alternate unpredictably between the reductions, and a
// branch here would be mispredicted for a third of them.
inline double choose(bool c, double a, double b) noexcept {
  std::uint64_t ab, bb;
  std::memcpy(&ab, &a, sizeof ab);
  std::memcpy(&bb, &b, sizeof bb);
  const std::uint64_t mask = std::uint64_t{0} - std::uint64_t{c};
  const std::uint64_t chosen = (ab & mask) | (bb & ~mask);
  double result;
  std::memcpy(&result, &chosen, sizeof result);
  return result;
}

// The first two reductions, for r^2 = x2 <= 3/4.
inline double asin_near(double x, double x2) noexcept {
  const bool small = x <= 0.5;
  const double y = 1 - 2 * x2; // exact for r^2 in (1/4, 3/4]
  const double q = asin_poly(choose(small, x, y), choose(small, x2, y * y));
  // q itself, or pi/4 - q/2 = hi + (k q - lo). For q itself hi is -0.0, which keeps the sign of
  // a zero: the arcsine of -0.0 (the root of a distance read as -0) is -0.0.
  const double hi = choose(small, -0.0, 0.5 * half_pi_hi), k = choose(small, 1.0, -0.5),
               lo = choose(small, 0.0, -0.5 * half_pi_lo);
  return hi + (k * q - lo);
}

float arcsin_to_float(float r) noexcept {
  const double x = r;
  const double x2 = x * x; // exact: 48 significant bits at most
  double a;
  if (x2 <= 0.75) {
    a = asin_near(x, x2);
  } else {
    const double z = (1 - x) * 0.5;
    a = half_pi_hi - (2 * asin_poly(std::sqrt(z), z) - half_pi_lo);
  }
  if (near_halfway(a)) [[unlikely]]
    return static_cast<float>(std::asin(x));
  return static_cast<float>(a);
}

struct arcsin_sqrt {
  cell_fault operator()(float d, float &v) const noexcept {
    if (d < 0.0f) return {fault::argument, "sqrt(D) is undefined for a negative D"};
    const float r = std::sqrt(d); // the double-precision root rounded, as above
    if (r > 1.0f) return {fault::argument, "arcsin(sqrt(D)) is undefined for D above 1"};
    v = arcsin_to_float(r);
    return {};
  }

  // The cells with a distance in [0, 3/4] and a result clear of a rounding boundary.
  void block(const float *d, float *out, unsigned char *hard, std::size_t m) const noexcept {
    for (std::size_t k = 0; k < m; ++k) {
      const float dk = d[k];
      const double x = std::sqrt(dk); // NaN below 0, and marked
      const double x2 = x * x;
      const double a = asin_near(x, x2);
      out[k] = static_cast<float>(a);
      hard[k] = static_cast<unsigned char>(!(dk >= 0.0f) | !(x2 <= 0.75) | near_halfway(a));
    }
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
  auto cell = [&](std::size_t i, std::size_t j) {
    float *at = c + i * n + j;
    float v = 0.0f;
    cell_fault bad = f(*at, v);
    if (bad.kind == fault::none && !in_distance_range(v)) bad = {fault::range, "the result is out of range"};
    if (bad.kind != fault::none) {
      mirror_upper(dist, i, j);
      std::string what = cell_name(i, j) + ", D = " + image_of(*at) + ": " + bad.why;
      if (bad.kind == fault::argument) throw argument_error(what);
      throw range_error(what);
    }
    *at = v;
  };
  for (std::size_t i = 0; i + 1 < n; ++i) {
    std::size_t j = i + 1;
    if constexpr (requires(float *p, unsigned char *h) { f.block(p, p, h, n); }) {
      // The block kernel does the common cells; the cells it marks go through the per-cell
      // path in order, so that a fault still stops at its own cell.
      constexpr std::size_t block = 256;
      float out[block];
      unsigned char hard[block];
      float *row = c + i * n;
      for (; j < n; j += block) {
        const std::size_t m = std::min(block, n - j);
        f.block(row + j, out, hard, m);
        for (std::size_t k = 0; k < m; ++k) {
          if (hard[k]) [[unlikely]]
            cell(i, j + k);
          else
            row[j + k] = out[k];
        }
      }
    }
    for (; j < n; ++j) cell(i, j);
  }
  mirror_upper(dist, n, 0);
}

} // namespace

float max_dist(const dist_mat_type &dist) {
  const std::size_t n = dist.n_tax();
  // Eight running maxima, each kept by `>` like a single one would be, let the compiler use
  // vector instructions; the largest of them is the largest cell.
  constexpr std::size_t lanes = 8;
  float max[lanes] = {};
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const float *row = dist.distances.row(i);
    std::size_t j = i + 1;
    for (; j + lanes <= n; j += lanes)
      for (std::size_t k = 0; k < lanes; ++k) max[k] = row[j + k] > max[k] ? row[j + k] : max[k];
    for (; j < n; ++j) max[0] = row[j] > max[0] ? row[j] : max[0];
  }
  float largest = 0.0f;
  for (float m : max)
    if (m > largest) largest = m;
  return largest;
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

namespace detail {
namespace {

// Calls f with the transformation object of conv; false for NONE and values outside the
// enumeration.
template <class F> bool with_transform(dist_conv_type conv, float max, F f) {
  switch (conv) {
  case dist_conv_type::NEG_LOG: f(neg_log{}); return true;
  case dist_conv_type::EXP: f(one_minus_exp{}); return true;
  case dist_conv_type::SQUARE: f(square{}); return true;
  case dist_conv_type::SQUARE_ROOT: f(square_root{}); return true;
  case dist_conv_type::RANGING: f(ranging{max}); return true;
  case dist_conv_type::ARCSIN: f(arcsin_sqrt{}); return true;
  case dist_conv_type::NONE: return false;
  }
  return false;
}

} // namespace

cell_outcome transform_cell(dist_conv_type conv, float d, float max) {
  cell_outcome r{cell_fault::none, d};
  with_transform(conv, max, [&](auto t) {
    const auto bad = t(d, r.value);
    if (bad.kind == fault::none && !in_distance_range(r.value)) r.fault = cell_fault::range;
    else if (bad.kind == fault::range) r.fault = cell_fault::range;
    else if (bad.kind == fault::argument) r.fault = cell_fault::argument;
  });
  return r;
}

bool transform_block(dist_conv_type conv, float max, const float *d, float *out, unsigned char *hard,
                     std::size_t m) {
  bool has_kernel = false;
  with_transform(conv, max, [&](auto t) {
    if constexpr (requires { t.block(d, out, hard, m); }) {
      t.block(d, out, hard, m);
      has_kernel = true;
    }
  });
  return has_kernel;
}

} // namespace detail

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
