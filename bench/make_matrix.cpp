// make_matrix: writes a reproducible symmetric distance matrix for the benchmarks.
//
//   make_matrix N LAYOUT [SEED] > FILE
//
// LAYOUT is x (extended PHYLIP: labels taxon_00001 ...), p (PHYLIP: 10-character labels
// taxon00001 ...) or t (tab-separated with a header line of labels), each cell written as
// the 12-character image of its single-precision value and the cells of a row separated by
// tabs; r (relaxed PHYLIP as tree builders write it: a label word, then the cells with six
// decimals, separated by blanks); or s (tab-separated as scikit-bio and pandas write it:
// every cell the shortest decimal that reads back as its double, up to 17 digits, the
// diagonal "0.0"); c (CSV as pandas' to_csv writes it: an empty corner cell, the cells of s
// after commas); or a (pairs as mash and R write them: a header line, then "a<TAB>b<TAB>value"
// for every pair above the diagonal, the value as in s). The diagonal is zero; cell (i, j) = cell (j, i) is a double in
// [0, 0.75) drawn from a hash of (SEED, i, j), so any row can be made without the others, and the file depends on N,
// LAYOUT and SEED only. Every layout holds the same matrix.

#include "phylo/number.hpp"

#include <charconv>
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

double cell(std::uint64_t seed, std::size_t i, std::size_t j) {
  if (i == j) return 0.0;
  if (i > j) std::swap(i, j);
  const std::uint64_t h = mix(mix(seed ^ (std::uint64_t{i} << 32 | j)));
  return static_cast<double>(h >> 11) * 0x1p-53 * 0.75; // 53 random bits, below 0.75
}

// The cell as the layout writes it, after a separator.
void append_cell(std::string &out, char layout, double v) {
  char buf[64];
  switch (layout) {
  case 'r':
    out += ' ';
    out.append(buf, static_cast<std::size_t>(std::snprintf(buf, sizeof buf, "%.6f", v)));
    return;
  case 'c':
  case 's':
    out += layout == 'c' ? ',' : '\t';
    if (v == 0.0) out += "0.0";
    else out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    return;
  default: out += '\t'; out.append(buf, phylo::print::write_number_image(static_cast<float>(v), buf));
  }
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
  if (argc < 3 || argc > 4 || std::strlen(argv[2]) != 1 || !std::strchr("xptrsca", argv[2][0])) {
    std::fprintf(stderr, "usage: make_matrix N x|p|t|r|s|c|a [SEED] > FILE\n");
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
  if (layout == 'a') {
    out += "taxon1\ttaxon2\tdistance\n";
    for (std::size_t i = 0; i < size; ++i)
      for (std::size_t j = i + 1; j < size; ++j) {
        out += label(layout, i);
        out += '\t';
        out += label(layout, j);
        append_cell(out, 's', cell(seed, i, j));
        out += '\n';
        put(out, false);
      }
    put(out, true);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (layout == 'c') {
    for (std::size_t i = 0; i < size; ++i) out += ',' + label(layout, i);
    out += '\n';
  } else if (layout == 't' || layout == 's') {
    for (std::size_t i = 0; i < size; ++i) out += '\t' + label(layout, i);
    out += '\n';
  } else {
    out += ' ' + std::to_string(n) + '\n';
  }
  for (std::size_t i = 0; i < size; ++i) {
    out += label(layout, i);
    for (std::size_t j = 0; j < size; ++j) append_cell(out, layout, cell(seed, i, j));
    out += '\n';
    put(out, false);
  }
  put(out, true);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
