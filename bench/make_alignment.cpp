// make_alignment N SITES [SEED]: writes a FASTA nucleotide alignment of N sequences of SITES
// sites on standard output, the same for the same arguments on every machine.
//
// The sequences descend from one root through 20 clades, so their distances spread as in real
// data and stay short of saturation: each clade differs from the root at about 6% of the sites,
// each sequence from its clade at 1% to 10%, transitions twice as often as transversions, with
// uneven base frequencies. On top of that: runs of gaps and of N, single ambiguity codes and
// '?', whole sequences in lower case and lower-case stretches in others, lines of 60 residues.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

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

constexpr char bases[] = "ACGT";
constexpr char ambiguous[] = "RYMKSWHBVD";

char root_base(random_bits &r) {
  const double u = r.uniform(); // A 0.3, C 0.2, G 0.2, T 0.3
  return u < 0.3 ? 'A' : u < 0.5 ? 'C' : u < 0.7 ? 'G' : 'T';
}

char transition(char b) { return b == 'A' ? 'G' : b == 'G' ? 'A' : b == 'C' ? 'T' : 'C'; }

// Changes about `rate` of the sites: two thirds transitions, one third transversions.
void mutate(std::string &seq, double rate, random_bits &r) {
  for (char &b : seq) {
    if (r.uniform() >= rate) continue;
    if (r.uniform() < 2.0 / 3.0) {
      b = transition(b);
    } else {
      const bool purine = b == 'A' || b == 'G';
      b = purine ? (r.uniform() < 0.5 ? 'C' : 'T') : (r.uniform() < 0.5 ? 'A' : 'G');
    }
  }
}

void fill_runs(std::string &seq, char c, double share, std::size_t mean_run, random_bits &r) {
  const std::size_t runs = static_cast<std::size_t>(static_cast<double>(seq.size()) * share / static_cast<double>(mean_run));
  for (std::size_t k = 0; k < runs; ++k) {
    const std::size_t start = r.below(seq.size()), len = 1 + r.below(2 * mean_run);
    for (std::size_t s = start; s < seq.size() && s < start + len; ++s) seq[s] = c;
  }
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: make_alignment N SITES [SEED]\n");
    return 2;
  }
  const std::size_t n = std::strtoull(argv[1], nullptr, 10), sites = std::strtoull(argv[2], nullptr, 10);
  random_bits r{argc == 4 ? std::strtoull(argv[3], nullptr, 10) : 1};
  if (n == 0 || sites == 0) {
    std::fprintf(stderr, "make_alignment: N and SITES must be positive\n");
    return 2;
  }
  std::string root(sites, 'A');
  for (char &b : root) b = root_base(r);
  std::vector<std::string> clades(20, root);
  for (std::string &c : clades) mutate(c, 0.06, r);

  std::string out;
  for (std::size_t i = 0; i < n; ++i) {
    std::string seq = clades[r.below(clades.size())];
    mutate(seq, 0.01 + 0.09 * r.uniform(), r);
    fill_runs(seq, '-', 0.02, 8, r);
    fill_runs(seq, 'N', 0.005, 20, r);
    for (std::size_t k = 0; k < sites / 200 + 1; ++k) seq[r.below(sites)] = ambiguous[r.below(10)];
    for (std::size_t k = 0; k < sites / 1000 + 1; ++k) seq[r.below(sites)] = '?';
    const double u = r.uniform();
    if (u < 0.1) {
      for (char &b : seq) b = static_cast<char>(b | 0x20); // '-' and '?' stay as they are
    } else if (u < 0.3) {
      const std::size_t start = r.below(sites), len = r.below(sites / 4 + 1);
      for (std::size_t s = start; s < sites && s < start + len; ++s) seq[s] = static_cast<char>(seq[s] | 0x20);
    }
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
