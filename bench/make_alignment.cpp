// make_alignment N SITES [SEED [protein]]: writes a FASTA nucleotide (or amino-acid) alignment
// of N sequences of SITES sites on standard output (see alignment_maker.hpp), lines of 60
// residues.
#include "alignment_maker.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv) {
  if (argc < 3 || argc > 5 || (argc == 5 && std::string(argv[4]) != "protein")) {
    std::fprintf(stderr, "usage: make_alignment N SITES [SEED [protein]]\n");
    return 2;
  }
  const std::size_t n = std::strtoull(argv[1], nullptr, 10), sites = std::strtoull(argv[2], nullptr, 10);
  if (n == 0 || sites == 0) {
    std::fprintf(stderr, "make_alignment: N and SITES must be positive\n");
    return 2;
  }
  bench::alignment_maker maker(sites, argc >= 4 ? std::strtoull(argv[3], nullptr, 10) : 1, argc == 5);
  std::string out;
  for (std::size_t i = 0; i < n; ++i) {
    const std::string seq = maker.next();
    out += ">s" + std::to_string(i + 1) + "\n";
    for (std::size_t s = 0; s < sites; s += 60) out.append(seq, s, 60).push_back('\n');
    if (out.size() > (1u << 20)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
