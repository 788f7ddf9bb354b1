// phylo align: FASTA nucleotide alignments written as character matrices for the programs
// that read PHYLIP or NEXUS.

#include "char_input.hpp"
#include "commands.hpp"
#include "dist_layouts.hpp"
#include "options.hpp"

#include "phylo/char_matrix.hpp"

#include <cstdio>
#include <string>
#include <vector>

namespace phylo_cli {
namespace {

using cli::arg_kind;

constexpr std::string_view help_text =
    "Usage: phylo align [OPTION]... [FILE]...\n"
    "Read the FASTA nucleotide alignment of every FILE (standard input when there\n"
    "is none, or for \"-\") and write it as a character matrix, one matrix per FILE.\n"
    "\n"
    "  -t, --to=LAYOUT     relaxed (default), phylip, relaxed-tab, phylip-tab,\n"
    "                      nexus-paup or nexus-paup-quoted\n"
    "  -o, --output=FILE   write to FILE, which is replaced only when all went well\n"
    "  -q, --quiet         do not warn about labels that the layout writes alike\n"
    "  -h, --help          print this help and exit\n"
    "\n"
    "Layouts: relaxed and phylip are sequential PHYLIP as RAxML, IQ-TREE, PhyML,\n"
    "FastTree, ape and Biopython read it: a label, a blank and the residues, with\n"
    "blanks, control characters and ( ) [ ] : ; , ' in labels made '_'; phylip\n"
    "pads or cuts labels to 10 bytes, as PHYLIP's programs (dnadist, dnapars, ...)\n"
    "read them. relaxed-tab and phylip-tab put a tab after the label and make only\n"
    "blanks '_' (relaxed-tab). nexus-paup is a NEXUS DATA block with labels cleaned\n"
    "to NEXUS words, followed by a PAUP block; nexus-paup-quoted the same with\n"
    "labels in single quotes.\n"
    "\n"
    "Residues are the nucleotide codes A, C, G, T and the IUPAC codes R, Y, M, K,\n"
    "S, W, H, B, V, D, N in either case, '-' and '?' ('.' is taken as '-'); blanks\n"
    "and line ends inside a sequence are dropped. Every sequence needs a label and\n"
    "as many residues as the others; a message names the sequence and the line\n"
    "otherwise.\n"
    "\n"
    "Exit status: 0 success, 1 a problem with the data or the files, 2 a mistake in\n"
    "the command line.\n";

constexpr cli::option_def defs[] = {
    {"to", 't', arg_kind::REQUIRED},
    {"output", 'o', arg_kind::REQUIRED},
    {"quiet", 'q', arg_kind::NONE},
    {"help", 'h', arg_kind::NONE},
};

struct align_layout {
  std::string_view name;
  phylo::char_format_type format;
  phylo::label_form_type labels; // how the layout writes a label, for the label warnings
  bool sequential;               // print_sequential_phylip rather than print_char_mat
};

constexpr align_layout align_layouts[] = {
    {"relaxed", phylo::char_format_type::EXTENDED_PHYLIP, phylo::label_form_type::TREE_SAFE, true},
    {"phylip", phylo::char_format_type::PHYLIP, phylo::label_form_type::TREE_SAFE_PHYLIP, true},
    {"relaxed-tab", phylo::char_format_type::EXTENDED_PHYLIP, phylo::label_form_type::NO_BLANK, false},
    {"phylip-tab", phylo::char_format_type::PHYLIP, phylo::label_form_type::PHYLIP, false},
    {"nexus-paup", phylo::char_format_type::NEXUS, phylo::label_form_type::NEXUS_CLEANED, false},
    {"nexus-paup-quoted", phylo::char_format_type::NEXUS_ENCLOSED, phylo::label_form_type::NEXUS_ENCLOSED, false},
};

struct settings {
  const align_layout *to = &align_layouts[0];
  std::optional<std::string> output;
  bool quiet = false;
  bool help = false;
  std::vector<std::string> inputs;
};

settings parse_settings(std::span<char *const> args) {
  settings s;
  cli::parsed_args parsed = cli::parse_options(args, defs);
  for (const cli::parsed_option &o : parsed.options) {
    const std::string_view name = o.def->long_name;
    if (name == "to") s.to = pick(align_layouts, name, *o.value);
    else if (name == "output") s.output = *o.value;
    else if (name == "quiet") s.quiet = true;
    else if (name == "help") s.help = true;
  }
  s.inputs = std::move(parsed.operands);
  if (s.inputs.empty()) s.inputs.emplace_back("-");
  return s;
}

void align_inputs(const cli::streams_type &streams, const settings &s) {
  for (const std::string &operand : s.inputs) {
    cli::input_operand input(operand, streams.standard_input);
    input.source().decompress_gzip();
    input.source().refuse_nul_bytes();
    phylo::input_source &in = input.source();
    cli::refuse_cr_line_ends(streams.report, in, false);
    // The writer of sequence sets takes at most max_taxa sequences.
    std::vector<phylo::sequence_type> read = read_alignment(streams.report, in, phylo::sequence_vecs::max_length);
    phylo::sequence_vecs seqs;
    for (phylo::sequence_type &q : read) seqs.append(std::move(q));
    std::vector<std::string_view> labels;
    labels.reserve(seqs.size());
    for (const phylo::sequence_type &q : seqs) labels.emplace_back(q.label);
    report_findings(streams.report, in.name() + ": ", phylo::check_labels(labels, s.to->labels), false, s.quiet, false);
    if (s.to->sequential) phylo::print::print_sequential_phylip(phylo::current_output(), seqs, s.to->labels);
    else phylo::print::print_char_mat(seqs, s.to->format);
  }
}

} // namespace

int run_align(const cli::streams_type &streams, std::span<char *const> args) {
  settings s;
  return cli::run_subcommand(
      streams, "align", help_text,
      [&] {
        s = parse_settings(args);
        return s.help;
      },
      [&] { return cli::run_with_output(streams, s.output, [&] { align_inputs(streams, s); }); });
}

} // namespace phylo_cli
