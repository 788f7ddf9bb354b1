// phylo: FASTA nucleotide sequences, read from an input record by record (fasta_reader) or
// whole into a sequence set (read_fasta), and the alignment check of a set.
#pragma once

#include "phylo/io.hpp"
#include "phylo/types.hpp"

#include "phylo/chars.hpp"

#include <array>
#include <cstddef>
#include <functional>
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

// A residue that the alphabet does not hold: its sequence (1-based), that sequence's label and
// header line (0 for the lines before the first header), the character, and its line and
// column (where()).
struct residue_error : invalid_character_error {
  residue_error(std::size_t sequence_, std::string label_, std::size_t header_line_, input_position where,
                char character, residue_alphabet alphabet_)
      : invalid_character_error("phylo-read:285", std::move(where), character), sequence(sequence_),
        label(std::move(label_)), header_line(header_line_), alphabet(alphabet_) {}
  std::size_t sequence;
  std::string label;
  std::size_t header_line;
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
  std::size_t count_ = 0; // the sequences read
  std::string label_;     // the header line read ahead: the label of the next sequence
  std::size_t header_line_ = 0;
};

// What makes a FASTA text no alignment that a matrix can be made of.
enum class alignment_problem {
  NO_SEQUENCES,           // the text holds no sequence
  NO_HEADER,              // residues without any header line in the whole text
  RESIDUES_BEFORE_HEADER, // residues before the first header line (where(): their line)
  TOO_MANY,               // one sequence more than allowed
  NO_LABEL,               // a header line of '>' alone
  NO_RESIDUES,            // a sequence without residues
  TOO_LONG,               // the first sequence has more residues than max_chars
  NOT_ALIGNED,            // a sequence of another length than the first
};

// A FASTA alignment refused: the problem, the sequence it concerns (1-based, with its label
// and length; where() is its header line) and, for NOT_ALIGNED, the first sequence's label and
// length; for TOO_MANY the number allowed.
struct alignment_error : error {
  alignment_error(alignment_problem problem_, std::size_t sequence_, std::string label_, std::size_t length_,
                  input_position where);
  alignment_problem problem;
  std::size_t sequence;
  std::string label;
  std::size_t length;
  std::string first_label;      // NOT_ALIGNED
  std::size_t first_length = 0; // NOT_ALIGNED
  std::size_t allowed = 0;      // TOO_MANY
};

// Reads the FASTA alignment of the input (residues of `alphabet`) and hands each sequence to
// `take` once it is read and checked, so that the sequences need not be held as text all at
// once (the record may be moved from): every sequence with a header line, a label and
// residues, all of the first one's length (at most max_chars), at most max_sequences of them.
// Blank lines before the first header are skipped. residue_error for a residue outside the
// alphabet, alignment_error for anything else; the sequences handed over before stay so.
void read_alignment(input_source &in, residue_alphabet alphabet, std::size_t max_sequences,
                    const std::function<void(fasta_record &)> &take);

// Reads FASTA text to the end of the input and appends one sequence per header line
// (lines before the first header belong to the first sequence; an input without a header
// gives one sequence with an empty label). The label is the header after '>' with whitespace
// trimmed from both ends; residues are the sequence lines joined, whitespace removed and '.'
// made '-'. invalid_character_error "phylo-read:285" for a residue outside wide_nuc_set,
// range_error when the vector is full; the sequences appended before stay.
void read_fasta(input_source &in, sequence_vecs &sequences);
void read_fasta(sequence_vecs &sequences); // from the current input
// True when every sequence has as many residues as the first. range_error when the vector
// is empty or the first sequence has no residues.
bool is_aligned(const sequence_vecs &sequences);

} // namespace phylo::read
