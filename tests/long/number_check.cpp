// The long check of the number image, the number reader and the arcsine transformation
// (opt-in: -DPHYLO_LONG_CHECKS=ON; it runs for minutes).
//
//   number_check [RANDOM_IMAGES [RANDOM_TEXTS]]
//
// The image is compared with a slow exact reference (the exact decimal expansion of the
// float, cut after the seventh significant digit and rounded up when that digit is 5 or
// more) on every float that lies exactly halfway between two six-digit decimals, on every
// float near a carry across a power of ten, and on RANDOM_IMAGES random bit patterns
// (default 100 million). The reader is compared with std::from_chars on RANDOM_TEXTS random
// texts (default 20 million): 12-character images, floats printed with random digit counts
// and random digit strings, read once from memory and once from a file so that numbers
// straddle refills. Every transformation is compared, one cell at a time and through its
// block kernel, with its formula on every float that the reader can deliver (-0.0 and every
// finite non-negative float); the arcsine transformation, which approximates before it
// rounds, is also run through convert_dist on every float distance from -0.0 to 1.

#include "../number_reference.hpp"
#include "distfunc_cells.hpp"
#include "phylo/distfunc.hpp"
#include "phylo/io.hpp"
#include "phylo/number.hpp"
#include "phylo/types.hpp"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using phylo::test::expected;
using phylo::test::from_bits;
using phylo::test::random_text;
using phylo::test::reference_read;

std::uint32_t bits_of(float f) {
  std::uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

struct tally {
  const char *what;
  std::uint64_t checked = 0, failed = 0;
  void report() const {
    std::printf("%-44s %12llu checked, %llu failed\n", what, static_cast<unsigned long long>(checked),
                static_cast<unsigned long long>(failed));
    std::fflush(stdout);
  }
};

void check_image(float v, tally &t) {
  char got[16] = {}, want[16] = {};
  phylo::print::write_number_image(v, got);
  phylo::test::reference_image(v, want);
  ++t.checked;
  if (std::memcmp(got, want, 12) != 0) {
    if (++t.failed <= 20)
      std::printf("  image of %a (bits %08x): got \"%.12s\", want \"%.12s\"\n", static_cast<double>(v), bits_of(v), got,
                  want);
  }
}

// Every float (n + 1/2) * 10^q with n of six digits: x = (2n + 1) * 10^q / 2.
void exact_ties(tally &t) {
  for (int q = -12; q <= 4; ++q) {
    std::uint64_t five = 1;
    for (int k = 0; k < (q < 0 ? -q : q); ++k) five *= 5;
    for (std::uint64_t n = 100000; n <= 999999; ++n) {
      const std::uint64_t odd = 2 * n + 1;
      double x;
      if (q >= 0) {
        x = std::ldexp(static_cast<double>(odd * five), q - 1); // exact: below 2^53
      } else {
        if (odd % five != 0) continue;
        x = std::ldexp(static_cast<double>(odd / five), q - 1);
      }
      const float f = static_cast<float>(x);
      if (static_cast<double>(f) != x) continue; // not a float
      check_image(f, t);
      check_image(-f, t);
    }
  }
}

// Every float within 256 steps of the values that carry into the next power of ten:
// 9.999995 * 10^e (the first one that rounds up to 10^(e+1)) and 10^(e+1) itself.
void carries(tally &t) {
  for (int e = -46; e <= 38; ++e) {
    for (double boundary : {9.999995 * std::pow(10.0, e), std::pow(10.0, e + 1)}) {
      float f = static_cast<float>(boundary);
      if (!std::isfinite(f)) continue;
      std::uint32_t b = bits_of(f);
      for (std::uint32_t k = b > 256 ? b - 256 : 0; k <= b + 256 && k < 0x7F800000u; ++k) {
        check_image(from_bits(k), t);
        check_image(-from_bits(k), t);
      }
    }
  }
}

void random_images(std::uint64_t count, tally &t) {
  std::mt19937_64 rng(20261206);
  while (t.checked < count) {
    const std::uint64_t r = rng();
    for (std::uint32_t b : {static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(r >> 32)}) {
      if ((b & 0x7F800000u) == 0x7F800000u) continue; // infinities and NaNs: fixed texts
      check_image(from_bits(b), t);
    }
  }
}

// ---------------------------------------------------------------------------------------
// The reader.

// Reads every number of `texts` from the current input and compares it with the reference.
void read_all(const std::vector<std::string> &texts, const std::vector<expected> &want, tally &t) {
  for (std::size_t k = 0; k < texts.size(); ++k) {
    ++t.checked;
    bool ok;
    float got = 0;
    try {
      got = phylo::read::read_real();
      ok = want[k].kind == expected::value && bits_of(got) == bits_of(want[k].v);
    } catch (const phylo::format_error &) {
      ok = want[k].kind == expected::too_large; // the number is consumed all the same
    }
    if (!ok && ++t.failed <= 20)
      std::printf("  read \"%s\": got %a, want %s %a\n", texts[k].c_str(), static_cast<double>(got),
                  want[k].kind == expected::value ? "value" : "format_error", static_cast<double>(want[k].v));
  }
}

void random_reads(std::uint64_t count, tally &in_memory, tally &from_file) {
  std::mt19937_64 rng(7);
  char path[] = "/tmp/number_long_check_XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) {
    std::perror("mkstemp");
    std::exit(1);
  }
  const std::uint64_t batch = 1 << 20;
  for (std::uint64_t done = 0; done < count; done += batch) {
    std::vector<std::string> texts;
    std::vector<expected> want;
    std::string all;
    for (std::uint64_t k = 0; k < batch; ++k) {
      texts.push_back(random_text(rng));
      want.push_back(reference_read(texts.back()));
      all += texts.back();
      all += k % 7 == 0 ? "\n" : rng() % 2 ? "\t" : " ";
    }
    {
      phylo::input_source in = phylo::input_source::from_text(all);
      phylo::scoped_input use(in);
      read_all(texts, want, in_memory);
    }
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, all.data(), all.size(), 0) != static_cast<ssize_t>(all.size())) {
      std::perror(path);
      std::exit(1);
    }
    {
      phylo::input_source in = phylo::input_source::open_file(path);
      phylo::scoped_input use(in);
      read_all(texts, want, from_file);
    }
  }
  ::close(fd);
  ::unlink(path);
}

