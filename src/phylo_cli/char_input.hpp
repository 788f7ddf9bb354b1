// What phylo align and phylo dist share: whole inputs, FASTA alignments read with messages
// that name the sequence and the line, and a run whose output goes to standard output or to
// a file that appears only when everything went well.
#pragma once

#include "phylo/dist_check.hpp"
#include "phylo/types.hpp"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace phylo_cli {

// A problem found in the data and already reported; ends the run with status 1.
struct data_refused {};

// One input, read whole: its name in messages and its text. "-" is standard input.
struct input_text {
  std::string name;
  std::string text;
};
input_text read_input(const std::string &operand);

// True when the first character of the text that is not whitespace is '>'.
bool looks_like_fasta(const std::string &text);

// Reads the FASTA text into sequences and makes sure they can be written as a matrix: every
// residue a nucleotide code, every sequence with a label and residues, all of one length,
// at most max_taxa sequences of at most max_chars residues. Otherwise reports the problem,
// naming the sequence and its line, and throws data_refused.
phylo::sequence_vecs read_alignment(const input_text &in);

// Warns (unless quiet) about labels that are equal, or that `form` writes alike or as
// nothing; `place` starts each message.
void warn_about_labels(const std::vector<std::string_view> &labels, phylo::label_form_type form,
                       const std::string &place, bool quiet);

// Runs `body` with the current output on standard output, or on a new file `output` that
// replaces what the name held only when `body` succeeded. Returns the exit status: 0, or 1
// after data_refused or a library error (reported here).
int run_with_output(const std::optional<std::string> &output, const std::function<void()> &body);

} // namespace phylo_cli
