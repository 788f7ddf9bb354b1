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

#include <array>
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

// The model of the distances of FASTA alignments, as --model, --gaps, --alphabet, --gamma,
// --gamma-categories and --ts-tv give it: phylo dist, tree and plot take them alike.
struct model_settings {
  const cli::named<phylo::dna::model_type> *model = &fasta_models[0];
  const cli::named<phylo::dna::site_rule> *gaps = &fasta_gap_rules[0];
  std::optional<phylo::dna::alphabet> alphabet; // none: auto
  std::optional<double> gamma;
  std::optional<unsigned> gamma_categories;
  std::optional<double> ts_tv;
};
inline constexpr cli::option_def model_option_defs[] = {
    {"model", 'M', cli::arg_kind::REQUIRED},          {"gaps", 'g', cli::arg_kind::REQUIRED},
    {"alphabet", 'a', cli::arg_kind::REQUIRED},       {"gamma", 0, cli::arg_kind::REQUIRED},
    {"gamma-categories", 0, cli::arg_kind::REQUIRED}, {"ts-tv", 0, cli::arg_kind::REQUIRED},
};
// A command's own options followed by those of model_option_defs.
template <std::size_t N> constexpr auto with_model_options(const std::array<cli::option_def, N> &own) {
  std::array<cli::option_def, N + std::size(model_option_defs)> all{};
  for (std::size_t k = 0; k < N; ++k) all[k] = own[k];
  for (std::size_t k = 0; k < std::size(model_option_defs); ++k) all[N + k] = model_option_defs[k];
  return all;
}
// Whether --NAME is one of model_option_defs.
constexpr bool is_model_option(std::string_view name) {
  for (const auto &d : model_option_defs)
    if (d.long_name == name) return true;
  return false;
}
// Takes an option of model_option_defs into the settings; false for any other option.
// usage_error for a value that is not accepted.
bool take_model_option(model_settings &s, const cli::parsed_option &o);
// usage_error for settings that do not go together: --gaps=count with a model other than p
// and count, a model of the other alphabet, --gamma, --gamma-categories or --ts-tv with a
// model that takes none.
void check_model_settings(const model_settings &s);
// The options of dna_dist for the settings (model, gamma, its categories, ts_tv).
phylo::dna::dist_options model_dist_options(const model_settings &s);
// "nucleotides" or "amino acids".
std::string alphabet_text(phylo::dna::alphabet a);
// The lines of --help for these options, in the layout of phylo tree's and plot's help, for
// FASTA alignments whose model is `default_model` unless told.
std::string model_options_help(std::string_view default_model);

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
// The same in the alphabet of the settings (--alphabet, or that of the model), refusing an
// alignment of the other alphabet than the model's.
phylo::dna::packed_alignment read_packed_alignment(const cli::reporter &report, phylo::input_source &in,
                                                   const model_settings &s, square_check check = {});

} // namespace phylo_cli
