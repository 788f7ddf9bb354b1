// make_matrix: writes a reproducible symmetric distance matrix for the benchmarks.
//
//   make_matrix N LAYOUT [SEED] > FILE
//
// LAYOUT is x (extended PHYLIP: labels taxon_00001 ...), p (PHYLIP: 10-character labels
// taxon00001 ...) or t (tab-separated with a header line of labels). The diagonal is zero;
// cell (i, j) = cell (j, i) is a value in [0, 0.75) drawn from a hash of (SEED, i, j), so
// any row can be made without the others, and the file depends on N, LAYOUT and SEED only.
// Every cell is written as its 12-character image, the cells of a row separated by tabs.

#include "phylo/print.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::uint64_t mix(std::uint64_t z) {
  z += 0x9E3779B97F4A7C15u;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

float cell(std::uint64_t seed, std::size_t i, std::size_t j) {
  if (i == j) return 0.0f;
  if (i > j) std::swap(i, j);
  const std::uint64_t h = mix(mix(seed ^ (std::uint64_t{i} << 32 | j)));
  return static_cast<float>(h >> 40) * 0x1p-24f * 0.75f; // 24 random bits: exact, below 0.75
}

std::string label(char layout, std::size_t i) {
  char buf[32];
  std::snprintf(buf, sizeof buf, layout == 'p' ? "taxon%05zu" : "taxon_%05zu", i + 1);
  return buf;
}

void put(std::string &out, bool last) {
  if (last || out.size() >= (1u << 22)) {
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) {
      std::perror("make_matrix");
      std::exit(1);
    }
    out.clear();
  }
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 3 || argc > 4 || std::strlen(argv[2]) != 1 || !std::strchr("xpt", argv[2][0])) {
    std::fprintf(stderr, "usage: make_matrix N x|p|t [SEED] > FILE\n");
    return 2;
  }
  const long n = std::strtol(argv[1], nullptr, 10);
  const char layout = argv[2][0];
  const std::uint64_t seed = argc == 4 ? std::strtoull(argv[3], nullptr, 10) : 1;
  if (n < 1 || n > 99999) {
    std::fprintf(stderr, "make_matrix: N must be 1 to 99999\n");
    return 2;
  }
  const auto size = static_cast<std::size_t>(n);
  std::string out;
  if (layout == 't') {
    for (std::size_t i = 0; i < size; ++i) out += '\t' + label(layout, i);
    out += '\n';
  } else {
    out += ' ' + std::to_string(n) + '\n';
  }
  char image[phylo::print::number_image_size];
  for (std::size_t i = 0; i < size; ++i) {
    out += label(layout, i);
    for (std::size_t j = 0; j < size; ++j) {
      out += '\t';
      out.append(image, phylo::print::write_number_image(cell(seed, i, j), image));
    }
    out += '\n';
    put(out, false);
  }
  put(out, true);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
