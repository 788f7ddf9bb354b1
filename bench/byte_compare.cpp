// byte_compare FILE: the yardstick for phylo dist. Reads a FASTA alignment and compares every
// ordered pair of sequences byte by byte in a plain loop, as a first program would; prints
// the number of pairs and the sum of their differing sites, so that no comparison can be left
// out. Built with -O2 and nothing else.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: byte_compare FILE\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  std::vector<std::string> seqs;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] == '>') seqs.emplace_back();
    else if (!seqs.empty()) seqs.back() += line;
  }
  unsigned long long total = 0;
  for (std::size_t i = 0; i < seqs.size(); ++i) {
    for (std::size_t j = 0; j < seqs.size(); ++j) {
      const std::string &a = seqs[i], &b = seqs[j];
      unsigned long long differ = 0;
      for (std::size_t k = 0; k < a.size(); ++k)
        differ += a[k] != b[k];
      total += differ;
    }
  }
  std::printf("%zu pairs, %llu differing sites\n", seqs.size() * seqs.size(), total);
  return 0;
}
