// make_tree_alignment N SITES [SEED]: a FASTA alignment of N sequences of SITES sites, evolved
// under the Jukes-Cantor model along a random tree, on standard output; the same on every
// machine for the same arguments. The tree grows by splitting a leaf drawn at random (a Yule
// tree), every branch of an exponential length of mean 0.015 substitutions per site, so that
// JC69 distances spread as in real data and stay short of saturation. Labels s1 ... sN.
#include "alignment_maker.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char **argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: make_tree_alignment N SITES [SEED]\n");
    return 2;
  }
  const std::size_t n = std::strtoull(argv[1], nullptr, 10), sites = std::strtoull(argv[2], nullptr, 10);
  if (n < 2 || sites == 0) {
    std::fprintf(stderr, "make_tree_alignment: N must be at least 2 and SITES positive\n");
    return 2;
  }
  bench::random_bits r{argc == 4 ? std::strtoull(argv[3], nullptr, 10) : 1};
  // Node 0 is the root; splitting leaf v makes it internal with two new leaves, so that every
  // node comes after its parent.
  std::vector<std::size_t> parent{0}, leaves{0};
  std::vector<double> length{0};
  while (leaves.size() < n) {
    const std::size_t k = r.below(leaves.size()), v = leaves[k];
    for (int c = 0; c < 2; ++c) {
      parent.push_back(v);
      length.push_back(-0.015 * std::log(1 - r.uniform()));
    }
    leaves[k] = parent.size() - 2;
    leaves.push_back(parent.size() - 1);
  }
  static const char bases[] = "ACGT";
  std::vector<std::string> seq(parent.size());
  seq[0].resize(sites);
  for (char &b : seq[0]) b = bases[r.below(4)];
  for (std::size_t v = 1; v < parent.size(); ++v) {
    seq[v] = seq[parent[v]];
    const double change = 0.75 * (1 - std::exp(-4.0 / 3.0 * length[v]));
    for (char &b : seq[v])
      if (r.uniform() < change) {
        const std::size_t was = b == 'A' ? 0 : b == 'C' ? 1 : b == 'G' ? 2 : 3;
        b = bases[(was + 1 + r.below(3)) % 4];
      }
  }
  std::string out;
  for (std::size_t i = 0; i < n; ++i) {
    out += ">s" + std::to_string(i + 1) + "\n" + seq[leaves[i]] + "\n";
    if (out.size() > (1u << 20)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
