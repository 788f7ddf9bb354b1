// Alignments for the tests of the distances: packed from texts, or drawn at random around a
// random root by a generator that gives the same numbers on every machine.
#pragma once

#include "phylo/dna_dist.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace phylo::test {

using seqs_type = std::vector<std::pair<std::string, std::string>>;

struct random_bits {
  std::uint64_t state;
  std::uint64_t next() {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return state ^ (state >> 29);
  }
};

inline dna::packed_alignment pack(dna::site_rule rule, const seqs_type &seqs,
                                  dna::alphabet residues = dna::alphabet::DNA) {
  dna::packed_alignment aln(rule, residues);
  for (const auto &[label, text] : seqs) aln.add(label, text);
  return aln;
}

// n sequences t0, t1, ... of a random root of `length` residues drawn from `roots`; each site
// of the i-th is redrawn from `symbols` with the chance chance(i, bits) in 65,536.
template <class Chance>
seqs_type descendants(std::uint64_t seed, std::size_t n, std::size_t length, std::string_view roots,
                      std::string_view symbols, Chance chance) {
  random_bits r{seed};
  std::string root(length, 'A');
  for (char &c : root) c = roots[r.next() % roots.size()];
  seqs_type seqs;
  for (std::size_t i = 0; i < n; ++i) {
    std::string s = root;
    const std::uint64_t share = chance(i, r);
    for (char &c : s)
      if (r.next() % 65536 < share) c = symbols[r.next() % symbols.size()];
    seqs.emplace_back("t" + std::to_string(i), s);
  }
  return seqs;
}

} // namespace phylo::test
