// phylo::dna: evolutionary distances between the sequences of a nucleotide alignment.
//
// Sequences are packed one at a time into bit planes (the caller may drop each sequence's
// text once it is packed); every pair is then compared over whole machine words, on every
// core, with the counts kept in integers and the model's formula evaluated in double
// precision. The result does not depend on the number of threads.
#pragma once

#include "phylo/types.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace phylo::dna {

// Which sites count for a pair of sequences. A base is A, C, G or T in either case; gaps
// ('-', '.'), '?', N and the other ambiguity codes are not.
enum class site_rule {
  PAIRWISE, // the sites where both sequences have a base
  COMPLETE, // the sites where every sequence of the alignment has a base
  ALL,      // every site, each symbol compared as it stands after folding case
};

// The distances. P: differing sites / sites compared. COUNT: differing sites. JC69, K80
// (transitions and transversions), F81 and TN93 (with the base frequencies of the whole
// alignment, counted over all of its sites) correct for multiple hits; LOGDET is
// -ln(det F)/4 - ln 4 for the 4 x 4 table F of the base pairs' shares. ALL takes P and COUNT
// only.
enum class model_type { P, COUNT, JC69, K80, F81, TN93, LOGDET };

// The sequences of an alignment in packed form. Sequence i holds `planes` planes of `words`
// 64-bit words, from bits[i * planes * words]; bit s % 64 of word s / 64 belongs to site s.
// The last words are zero past the sites, as is `bits` past the sequences.
struct packed_alignment {
  site_rule rule = site_rule::PAIRWISE;
  std::size_t n_sites = 0; // fixed by the first sequence
  std::size_t words = 0;
  std::size_t planes = 0;
  std::vector<std::string> labels;
  fixed_array<std::uint64_t> bits; // room for at least labels.size() sequences
  // How often A, C, G and T stand in each sequence, over all of its sites (PAIRWISE, COMPLETE).
  std::vector<std::array<std::uint64_t, 4>> base_counts;
  // ALL: the codes of every symbol or-ed together, which tells how many planes are in use.
  unsigned code_bits = 0;

  std::size_t size() const noexcept { return labels.size(); }
};

// An empty alignment packed for `rule`; `expected` sequences are made room for at once (more
// may follow).
packed_alignment make_packed(site_rule rule, std::size_t expected = 0);

// Packs one sequence. Residues are nucleotide codes (A C G T R Y M K S W H B V D N, in either
// case, '-', '.' or '?'). invalid_character_error for any other character, naming its
// 1-based position; range_error for an empty sequence or a length that differs from the
// first sequence's. The alignment is unchanged when it throws.
void add_sequence(packed_alignment &aln, std::string label, std::string_view residues);

// Why a model gives no distance for a pair.
enum class undefined_reason {
  NO_SITES,         // no site to compare (P, JC69, K80, F81, TN93, LOGDET)
  BASE_FREQUENCIES, // the alignment's base frequencies leave the model undefined (F81, TN93)
  SATURATED,        // the argument of a logarithm is not positive (JC69, K80, F81, TN93)
  SINGULAR,         // the table of base pairs has a determinant that is not positive (LOGDET)
};

struct undefined_pair {
  std::size_t i, j; // i > j
  undefined_reason reason;
  std::uint64_t sites, differing; // the sites compared and the differing ones among them
  friend bool operator==(const undefined_pair &, const undefined_pair &) = default;
};

// The model gives no distance for `count` pairs; `first` holds the first of them in the
// order of the rows (at most 10).
struct undefined_distance_error : error {
  undefined_distance_error(std::uint64_t count, std::vector<undefined_pair> first);
  std::uint64_t count;
  std::vector<undefined_pair> first;
};

struct dist_options {
  model_type model = model_type::P;
  unsigned threads = 0; // 0: one per processor that the process may use
  // Written where the model gives no distance; without it, undefined_distance_error.
  std::optional<float> undefined_value;
  // Called now and then from the calling thread with the pairs done and the pairs in all.
  // When it throws, the other threads stop after the tile they are comparing and dna_dist
  // passes the exception on (the cells are then incomplete): a way to cancel the work.
  std::function<void(std::uint64_t done, std::uint64_t total)> progress;
};

// The processors that the process may run on (at least 1).
unsigned available_cpus();

// Fills `dist` (created with aln.size() taxa) with the labels and the distances of every pair,
// symmetric with a zero diagonal, and returns the number of pairs given the undefined value.
// formula_error when the model does not apply to the alignment's site rule (ALL takes P and
// COUNT); undefined_distance_error when the model is undefined for a pair and there is no
// undefined value (the cells are then incomplete); range_error when the sizes differ or the
// undefined value is negative or not finite.
std::uint64_t dna_dist(const packed_alignment &aln, const dist_options &options, dist_mat_type &dist);

} // namespace phylo::dna
