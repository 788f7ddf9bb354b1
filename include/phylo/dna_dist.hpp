// phylo::dna: evolutionary distances between the sequences of an alignment of nucleotides or
// of amino acids.
//
// Sequences are packed one at a time into bit planes (the caller may drop each sequence's
// text once it is packed); every pair is then compared over whole machine words, on every
// core, with the counts kept in integers and the model's formula evaluated in double
// precision. The maximum-likelihood models count each pair's table of residue pairs and
// maximise the likelihood of that table. The result does not depend on the number of threads.
#pragma once

#include "phylo/types.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace phylo::dna {

// What the residues are. DNA: A, C, G and T are bases, in either case; gaps ('-', '.'), '?',
// N and the other IUPAC codes (R Y M K S W H B V D) are ambiguity. PROTEIN: the 20 amino acids
// A R N D C Q E G H I L K M F P S T W Y V in either case; B, Z, J, X, '?', '*' and gaps are
// ambiguity.
enum class alphabet { DNA, PROTEIN };

// Which sites count for a pair of sequences (a residue: a base, or an amino acid).
enum class site_rule {
  PAIRWISE, // the sites where both sequences have a residue
  COMPLETE, // the sites where every sequence of the alignment has a residue
  ALL,      // every site, each symbol compared as it stands after folding case
};

// The distances. P: differing sites / sites compared. COUNT: differing sites.
// Nucleotides: JC69, K80 (transitions and transversions), K81 (transitions and both kinds of
// transversions), F81, F84, T92 (with the GC content) and TN93 (with the base frequencies of
// the whole alignment, counted over all of its sites) correct for multiple hits, with the
// formulas of ape's dist.dna; LOGDET is -ln(det F)/4 - ln 4 for the 4 x 4 table F of the base
// pairs' shares. F84 with a given transition/transversion ratio is the maximum-likelihood
// distance of PHYLIP's dnadist instead.
// Amino acids: POISSON -ln(1 - p); KIMURA -ln(1 - p - p^2/5) (Kimura 1983); JTT, WAG, LG,
// DAYHOFF and BLOSUM62 the maximum-likelihood distance under the empirical model with its own amino-acid
// frequencies. ALL takes P and COUNT only.
enum class model_type {
  P,
  COUNT,
  JC69,
  K80,
  F81,
  TN93,
  LOGDET,
  F84,
  K81,
  T92,
  POISSON,
  KIMURA,
  JTT,
  WAG,
  LG,
  DAYHOFF,
  BLOSUM62,
};

// The alphabet a model is for; P and COUNT are for both (nullopt).
std::optional<alphabet> model_alphabet(model_type model);
// True for the models that take a gamma correction (dist_options::gamma).
bool takes_gamma(model_type model);
// True for the models whose gamma correction takes dist_options::gamma_categories (JTT, WAG,
// LG, DAYHOFF, BLOSUM62).
bool takes_gamma_categories(model_type model);

// The sequences of an alignment in packed form, one alphabet and one site rule. Sequences are
// added one at a time, all of the length of the first.
class packed_alignment {
public:
  // An empty alignment; `expected` sequences are made room for at once (more may follow).
  explicit packed_alignment(site_rule rule = site_rule::PAIRWISE, alphabet residues = alphabet::DNA,
                            std::size_t expected = 0);

  // Makes room for `expected` sequences in all (before the first is added, or later).
  void reserve(std::size_t expected);

  // Packs one sequence. invalid_character_error for a character that is no residue code of
  // the alphabet, naming its 1-based position; range_error for an empty sequence or a length
  // that differs from the first sequence's. The alignment is unchanged when it throws.
  void add(std::string label, std::string_view residues);

  // A copy whose site k is site columns[k] of this one (a bootstrap replicate when the columns
  // are drawn with repetition). range_error for no columns or one past the sites.
  packed_alignment resampled(std::span<const std::uint32_t> columns) const;

  alphabet residues() const noexcept { return alphabet_; }
  site_rule rule() const noexcept { return rule_; }
  std::size_t size() const noexcept { return labels_.size(); }
  std::size_t n_sites() const noexcept { return n_sites_; }
  const std::vector<std::string> &labels() const noexcept { return labels_; }
  // How often A, C, G and T stand in sequence i, over all of its sites (DNA, PAIRWISE and
  // COMPLETE; zero otherwise).
  const std::array<std::uint64_t, 4> &base_counts(std::size_t i) const { return base_counts_[i]; }

  // The packed form. Sequence i holds planes() planes of words() 64-bit words from
  // sequence(i); bit s % 64 of word s / 64 of a plane belongs to site s. The last words are
  // zero past the sites. known_plane() is the plane of the sites that hold a residue
  // (PAIRWISE, COMPLETE); code_bits() the codes of every symbol or-ed together (ALL).
  std::size_t words() const noexcept { return words_; }
  std::size_t planes() const noexcept { return planes_; }
  std::size_t known_plane() const noexcept { return planes_ - 1; }
  unsigned code_bits() const noexcept { return code_bits_; }
  const std::uint64_t *sequence(std::size_t i) const noexcept { return bits_.data() + i * planes_ * words_; }
  // The residue code of sequence i at site s: for DNA PAIRWISE and COMPLETE 4 A, 5 C, 6 G,
  // 7 T, 0 ambiguity; for PROTEIN PAIRWISE and COMPLETE 1 + the amino acid's place in
  // A R N D C Q E G H I L K M F P S T W Y V, 0 ambiguity (the known plane left out); under
  // ALL the symbol's code.
  unsigned code(std::size_t i, std::size_t s) const noexcept;

private:
  void make_room(std::size_t sequences);

