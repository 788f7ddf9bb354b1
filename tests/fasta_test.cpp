// FASTA input and the alignment check.
#include "phylo/char_matrix.hpp"
#include "phylo/chars.hpp"
#include "phylo/fasta.hpp"
#include "phylo/io.hpp"
#include "phylo/words.hpp"
#include "test_io.hpp"

#include <gtest/gtest.h>

#include <tuple>

#include <string>
#include <vector>

namespace {

using namespace phylo;
using phylo::test::text_input;

struct seq {
  std::string label, residues;
};

std::vector<seq> contents(const sequence_vecs &v) {
  std::vector<seq> out;
  for (const sequence_type &s : v) out.push_back({s.label, s.residues});
  return out;
}

bool operator==(const seq &a, const seq &b) { return a.label == b.label && a.residues == b.residues; }
std::ostream &operator<<(std::ostream &os, const seq &s) { return os << '{' << s.label << ", " << s.residues << '}'; }

std::vector<seq> read_all(const std::string &text) {
  text_input in(text);
  sequence_vecs v;
  read::read_fasta(v);
  for (const sequence_type &s : v) EXPECT_EQ(s.note, "");
  return contents(v);
}

TEST(ReadFasta, HeadersLabelsAndResidues) {
  struct row {
    std::string text;
    std::vector<seq> expected;
  } rows[] = {
      {">s1\nACGT\nac gt\n>s2 some text\nNNNN--??\n", {{"s1", "ACGTacgt"}, {"s2 some text", "NNNN--??"}}},
      {">s1\nAC.GT\n", {{"s1", "AC-GT"}}},
      {">  s1  \t\r\nAC\r\nGT\r\n", {{"s1", "ACGT"}}},
      {">s1\n\nAC\n\n\nGT\n\n", {{"s1", "ACGT"}}},
      {"AC\n>s1\nGT\n", {{"s1", "ACGT"}}}, // lines before the first header are kept
      {"ACGT\nAC\n", {{"", "ACGTAC"}}},    // no header at all
      {"", {{"", ""}}},                    // an empty input
      {"\n", {{"", ""}}},
      {">\nACGT", {{"", "ACGT"}}}, // a header of '>' alone; no final line end
      {">s1\n>s2\nAC\n>s3", {{"s1", ""}, {"s2", "AC"}, {"s3", ""}}},
      {">s1\tx\n a c\tg\x0bt \n\n  \n\t\n", {{"s1\tx", "acgt"}}}, // control characters vanish
      {">Pet\xc5\x91\x85 \nAC\n", {{"Pet\xc5\x91\x85", "AC"}}},   // bytes from 128 on belong to the label
      {">s1\nryMKswHBvdN?-\n", {{"s1", "ryMKswHBvdN?-"}}},
  };
  for (const row &r : rows) EXPECT_EQ(read_all(r.text), r.expected) << r.text;
}

TEST(ReadFasta, LinesAreReadWholeHoweverLong) {
  const std::string long_label(12000, 'x');
  const std::string long_line = std::string(10000, 'A') + ">" + std::string(10000, 'C');
  EXPECT_EQ(read_all(">" + long_label + "  \n" + std::string(25000, 'g') + "\n>s2\nAC\n"),
            (std::vector<seq>{{long_label, std::string(25000, 'g')}, {"s2", "AC"}}));
  // A '>' inside a sequence line never starts a header.
  text_input in(">s1\n" + long_line + "\n");
  sequence_vecs v;
  EXPECT_THROW(read::read_fasta(v), invalid_character_error);
}

TEST(ReadFasta, RefusesSymbolsThatAreNoNucleotideCodes) {
  for (const char *bad : {"ACGU", "ACGu", "E", "F", "I", "L", "P", "Q", "AC*", "AC\xA0GT", "AC_GT"}) {
    text_input in(std::string(">s1\n") + bad + "\n");
    sequence_vecs v;
    try {
      read::read_fasta(v);
      ADD_FAILURE() << bad << " was accepted";
    } catch (const invalid_character_error &e) {
      EXPECT_STREQ(e.what(), "phylo-read:285");
    }
    EXPECT_TRUE(v.empty());
  }
}

TEST(ReadFasta, FailureKeepsWhatWasReadBefore) {
  text_input in(">s1\nACGT\n>s2\nAXGT\n>s3\nAC\n");
  sequence_vecs v;
  EXPECT_THROW(read::read_fasta(v), invalid_character_error);
  EXPECT_EQ(contents(v), (std::vector<seq>{{"s1", "ACGT"}}));
  // The header line that ended the bad sequence has been read.
  EXPECT_EQ(read::get_word(whitespace), "AC");
}

TEST(ReadFasta, AppendsAfterWhatTheVectorHolds) {
  sequence_vecs v;
  for (const char *name : {"a", "b", "c"}) v.append(name, "TT");
  text_input in(">d\nGG\n");
  read::read_fasta(v);
  EXPECT_EQ(contents(v), (std::vector<seq>{{"a", "TT"}, {"b", "TT"}, {"c", "TT"}, {"d", "GG"}}));

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

TEST(IsAligned, ComparesLengthsOnly) {
  auto of = [](std::vector<std::string> residues) {
    sequence_vecs v;
    for (const std::string &r : residues) v.append("x", r);
    return v;
  };
  EXPECT_TRUE(read::is_aligned(of({"ACGT", "TTTT", "----"})));
  EXPECT_FALSE(read::is_aligned(of({"ACGT", "ACGTA", "ACGT"})));
  EXPECT_TRUE(read::is_aligned(of({"A"})));
  EXPECT_FALSE(read::is_aligned(of({"ACGT", ""})));
  EXPECT_THROW(read::is_aligned(of({})), range_error);
  EXPECT_THROW(read::is_aligned(of({"", ""})), range_error);
}

// A wrapped alignment as aligners write it: lower-case insertions, '.' for gaps, lines of
// different lengths and a description after the identifier.
TEST(ReadFasta, WrappedAlignmentWithDotGaps) {
  const std::string text = ">AF123456.1 Rana temporaria cytb partial\n"
                           "ATGGCACCAAacctccgaaa\n"
                           "AATCAC..CCACTTATAAAA\n"
                           "TTGT\n"
                           ">AF123457.1 Rana arvalis\n"
                           "ATGGCACCAA..ctccgaaaAATCACCTCC\n"
                           "ACTTATAAAATTGT\n"
                           ">AF123458.2\r\n"
                           "atggcaccaaacctccgaaaaatcac..ccacttataaaattgt\r\n";
  text_input in(text);
  sequence_vecs v;
  read::read_fasta(v);
  EXPECT_EQ(contents(v),
            (std::vector<seq>{
                {"AF123456.1 Rana temporaria cytb partial", "ATGGCACCAAacctccgaaaAATCAC--CCACTTATAAAATTGT"},
                {"AF123457.1 Rana arvalis", "ATGGCACCAA--ctccgaaaAATCACCTCCACTTATAAAATTGT"},
                {"AF123458.2", "atggcaccaaacctccgaaaaatcac--ccacttataaaattgt"},
            }));
  EXPECT_TRUE(read::is_aligned(v));
}

// The sample alignment and its PHYLIP twin hold the same sequences.
TEST(ReadFasta, SampleAlignmentMatchesItsPhylipForm) {
  input_source fasta = input_source::open_file(SAMPLES_DIR "/aln12.fasta");
  sequence_vecs v;
  {
    scoped_input scope(fasta);
    read::read_fasta(v);
  }
  ASSERT_EQ(v.size(), 12u);
  EXPECT_TRUE(read::is_aligned(v));
  EXPECT_EQ(v[1].label, "Beta gamma");

  input_source phy = input_source::open_file(SAMPLES_DIR "/aln12.phy");
  scoped_input scope(phy);
  read::char_mat_size size = read::read_header();
  ASSERT_EQ(size.n_tax, 12);
  ASSERT_EQ(size.n_char, 60);
  char_mat_type mat(12, 60, matrix_type::DISCR);
  read::read_char_mat(char_format_type::PHYLIP, mat);
  for (std::size_t i = 0; i < 12; ++i) {
    std::string label = v[i].label.substr(0, 10);
    label.resize(10, ' ');
    EXPECT_EQ(mat.labels[i], label);
    EXPECT_EQ(std::string(mat.discr_data().row(i), 60), v[i].residues) << label;
  }
}

// Record by record: the same sequences as read_fasta, with the line of each header, and an
// error that says where the first residue that is no nucleotide code stands.
TEST(FastaReader, RecordsWithTheirLines) {
  phylo::input_source in = phylo::input_source::from_text("AC\n>s1 x\nGT\n\n>s2\r\nac\n");
  read::fasta_reader reader(in);
  read::fasta_record r;
  std::vector<std::tuple<std::string, std::string, std::size_t>> got;
  while (reader.next(r)) got.emplace_back(r.label, r.residues, r.header_line);
  EXPECT_EQ(got,
            (std::vector<std::tuple<std::string, std::string, std::size_t>>{{"s1 x", "ACGT", 2}, {"s2", "ac", 5}}));
  EXPECT_FALSE(reader.next(r));

  phylo::input_source none = phylo::input_source::from_text("");
  read::fasta_reader empty(none);
  ASSERT_TRUE(empty.next(r));
  EXPECT_EQ(r.label, "");
  EXPECT_EQ(r.header_line, 0u);
  EXPECT_FALSE(empty.next(r));

  phylo::input_source bad = phylo::input_source::from_text(">a\nAC\n>b\nAC\n  aXU\n>c\nA\n", "aln");
  read::fasta_reader refusing(bad);
  ASSERT_TRUE(refusing.next(r));
  try {
    refusing.next(r);
    ADD_FAILURE() << "no error";
  } catch (const invalid_character_error &e) {
    EXPECT_STREQ(e.what(), "phylo-read:285");
    ASSERT_NE(e.where(), nullptr);
    EXPECT_EQ(e.where()->name, "aln");
    EXPECT_EQ(e.where()->line, 5u);
    EXPECT_EQ(e.where()->column, 4u);
    EXPECT_EQ(e.character(), 'X');
    EXPECT_EQ(r.label, "b") << "the record names the sequence that failed";
  }
  ASSERT_TRUE(refusing.next(r)) << "reading goes on after the sequence";
  EXPECT_EQ(r.label, "c");
}

} // namespace
