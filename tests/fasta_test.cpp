// FASTA input and the alignment check. The cases are in tests/data/lib/fasta.cases.
#include "case_table.hpp"
#include "phylo/fasta.hpp"
#include "test_io.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace phylo;
using phylo::test::text_input;
using args = std::vector<std::string>;

std::string listed(const sequence_vecs &v) {
  std::string out;
  for (const sequence_type &s : v) out += s.label + "|" + s.residues + (s.note.empty() ? "" : "|" + s.note) + "\n";
  return out;
}

// An invalid character: its message, position and character.
std::string refusal(const invalid_character_error &e) {
  return std::string("!") + e.what() + " at " + e.where()->name + ":" + std::to_string(e.where()->line) + ":" +
         std::to_string(e.where()->column) + " " + e.character() + "\n";
}

// fasta TEXT: the sequences read, label|residues; after a refusal, what was read before it and
// what is left unread.
std::string fasta(const args &a) {
  text_input in(a[0]);
  sequence_vecs v;
  try {
    read::read_fasta(v);
  } catch (const invalid_character_error &e) {
    return refusal(e) + listed(v) + "then " + std::string(in.source.buffered());
  }
  return listed(v);
}

// records TEXT: record by record, with the line of each header; reading goes on after a
// refusal, and the record names the sequence that failed.
std::string records(const args &a) {
  input_source in = input_source::from_text(a[0], "aln");
  read::fasta_reader reader(in);
  read::fasta_record r;
  std::string out;
  for (;;) {
    try {
      if (!reader.next(r)) return out;
      out += std::to_string(r.header_line) + ": " + r.label + "|" + r.residues + "\n";
    } catch (const invalid_character_error &e) {
      out += refusal(e) + "in " + r.label + "\n";
    }
  }
}

// aligned RESIDUES...: is_aligned of a set of sequences.
std::string aligned(const args &a) {
  sequence_vecs v;
  for (const std::string &r : a) v.append("x", r);
  return read::is_aligned(v) ? "yes" : "no";
}

// alignment ALPHABET MAX TEXT: read_alignment of TEXT (ALPHABET dna or protein, at most MAX
// sequences): the sequences handed over, label|residues; then the refusal: the problem's
// number in alignment_problem, the sequence, its label and length, the line, and what the
// problem adds (the first sequence, the number allowed); or the residue's sequence, label,
// header line, position and character.
std::string alignment(const args &a) {
  input_source in = input_source::from_text(a[2], "aln");
  const auto alphabet = a[0] == "protein" ? read::residue_alphabet::AMINO_ACIDS : read::residue_alphabet::NUCLEOTIDES;
  std::string out;
  try {
    read::read_alignment(in, alphabet, std::stoul(a[1]),
                         [&](read::fasta_record &r) { out += r.label + "|" + r.residues + "\n"; });
  } catch (const read::alignment_error &e) {
    out += "!" + std::to_string(static_cast<int>(e.problem)) + " sequence " + std::to_string(e.sequence) + " '" +
           e.label + "' of " + std::to_string(e.length) + " at line " + std::to_string(e.where()->line);
    if (e.problem == read::alignment_problem::NOT_ALIGNED)
      out += ", first '" + e.first_label + "' of " + std::to_string(e.first_length);
    if (e.problem == read::alignment_problem::TOO_MANY) out += ", allowed " + std::to_string(e.allowed);
  } catch (const read::residue_error &e) {
    out += "!residue of sequence " + std::to_string(e.sequence) + " '" + e.label + "' (header line " +
           std::to_string(e.header_line) + ") at " + std::to_string(e.where()->line) + ":" +
           std::to_string(e.where()->column) + " " + e.character();
  }
  return out;
}

TEST(Fasta, Cases) {
  test::run_cases("fasta.cases",
                  {{"fasta", fasta}, {"records", records}, {"aligned", aligned}, {"alignment", alignment}});
}

TEST(ReadFasta, LinesAreReadWholeHoweverLong) {
  const std::string long_label(12000, 'x');
  EXPECT_EQ(fasta({">" + long_label + "  \n" + std::string(25000, 'g') + "\n>s2\nAC\n"}),
            long_label + "|" + std::string(25000, 'g') + "\ns2|AC\n");
}

TEST(ReadFasta, AppendsAfterWhatTheVectorHolds) {
  sequence_vecs v;
  for (const char *name : {"a", "b", "c"}) v.append(name, "TT");
  text_input in(">d\nGG\n");
  read::read_fasta(v);
  EXPECT_EQ(listed(v), "a|TT\nb|TT\nc|TT\nd|GG\n");

  sequence_vecs full;
  for (int i = 0; i < 4999; ++i) full.append("s", "A");
  text_input in2(">last\nA\n>over\nC\n");
  try {
    read::read_fasta(full);
    ADD_FAILURE() << "a 5001st sequence was appended";
  } catch (const range_error &e) {
    EXPECT_STREQ(e.what(), "vector is already at its maximum length");
  }
  EXPECT_EQ(full.size(), 5000u);
  EXPECT_EQ(full.back().label, "last");
}

} // namespace
