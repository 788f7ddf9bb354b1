// make_outbreak_alignment N SITES [SEED] [MUTATIONS]: a FASTA alignment of N sequences of SITES
// sites as genomic surveillance of one outbreak gathers them, on standard output; the same on
// every machine for the same arguments. The sequences are the leaves of a random tree (a Yule
// tree: a leaf drawn at random splits in two) whose every branch carries a Poisson number of
// substitutions of mean MUTATIONS (default 1), so that a pair differs at a few dozen sites and
// a small share of the pairs at 20 or fewer. One sequence in ten has a run of 50 to 500 N (a
// stretch that sequencing missed). Labels o1 ... oN.
#include "alignment_maker.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char **argv) {
  if (argc < 3 || argc > 5) {
    std::fprintf(stderr, "usage: make_outbreak_alignment N SITES [SEED] [MUTATIONS]\n");
    return 2;
  }
  const std::size_t n = std::strtoull(argv[1], nullptr, 10), sites = std::strtoull(argv[2], nullptr, 10);
  const double mean = argc == 5 ? std::strtod(argv[4], nullptr) : 1.0;
  if (n < 2 || sites == 0 || !(mean >= 0)) {
    std::fprintf(stderr, "make_outbreak_alignment: N must be at least 2, SITES positive, MUTATIONS 0 or more\n");
    return 2;
  }
  bench::random_bits r{argc >= 4 ? std::strtoull(argv[3], nullptr, 10) : 1};
  // Node 0 is the root; splitting leaf v makes it internal with two new leaves, so that every
  // node comes after its parent.
  std::vector<std::size_t> parent{0}, leaves{0};
  while (leaves.size() < n) {
    const std::size_t k = r.below(leaves.size()), v = leaves[k];
    parent.push_back(v);
    parent.push_back(v);
    leaves[k] = parent.size() - 2;
    leaves.push_back(parent.size() - 1);
  }
  // The substitutions of each branch: (site, base), drawn by Knuth's Poisson method.
  struct change {
    std::uint32_t site;
    char base;
  };
  std::vector<std::vector<change>> changes(parent.size());
  const double limit = std::exp(-mean);
  for (std::size_t v = 1; v < parent.size(); ++v)
    for (double p = r.uniform(); p > limit; p *= r.uniform())
      changes[v].push_back({static_cast<std::uint32_t>(r.below(sites)), "ACGT"[r.below(4)]});
  std::string root(sites, 'A');
  for (char &b : root) b = "ACGT"[r.below(4)];
  std::string seq, out;
  std::vector<std::size_t> path;
  for (std::size_t k = 0; k < n; ++k) {
    seq = root;
    path.clear();
    for (std::size_t v = leaves[k]; v != 0; v = parent[v]) path.push_back(v);
    for (auto it = path.rbegin(); it != path.rend(); ++it) // from the root down
      for (const change &c : changes[*it]) seq[c.site] = c.base;
    if (r.below(10) == 0) {
      const std::size_t length = std::min(sites, 50 + r.below(451)), start = r.below(sites - length + 1);
      seq.replace(start, length, length, 'N');
    }
    out = ">o" + std::to_string(k + 1) + "\n" + seq + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
