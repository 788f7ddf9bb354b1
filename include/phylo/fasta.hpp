// phylo: FASTA nucleotide sequences, read from an input record by record (fasta_reader) or
// whole into a sequence set (read_fasta), and the alignment check of a set.
#pragma once

#include "phylo/io.hpp"
#include "phylo/types.hpp"

#include "phylo/chars.hpp"

#include <array>
#include <cstddef>
#include <string>

namespace phylo::read {

// One sequence of a FASTA text: its label (the header after '>' with whitespace trimmed from
// both ends), its residues (the sequence lines joined, whitespace removed, '.' made '-') and
// the line of its header (0 for the sequence of a text without a header line).
struct fasta_record {
  std::string label;
  std::string residues;
  std::size_t header_line = 0;
};

// The residues a FASTA text may hold besides gaps ('-', '.') and '?': NUCLEOTIDES the codes of
// wide_nuc_set, AMINO_ACIDS those of amino_set (which holds every nucleotide code).
enum class residue_alphabet { NUCLEOTIDES, AMINO_ACIDS };
inline constexpr char_set_type amino_set = char_set_type::of("ARNDCQEGHILKMFPSTWYVBZJX*arndcqeghilkmfpstwyvbzjx-?");

// A residue that the alphabet does not hold: the label of its sequence (empty before the first
// header line), the character, and its line and column (where()).
struct residue_error : invalid_character_error {
  residue_error(std::string label_, input_position where, char character, residue_alphabet alphabet_)
      : invalid_character_error("phylo-read:285", std::move(where), character), label(std::move(label_)),
        alphabet(alphabet_) {}
  std::string label;
  residue_alphabet alphabet;
};

// Reads the sequences of an input one at a time, as read_fasta groups them: the lines before
// the first header belong to the first sequence, and a text without any header line is one
// sequence with an empty label (an empty text too: with no residues either).
class fasta_reader {
public:
  explicit fasta_reader(input_source &in, residue_alphabet alphabet = residue_alphabet::NUCLEOTIDES);

  // Reads the next sequence into `record`; false when there is none left.
  // residue_error for a residue outside the alphabet, raised when its sequence is complete
  // (the record then holds it); it carries the line and column of the first such residue, and
  // the character. The input then stands after the sequence.
  bool next(fasta_record &record);

private:
  input_source &in_;
  residue_alphabet alphabet_;
  std::array<unsigned char, 256> classes_; // what each character of a sequence line is
  bool started_ = false;
  bool done_ = false;
  std::string label_; // the header line read ahead: the label of the next sequence
  std::size_t header_line_ = 0;
};

// Reads FASTA text to the end of the current input and appends one sequence per header line
// (lines before the first header belong to the first sequence; an input without a header
// gives one sequence with an empty label). The label is the header after '>' with whitespace
// trimmed from both ends; residues are the sequence lines joined, whitespace removed and '.'
// made '-'. invalid_character_error "phylo-read:285" for a residue outside wide_nuc_set,
// range_error when the vector is full; the sequences appended before stay.
void read_fasta(sequence_vecs &sequences);
// True when every sequence has as many residues as the first. range_error when the vector
// is empty or the first sequence has no residues.
bool is_aligned(const sequence_vecs &sequences);

} // namespace phylo::read
