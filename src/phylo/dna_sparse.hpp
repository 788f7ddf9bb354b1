// The sequences of an alignment as their differences from a reference, for the P and COUNT
// distances of alignments of low diversity: the counts of a pair follow from what each
// sequence holds where it differs from the reference and from the sites where both differ, at
// a cost that follows their differences rather than the alignment's length.
#pragma once

#include "phylo/dna_dist.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace phylo::dna::detail {

class sparse_alignment {
public:
  // The reference holds, at each site in `use` (bits as in a packed plane), the commonest code
  // there among a sample of the sequences. When the sequences differ from it at more than
  // `most` sites in all, the differences are not kept (complete() is false).
  sparse_alignment(const packed_alignment &aln, std::span<const std::uint64_t> use, std::uint64_t most);

  bool complete() const noexcept { return complete_; }
  // The sites where a sequence differs from the reference, over all sequences.
  std::uint64_t differences() const noexcept { return differences_; }
  // The sum over the sites of the squared number of sequences that differ there from the
  // reference: the work of the sites where two sequences both differ.
  std::uint64_t shared_work() const noexcept { return shared_work_; }

  // The counts of the pairs (x, y) for every y < end: sites[y] the sites in use where both hold
  // a residue (every site in use under ALL; not written when sites is null), differing[y]
  // those where their codes differ.
  // `scratch` holds 2 end values at least.
  void row(std::size_t x, std::size_t end, std::uint64_t *sites, std::uint64_t *differing, std::int32_t *scratch) const;

private:
  bool complete_ = false;
  bool all_known_ = false;      // ALL: every code counts as a residue
  std::int64_t base_sites_ = 0; // the sites in use where the reference holds a residue
  std::uint64_t differences_ = 0, shared_work_ = 0;
  std::vector<unsigned char> reference_; // by site
  // By sequence: the sites where it differs (increasing) and its codes there.
  std::vector<std::uint64_t> by_sequence_;
  std::vector<std::uint32_t> sites_;
  std::vector<unsigned char> codes_;
  // By site: the sequences that differ there (increasing) and their codes.
  std::vector<std::uint64_t> by_site_;
  std::vector<std::uint32_t> sequences_;
  std::vector<unsigned char> site_codes_;
  // By sequence: its differing sites against the reference, and the sites it compares with
  // the reference less those that the reference compares with itself.
  std::vector<std::int64_t> own_differing_, own_sites_;
};

} // namespace phylo::dna::detail