// ---------------------------------------------------------------------------------------
// The transformations of single cells.

using phylo::distfunc::dist_conv_type;
using phylo::distfunc::detail::cell_fault;
using phylo::distfunc::detail::cell_outcome;

// Each formula as written: elementary functions in double precision on the float, rounded to
// float before the next step; then the range check, which a negative zero passes.
cell_outcome reference_cell(dist_conv_type conv, float d, float max) {
  float v = 0;
  switch (conv) {
  case dist_conv_type::NEG_LOG: {
    const float t = 1.0f - d;
    if (t == 0.0f) return {cell_fault::range, 0};
    if (t < 0.0f) return {cell_fault::argument, 0};
    v = -static_cast<float>(std::log(double{t}));
    break;
  }
  case dist_conv_type::EXP: v = 1.0f - static_cast<float>(std::exp(-double{d})); break;
  case dist_conv_type::SQUARE: v = d * d; break;
  case dist_conv_type::SQUARE_ROOT: v = static_cast<float>(std::sqrt(double{d})); break;
  case dist_conv_type::RANGING: v = d / max; break;
  case dist_conv_type::ARCSIN: {
    const float r = static_cast<float>(std::sqrt(double{d}));
    if (r > 1.0f) return {cell_fault::argument, 0};
    v = static_cast<float>(std::asin(double{r}));
    break;
  }
  case dist_conv_type::NONE: v = d; break;
  }
  if (!(v >= 0.0f && v <= FLT_MAX)) return {cell_fault::range, 0};
  return {cell_fault::none, v};
}

const char *fault_name(cell_fault f) {
  return f == cell_fault::none ? "value" : f == cell_fault::range ? "range_error" : "argument_error";
}

// Every float from -0.0 and 0.0 up to `last` through the per-cell path and the block kernel
// of conv: the per-cell path must give the formula's value or fault, the kernel the same bits
// for every cell that it does not hand to the per-cell path, and it must hand over every cell
// whose formula faults.
void every_cell(dist_conv_type conv, float max, float last, tally &t) {
  constexpr std::size_t block = 1 << 16;
  std::vector<float> d(block), out(block);
  std::vector<unsigned char> hard(block);
  const std::uint64_t end = std::uint64_t{bits_of(last)} + 1;
  bool first = true;
  for (std::uint64_t next = 0; next < end;) {
    std::size_t m = 0;
    if (first) d[m++] = -0.0f, first = false;
    for (; m < block && next < end; ++next) d[m++] = from_bits(static_cast<std::uint32_t>(next));
    const bool kernel = phylo::distfunc::detail::transform_block(conv, max, d.data(), out.data(), hard.data(), m);
    for (std::size_t k = 0; k < m; ++k) {
      const cell_outcome want = reference_cell(conv, d[k], max);
      const cell_outcome cell = phylo::distfunc::detail::transform_cell(conv, d[k], max);
      const bool cell_ok =
          cell.fault == want.fault && (want.fault != cell_fault::none || bits_of(cell.value) == bits_of(want.value));
      const bool kernel_ok =
          !kernel ||
          (want.fault == cell_fault::none ? hard[k] || bits_of(out[k]) == bits_of(want.value) : hard[k] != 0);
      ++t.checked;
      if ((!cell_ok || !kernel_ok) && ++t.failed <= 20)
        std::printf("  %s of %a: want %s %a; per cell %s %a; kernel %s %a\n", t.what, double{d[k]},
                    fault_name(want.fault), double{want.value}, fault_name(cell.fault), double{cell.value},
                    kernel ? (hard[k] ? "hard" : "value") : "none", kernel ? double{out[k]} : 0.0);
    }
  }
}