  site_rule rule_;
  alphabet alphabet_;
  std::size_t n_sites_ = 0; // fixed by the first sequence
  std::size_t words_ = 0;
  std::size_t planes_ = 0;
  std::size_t expected_ = 0;
  std::vector<std::string> labels_;
  fixed_array<std::uint64_t> bits_; // room for at least size() sequences, zero past them
  std::vector<std::array<std::uint64_t, 4>> base_counts_;
  unsigned code_bits_ = 0;
};

// Why a model gives no distance for a pair.
enum class undefined_reason {
  NO_SITES,         // no site to compare (every model but COUNT)
  BASE_FREQUENCIES, // the alignment's base frequencies leave the model undefined (F81, F84, T92, TN93)
  SATURATED,        // the argument of a logarithm is not positive; for the maximum-likelihood
                    // models, the likelihood has no finite maximum
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
  // Called from the calling thread with the pairs done and the pairs in all, after each tile
  // that ends, and at least once, with every pair done, at the end.
  // When it throws, the other threads stop after the tile they are comparing and dna_dist
  // passes the exception on (the cells are then incomplete): a way to cancel the work.
  std::function<void(std::uint64_t done, std::uint64_t total)> progress;
  // The shape of the gamma distribution of rates across sites (takes_gamma models): ape's
  // continuous correction for nucleotides, the mean rates of gamma_categories equally likely
  // categories (Yang 1994) for the maximum-likelihood models.
  std::optional<double> gamma;
  unsigned gamma_categories = 4;
  // F84: the transition/transversion ratio that makes it dnadist's maximum-likelihood distance.
  std::optional<double> ts_tv;
};

// The processors that the process may run on (at least 1).
unsigned available_cpus();

// Fills `dist` (created with aln.size() taxa) with the labels and the distances of every pair,
// symmetric with a zero diagonal, and returns the number of pairs given the undefined value.
// formula_error when the model does not apply to the alignment's alphabet or site rule (ALL
// takes P and COUNT), or an option to the model (gamma, ts_tv); undefined_distance_error when
// the model is undefined for a pair and there is no undefined value (the cells are then
// incomplete); range_error when the sizes differ, the undefined value is negative or not
// finite, gamma or ts_tv is not a positive finite number, or gamma_categories is not 1 to 64.
std::uint64_t dna_dist(const packed_alignment &aln, const dist_options &options, dist_mat_type &dist);

// ---- Pairs, streamed ----------------------------------------------------------------------

// The distance of one pair of sequences, i > j.
struct pair_distance {
  std::uint32_t i, j;
  float value;
  friend bool operator==(const pair_distance &, const pair_distance &) = default;
};

// How the pairs are compared: DENSE over the packed planes; SPARSE over the sites where each
// sequence differs from a reference (the commonest residue of each site, among a sample of
// the sequences), at a cost that follows the differences rather than the sites (P and COUNT
// only); AUTO picks SPARSE for P and COUNT with a max_distance where the alignment holds few
// differences from the reference, DENSE otherwise. Both give the same values.
enum class pair_engine { AUTO, DENSE, SPARSE };

struct pairs_options {
  // Only the pairs whose distance is at most this (the two as floats, as the matrix holds
  // them: a p-distance of 0.2 is within 0.2); for
  // P and COUNT, a pair's comparison stops once it is known to lie beyond. None: every pair.
  std::optional<double> max_distance;
  // Part `part` (from 0) of `parts` disjoint parts: the pairs (i, j), i > j, ranked in the
  // order of the rows (i, then j), cut into `parts` runs of as equal counts as may be.
  std::uint64_t part = 0, parts = 1;
  pair_engine engine = pair_engine::AUTO;
};

// The first and one past the last rank of a part (ranks as pairs_options says) among the
// n (n - 1) / 2 pairs of n sequences.
std::pair<std::uint64_t, std::uint64_t> part_ranks(std::size_t n, std::uint64_t part, std::uint64_t parts);

// Hands the pairs of the part, in batches, to `sink`, from the calling thread: in the order
// of the rows (i, then j), which does not depend on the number of threads. The other threads
// compare bands of rows ahead, into buffers of bounded size (a band holds at most a few rows,
// each of at most n pairs), so that no n x n matrix is ever held. The values are those that
// dna_dist writes, computed from the whole alignment (the sites of COMPLETE and the base
// frequencies come from every sequence, whatever the part). Returns the number of pairs of the
// part given the undefined value. Progress counts the pairs of the part. The errors of
// dna_dist, raised before any pair is handed on; undefined_distance_error at the end, once
// every pair is compared, when the model is undefined for a pair and there is no undefined
// value (the sink is handed no pair after the first band that holds one); range_error for a
// part that is not below parts, or parts 0, or a max_distance that is negative or NaN;
// formula_error for the SPARSE engine with a model other than P and COUNT. A sink or progress
// hook that throws stops the work, and the exception is passed on.
std::uint64_t dna_pairs(const packed_alignment &aln, const dist_options &options, const pairs_options &pairs,
                        const std::function<void(std::span<const pair_distance>)> &sink);

// The engine that AUTO picks for this alignment and these options (DENSE or SPARSE).
pair_engine chosen_engine(const packed_alignment &aln, const dist_options &options, const pairs_options &pairs);

} // namespace phylo::dna
