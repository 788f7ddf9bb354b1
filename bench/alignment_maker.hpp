// A generator of nucleotide alignments for the benchmarks, the same on every machine for the
// same arguments. The sequences descend from one root through 20 clades, so their distances
// spread as in real data and stay short of saturation: each clade differs from the root at
// about 6% of the sites, each sequence from its clade at 1% to 10%, transitions twice as
// often as transversions, with uneven base frequencies. On top of that: runs of gaps and of N,
// single ambiguity codes and '?', whole sequences in lower case and lower-case stretches in
// others. With `protein`, amino acids instead (uneven frequencies, a change any other amino
// acid), with runs of gaps and of X and single B, Z and '?'.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct random_bits { // splitmix64: the same numbers everywhere
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15u);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
  }
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(uniform() * static_cast<double>(n)); }
};

class alignment_maker {
public:
  alignment_maker(std::size_t sites, std::uint64_t seed, bool protein = false)
      : sites_(sites), protein_(protein), r_{seed} {
    std::string root(sites, 'A');
    for (char &b : root) {
      const double u = r_.uniform(); // A 0.3, C 0.2, G 0.2, T 0.3
      b = protein ? amino_acid() : u < 0.3 ? 'A' : u < 0.5 ? 'C' : u < 0.7 ? 'G' : 'T';
    }
    clades_.assign(20, root);
    for (std::string &c : clades_) mutate(c, 0.06);
  }

  // The next sequence.
  std::string next() {
    static constexpr char ambiguous[] = "RYMKSWHBVD", amino_ambiguous[] = "BZBZBZBZBZ";
    std::string seq = clades_[r_.below(clades_.size())];
    mutate(seq, 0.01 + 0.09 * r_.uniform());
    fill_runs(seq, '-', 0.02, 8);
    fill_runs(seq, protein_ ? 'X' : 'N', 0.005, 20);
    for (std::size_t k = 0; k < sites_ / 200 + 1; ++k)
      seq[r_.below(sites_)] = (protein_ ? amino_ambiguous : ambiguous)[r_.below(10)];
    for (std::size_t k = 0; k < sites_ / 1000 + 1; ++k) seq[r_.below(sites_)] = '?';
    const double u = r_.uniform();
    if (u < 0.1) {
      for (char &b : seq) b = static_cast<char>(b | 0x20); // '-' and '?' stay as they are
    } else if (u < 0.3) {
      const std::size_t start = r_.below(sites_), len = r_.below(sites_ / 4 + 1);
      for (std::size_t s = start; s < sites_ && s < start + len; ++s) seq[s] = static_cast<char>(seq[s] | 0x20);
    }
    return seq;
  }

private:
  static char transition(char b) { return b == 'A' ? 'G' : b == 'G' ? 'A' : b == 'C' ? 'T' : 'C'; }

  // An amino acid, the common ones (L, A, G, V, E, S) more often.
  char amino_acid() {
    static constexpr char common[] = "LLLAAAGGVVEESSARNDCQEGHILKMFPSTWYV";
    return common[r_.below(sizeof common - 1)];
  }

  // Changes about `rate` of the sites: two thirds transitions, one third transversions (for
  // amino acids: any other amino acid).
  void mutate(std::string &seq, double rate) {
    for (char &b : seq) {
      if (r_.uniform() >= rate) continue;
      if (protein_) {
        for (const char was = b; b == was;) b = amino_acid();
        continue;
      }
      if (r_.uniform() < 2.0 / 3.0) {
        b = transition(b);
      } else {
        const bool purine = b == 'A' || b == 'G';
        b = purine ? (r_.uniform() < 0.5 ? 'C' : 'T') : (r_.uniform() < 0.5 ? 'A' : 'G');
      }
    }
  }

  void fill_runs(std::string &seq, char c, double share, std::size_t mean_run) {
    const auto runs = static_cast<std::size_t>(static_cast<double>(seq.size()) * share / static_cast<double>(mean_run));
    for (std::size_t k = 0; k < runs; ++k) {
      const std::size_t start = r_.below(seq.size()), len = 1 + r_.below(2 * mean_run);
      for (std::size_t s = start; s < seq.size() && s < start + len; ++s) seq[s] = c;
    }
  }

  std::size_t sites_;
  bool protein_;
  random_bits r_;
  std::vector<std::string> clades_;
};

} // namespace bench