// ---------------------------------------------------------------------------------------
// The arcsine transformation on every float distance from -0.0 up to the first whose square
// root rounds above 1: the stored value must be std::asin of the rounded square root, rounded.

void every_arcsine(tally &t) {
  const std::size_t n = 4096;
  phylo::dist_mat_type m(n);
  std::uint32_t next = 0;
  const std::uint32_t last = bits_of(std::nextafter(1.0f, 2.0f)) + 1; // sqrt of 1 + 2^-23 rounds to 1
  std::vector<std::uint32_t> placed;
  bool negative_zero = true; // the first cell holds -0.0
  while (next <= last) {
    placed.clear();
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = i + 1; j < n; ++j) {
        const std::uint32_t b = negative_zero ? 0x80000000u : next <= last ? next++ : 0;
        negative_zero = false;
        m.distances(i, j) = from_bits(b);
        placed.push_back(b);
      }
    float highest = 0;
    for (std::uint32_t b : placed) highest = std::max(highest, static_cast<float>(std::sqrt(double{from_bits(b)})));
    if (highest > 1.0f) { // the last batch: keep the distances whose root is at most 1
      for (std::size_t i = 0, k = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j, ++k)
          if (static_cast<float>(std::sqrt(double{from_bits(placed[k])})) > 1.0f) {
            placed[k] = 0;
            m.distances(i, j) = 0.0f;
          }
    }
    phylo::distfunc::convert_dist(m, phylo::distfunc::dist_conv_type::ARCSIN);
    for (std::size_t i = 0, k = 0; i < n; ++i)
      for (std::size_t j = i + 1; j < n; ++j, ++k) {
        const float r = static_cast<float>(std::sqrt(double{from_bits(placed[k])}));
        const float want = static_cast<float>(std::asin(double{r}));
        ++t.checked;
        if (bits_of(m.distances(i, j)) != bits_of(want) || bits_of(m.distances(j, i)) != bits_of(want)) {
          if (++t.failed <= 20)
            std::printf("  arcsin(sqrt(%a)): got %a, want %a\n", double{from_bits(placed[k])},
                        double{m.distances(i, j)}, double{want});
        }
      }
  }
}

} // namespace

int main(int argc, char **argv) {
  const std::uint64_t images = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000000;
  const std::uint64_t reads = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20000000;
  const auto start = std::chrono::steady_clock::now();
  tally ties{"image: exact ties (both signs)"}, carry{"image: near carries across powers of ten"},
      random{"image: random bit patterns"}, memory{"reader: random texts in memory"},
      file{"reader: random texts from a file"}, arcsine{"arcsin(sqrt(D)) by convert_dist: every D up to 1"};
  struct {
    dist_conv_type conv;
    float max, last;
    tally t;
  } cells[] = {
      {dist_conv_type::NEG_LOG, 0, FLT_MAX, {"-log(1-D): every D"}},
      {dist_conv_type::EXP, 0, FLT_MAX, {"1-exp(-D): every D"}},
      {dist_conv_type::SQUARE, 0, FLT_MAX, {"D^2 (kernel): every D"}},
      {dist_conv_type::SQUARE_ROOT, 0, FLT_MAX, {"sqrt(D) (kernel): every D"}},
      {dist_conv_type::RANGING, FLT_MAX, FLT_MAX, {"D/max (kernel), max = FLT_MAX: every D"}},
      {dist_conv_type::RANGING, 3.0f, 3.0f, {"D/max (kernel), max = 3: every D up to 3"}},
      {dist_conv_type::RANGING, 0x1p-149f, 0x1p-149f, {"D/max (kernel), max = 2^-149: every D"}},
      {dist_conv_type::ARCSIN, 0, FLT_MAX, {"arcsin(sqrt(D)) (kernel): every D"}},
  };
  exact_ties(ties);
  ties.report();
  carries(carry);
  carry.report();
  random_images(images, random);
  random.report();
  random_reads(reads, memory, file);
  memory.report();
  file.report();
  for (auto &c : cells) {
    every_cell(c.conv, c.max, c.last, c.t);
    c.t.report();
  }
  every_arcsine(arcsine);
  arcsine.report();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::uint64_t failed = ties.failed + carry.failed + random.failed + memory.failed + file.failed + arcsine.failed;
  for (const auto &c : cells) failed += c.t.failed;
  std::printf("%s after %.0f s\n", failed ? "FAILED" : "all agree", seconds);
  return failed ? 1 : 0;
}
