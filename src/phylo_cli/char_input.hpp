// What phylo align, dist and tree share: FASTA alignments read with messages that name the
// sequence and the line.
#pragma once

#include "options.hpp"
#include "shell.hpp"

#include "phylo/dna_dist.hpp"
#include "phylo/fasta.hpp"
#include "phylo/io.hpp"
#include "phylo/label.hpp"
#include "phylo/types.hpp"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace phylo_cli {

// The names of the models, alphabets and gap rules of FASTA alignments, as --model, --alphabet
// and --gaps take them.
inline constexpr cli::named<phylo::dna::model_type> fasta_models[] = {
    {"p", phylo::dna::model_type::P},
    {"count", phylo::dna::model_type::COUNT},
    {"jc69", phylo::dna::model_type::JC69},
    {"k80", phylo::dna::model_type::K80},
    {"k2p", phylo::dna::model_type::K80},
    {"k81", phylo::dna::model_type::K81},
    {"f81", phylo::dna::model_type::F81},
    {"f84", phylo::dna::model_type::F84},
    {"t92", phylo::dna::model_type::T92},
    {"tn93", phylo::dna::model_type::TN93},
    {"logdet", phylo::dna::model_type::LOGDET},
    {"poisson", phylo::dna::model_type::POISSON},
    {"kimura", phylo::dna::model_type::KIMURA},
    {"jtt", phylo::dna::model_type::JTT},
    {"wag", phylo::dna::model_type::WAG},
    {"lg", phylo::dna::model_type::LG},
    {"dayhoff", phylo::dna::model_type::DAYHOFF},
    {"blosum62", phylo::dna::model_type::BLOSUM62},
};
// nullopt: auto
inline constexpr cli::named<std::optional<phylo::dna::alphabet>> fasta_alphabets[] = {
    {"auto", std::nullopt},
    {"dna", phylo::dna::alphabet::DNA},
    {"protein", phylo::dna::alphabet::PROTEIN},
};
inline constexpr cli::named<phylo::dna::site_rule> fasta_gap_rules[] = {
    {"pairwise", phylo::dna::site_rule::PAIRWISE},
    {"complete", phylo::dna::site_rule::COMPLETE},
    {"count", phylo::dna::site_rule::ALL},
};

// True when the first character of the input that is not whitespace is '>'. Consumes nothing.
bool looks_like_fasta(phylo::input_source &in);

// Reads the FASTA alignment of the input and makes sure it can be written as a matrix: every
// residue a nucleotide code (or of `alphabet`), every sequence with a label and residues, all of one length, at
// most max_sequences sequences of at most max_chars residues. Otherwise reports the problem,
// naming the sequence and its line, and throws data_refused.
std::vector<phylo::sequence_type> read_alignment(const cli::reporter &report, phylo::input_source &in,
                                                 std::size_t max_sequences);
// The same, handing each sequence to `take` as soon as it is read and checked, so that the
// sequences need not be held as text all at once. The record may be moved from.
// `either` words the refusal of a residue for an alignment that may hold nucleotides or amino
// acids (read with AMINO_ACIDS).
void read_alignment(const cli::reporter &report, phylo::input_source &in, std::size_t max_sequences,
                    const std::function<void(phylo::read::fasta_record &)> &take,
                    phylo::read::residue_alphabet alphabet = phylo::read::residue_alphabet::NUCLEOTIDES,
                    bool either = false);

// Reports (data_refused) that a square matrix of n_tax taxa would need more memory than is
// available, naming what it needs; `estimated` when n_tax is counted in the input before it is
// read.
void refuse_matrix_too_large(const cli::reporter &report, phylo::input_source &in, std::size_t n_tax,
                             bool estimated = false, std::string_view hint = {});

// Whether read_packed_alignment refuses an alignment whose square matrix could not fit, and
// what the message of the refusal ends with.
struct square_check {
  bool refuse = true;
  std::string_view hint;
};

// Reads the FASTA alignment of the input into packed form under `rule`, refusing an alignment
// whose matrix of distances could not fit in memory (before reading, from the header lines of
// a file; otherwise from the sequences read): in `residues` when it is
// given (each sequence packed as it is read), otherwise in the alphabet that the residues tell
// (nucleotides when every residue is a nucleotide code, amino acids otherwise; the sequences
// are then held until the last). Problems are reported as read_alignment reports them.
phylo::dna::packed_alignment read_packed_alignment(const cli::reporter &report, phylo::input_source &in,
                                                   phylo::dna::site_rule rule,
                                                   std::optional<phylo::dna::alphabet> residues,
                                                   square_check check = {});

} // namespace phylo_cli
