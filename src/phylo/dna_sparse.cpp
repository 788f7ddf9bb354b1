#include "dna_sparse.hpp"

#include "dna_kernel.hpp"

#include <algorithm>
#include <bit>
#include <type_traits>

namespace phylo::dna::detail {

namespace {
using u64 = std::uint64_t;
constexpr std::size_t code_values = 32; // codes lie below 32 under every alphabet and rule
constexpr std::size_t sampled = 256;    // sequences whose codes choose the reference
} // namespace

sparse_alignment::sparse_alignment(const packed_alignment &aln, std::span<const u64> use, u64 most) {
  const std::size_t n = aln.size(), n_sites = aln.n_sites(), words = aln.words(), planes = aln.planes();
  all_known_ = aln.rule() == site_rule::ALL;
  const bool known_apart = aln.residues() == alphabet::PROTEIN && !all_known_; // the known plane besides the code
  const std::size_t code_planes = known_apart ? symbol_planes : planes;
  auto in_use = [&](std::size_t s) { return ((use[s / 64] >> (s % 64)) & 1) != 0; };

  // The reference: the commonest code of each site among evenly spaced sequences.
  reference_.assign(n_sites, 0);
  {
    std::vector<std::uint32_t> tally(n_sites * code_values, 0);
    const std::size_t step = std::max<std::size_t>(1, n / sampled);
    for (std::size_t i = 0; i < n; i += step)
      for (std::size_t s = 0; s < n_sites; ++s)
        if (in_use(s)) ++tally[s * code_values + aln.code(i, s)];
    for (std::size_t s = 0; s < n_sites; ++s) {
      const auto *t = tally.data() + s * code_values;
      reference_[s] = static_cast<unsigned char>(std::max_element(t, t + code_values) - t);
    }
  }
  std::vector<u64> planes_of_reference(planes * words, 0);
  for (std::size_t s = 0; s < n_sites; ++s) {
    const unsigned c = reference_[s];
    for (std::size_t p = 0; p < code_planes; ++p)
      planes_of_reference[p * words + s / 64] |= u64{(c >> p) & 1} << (s % 64);
    if (known_apart && c != 0) planes_of_reference[aln.known_plane() * words + s / 64] |= u64{1} << (s % 64);
  }
  const auto known = [this](unsigned c) { return all_known_ || c != 0; };
  for (std::size_t s = 0; s < n_sites; ++s) base_sites_ += in_use(s) && known(reference_[s]);

  // Where each sequence differs from the reference, word by word over its planes.
  auto differing_word = [&](std::size_t i, std::size_t w) {
    const u64 *x = aln.sequence(i);
    u64 d = 0;
    for (std::size_t p = 0; p < planes; ++p) d |= x[p * words + w] ^ planes_of_reference[p * words + w];
    return d & use[w];
  };
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t w = 0; w < words; ++w) differences_ += static_cast<u64>(std::popcount(differing_word(i, w)));
    if (differences_ > most) return;
  }

  by_sequence_.assign(n + 1, 0);
  sites_.reserve(differences_);
  codes_.reserve(differences_);
  std::vector<u64> per_site(n_sites + 1, 0);
  own_differing_.assign(n, 0);
  own_sites_.assign(n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t w = 0; w < words; ++w)
      for (u64 d = differing_word(i, w); d != 0; d &= d - 1) {
        const std::size_t s = 64 * w + static_cast<std::size_t>(std::countr_zero(d));
        const unsigned c = aln.code(i, s), r = reference_[s];
        sites_.push_back(static_cast<std::uint32_t>(s));
        codes_.push_back(static_cast<unsigned char>(c));
        ++per_site[s + 1];
        own_differing_[i] += known(c) && known(r);
        own_sites_[i] += static_cast<std::int64_t>(known(c) && known(r)) - known(r);
      }
    by_sequence_[i + 1] = sites_.size();
  }
  for (std::size_t s = 0; s < n_sites; ++s) shared_work_ += per_site[s + 1] * per_site[s + 1];
  for (std::size_t s = 0; s < n_sites; ++s) per_site[s + 1] += per_site[s];
  by_site_ = per_site;
  sequences_.resize(differences_);
  site_codes_.resize(differences_);
  for (std::size_t i = 0; i < n; ++i)
    for (u64 k = by_sequence_[i]; k < by_sequence_[i + 1]; ++k) {
      const u64 at = per_site[sites_[k]]++;
      sequences_[at] = static_cast<std::uint32_t>(i);
      site_codes_[at] = codes_[k];
    }
  complete_ = true;
}

void sparse_alignment::row(std::size_t x, std::size_t end, u64 *sites, u64 *differing, std::int32_t *scratch) const {
  // Over the sites where both differ from the reference r, the counts of (cx, cy) replace
  // those of (cx, r) and (r, cy), which the sequences' own counts hold, and that of (r, r),
  // which the reference's holds.
  std::int32_t *shared_sites = scratch, *shared_differing = scratch + end;
  std::fill(scratch, scratch + 2 * end, 0);
  const auto known = [this](unsigned c) { return all_known_ || c != 0; };
  auto correct = [&](auto with_sites) {
    for (u64 k = by_sequence_[x]; k < by_sequence_[x + 1]; ++k) {
      const std::size_t s = sites_[k];
      const unsigned cx = codes_[k], r = reference_[s];
      const bool kx = known(cx), kr = known(r);
      for (u64 e = by_site_[s]; e < by_site_[s + 1]; ++e) {
        const std::size_t y = sequences_[e];
        if (y >= end) break;
        const unsigned cy = site_codes_[e];
        const bool ky = known(cy);
        const bool both = kx && ky;
        shared_differing[y] += static_cast<std::int32_t>(both && cx != cy) - (kx && kr) - (kr && ky);
        if constexpr (decltype(with_sites)::value)
          shared_sites[y] += static_cast<std::int32_t>(both) - (kx && kr) - (kr && ky) + kr;
      }
    }
  };
  if (sites) correct(std::true_type{});
  else correct(std::false_type{});
  const std::int64_t dx = own_differing_[x], lx = base_sites_ + own_sites_[x];
  for (std::size_t y = 0; y < end; ++y) differing[y] = static_cast<u64>(dx + own_differing_[y] + shared_differing[y]);
  if (sites)
    for (std::size_t y = 0; y < end; ++y) sites[y] = static_cast<u64>(lx + own_sites_[y] + shared_sites[y]);
}

} // namespace phylo::dna::detail
