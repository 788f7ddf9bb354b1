#include "phylo/read.hpp"

#include "phylo/io.hpp"

#include <cstring>
#include <string>

namespace phylo::read {
namespace {

// Consumes the rest of the current line and its line end, handing the text over in pieces
// as the buffer holds it. A line is read whole, however long.
template <class Sink> void take_line(input_source &in, Sink sink) {
  for (;;) {
    std::string_view chunk = in.buffered();
    if (chunk.empty()) return;
    const void *nl = std::memchr(chunk.data(), '\n', chunk.size());
    const std::size_t len = nl ? static_cast<std::size_t>(static_cast<const char *>(nl) - chunk.data()) : chunk.size();
    sink(chunk.substr(0, len));
    in.consume(nl ? len + 1 : len);
    if (nl) return;
  }
}

std::string_view trim(std::string_view text, const char_set_type &set) {
  std::size_t first = 0, last = text.size();
  while (first < last && set.contains(text[first])) ++first;
  while (last > first && set.contains(text[last - 1])) --last;
  return text.substr(first, last - first);
}

// Appends the characters of `piece` that are not whitespace, run by run.
void append_residues(std::string &target, std::string_view piece) {
  std::size_t k = 0;
  while (k < piece.size()) {
    const std::size_t start = k;
    while (k < piece.size() && !whitespace.contains(piece[k])) ++k;
    target.append(piece.data() + start, k - start);
    while (k < piece.size() && whitespace.contains(piece[k])) ++k;
  }
}

// Completes one sequence: `residues` holds the sequence lines without whitespace.
void append_and_reset(sequence_vecs &sequences, const std::string &label, std::string &residues) {
  apply_in_place(good_gaps, residues);
  for (char c : residues)
    if (non_wide_nuc_set.contains(c)) throw invalid_character_error("phylo-read:285");
  sequences.append(label, std::move(residues));
  residues.clear();
}

} // namespace

void read_fasta(sequence_vecs &sequences) {
  input_source &in = current_input();
  std::string label, pending, header;
  bool seen_header = false;
  // Lines made only of blanks, tabs and carriage returns add nothing to a sequence, so
  // reading them gives the same sequences as stopping once at_end() holds, without looking
  // ahead over long blank runs.
  while (in.peek() >= 0) {
    if (in.peek() == '>') {
      in.advance();
      header.clear();
      take_line(in, [&](std::string_view piece) { header.append(piece); });
      if (seen_header) append_and_reset(sequences, label, pending);
      seen_header = true;
      label = trim(header, whitespace);
    } else {
      take_line(in, [&](std::string_view piece) { append_residues(pending, piece); });
    }
  }
  append_and_reset(sequences, label, pending);
}

bool is_aligned(const sequence_vecs &sequences) {
  if (sequences.empty()) throw range_error("there are no sequences to compare");
  const std::size_t n = sequences[0].residues.size();
  if (n == 0) throw range_error("the first sequence has no residues");
  for (std::size_t i = 1; i < sequences.size(); ++i)
    if (sequences[i].residues.size() != n) return false;
  return true;
}

} // namespace phylo::read
