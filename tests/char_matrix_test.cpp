// Character matrices: the reader of their rows, and the writers of matrices and of aligned
// sequence sets. The cases are in tests/data/lib/char_matrix.cases; the sequence sets that phylo
// align writes are compared whole by the command-line cases.
#include "case_table.hpp"
#include "phylo/char_matrix.hpp"
#include "phylo/fasta.hpp"
#include "phylo/words.hpp"
#include "test_io.hpp"
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace phylo;
using phylo::test::captured_output;
using phylo::test::text_input;
using F = char_format_type;

F format(const std::string &name) { return test::named<F>(name, {"P", "X", "N", "C", "K"}); }

// What a printer writes, with the closing block of the NEXUS layouts shown as <footer>.
template <class M> std::string printed(const M &m, F f) {
  captured_output out, footer;
  print::print_footer(f);
  const std::string end = footer.text();
  {
    captured_output text;
    print::print_char_mat(m, f);
    std::string s = text.text();
    if (!end.empty() && s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0)
      s.replace(s.size() - end.size(), end.size(), "<footer>");
    return s;
  }
}

// header TEXT: the two counts, then what follows them; after a refusal, the kind and what follows.
std::string header(const std::vector<std::string> &a) {
  text_input in(a[0]);
  std::string shown;
  try {
    const read::char_mat_size size = read::read_header();
    shown = std::to_string(size.n_tax) + " " + std::to_string(size.n_char);
  } catch (const error &e) {
    shown = std::string("!") + e.kind();
  }
  return shown + "|" + std::string(in.source.buffered());
}

// chars KIND FORMAT OUT TEXT [COMMENT TAXON_COMMENT...]: a matrix of KIND (Q, D or C) read in
// FORMAT, shown as "label [comment]: cells" (OUT -) or written in the layout OUT with these
// comments.
std::string chars(const std::vector<std::string> &a) {
  const matrix_type kind = a[0] == "Q" ? matrix_type::QUANT : a[0] == "D" ? matrix_type::DISCR : matrix_type::CNTCH;
  text_input in(a[3]);
  read::char_mat_size size = read::read_header();
  char_mat_type m(static_cast<std::size_t>(size.n_tax), static_cast<std::size_t>(size.n_char), kind);
  read::read_char_mat(format(a[1]), m);
  if (a.size() > 4) m.comment = a[4];
  for (std::size_t i = 5; i < a.size(); ++i) m.tax_comments[i - 5] = a[i];
  if (a[2] != "-") return printed(m, format(a[2]));
  std::ostringstream out;
  for (std::size_t i = 0; i < m.n_tax(); ++i) {
    out << m.labels[i] << " [" << m.tax_comments[i] << "]:";
    for (std::size_t j = 0; j < m.n_char(); ++j) {
      if (kind == matrix_type::DISCR) out << m.discr_data()(i, j);
      else if (kind == matrix_type::QUANT) out << " " << m.quant_data()(i, j);
      else out << " " << m.count_data()(i, j);
    }
    out << "\n";
  }
  return out.str();
}

// fasta FORMAT TEXT: the sequence set of a FASTA text, written in FORMAT.
std::string fasta(const std::vector<std::string> &a) {
  text_input in(a[1]);
  sequence_vecs v;
  read::read_fasta(v);
  return printed(v, format(a[0]));
}

std::string char_nums(const std::vector<std::string> &a) {
  captured_output out;
  print::print_char_nums(std::stoul(a[0]), std::stoul(a[1]));
  return out.text();
}

TEST(CharMatrix, Cases) {
  test::run_cases("char_matrix.cases",
                  {{"header", header}, {"chars", chars}, {"fasta", fasta}, {"char_nums", char_nums}});
}

TEST(ReadCharMat, CellsBeforeAFailureAreKept) {
  text_input in("1 2\nt1 2.5 1\n");
  read::read_header();
  char_mat_type mat(1, 2, matrix_type::CNTCH);
  EXPECT_THROW(read::read_char_mat(F::EXTENDED_PHYLIP, mat), format_error);
  EXPECT_EQ(mat.labels[0], "t1");
  EXPECT_EQ(mat.count_data()(0, 0), 2);
  text_input in2("t1 A\n");
  EXPECT_THROW(read::read_char_mat(static_cast<F>(5), mat), range_error);
  EXPECT_EQ(read::get_word(whitespace), "t1"); // nothing read
}

// Sets and matrices that no reader makes but a program may: nothing is written.
TEST(PrintCharMat, WhatCannotBePrintedWritesNothing) {
  auto seqs = [](std::vector<std::pair<std::string, std::string>> items) {
    sequence_vecs v;
    for (auto &[label, residues] : items) v.append(label, residues);
    return v;
  };
  for (F f : {F::PHYLIP, F::EXTENDED_PHYLIP, F::NEXUS, F::NEXUS_ENCLOSED, F::COMMENTED_PHYLIP}) {
    captured_output out;
    EXPECT_THROW(print::print_char_mat(sequence_vecs(), f), range_error);
    EXPECT_THROW(print::print_char_mat(seqs({{"a", ""}, {"b", ""}}), f), range_error);
    EXPECT_THROW(print::print_char_mat(seqs({{"a", std::string(max_chars + 1, 'A')}}), f), range_error);
    if (f != F::PHYLIP) {
      EXPECT_THROW(print::print_char_mat(seqs({{"a", "AC"}, {"", "AC"}}), f), range_error);
      EXPECT_THROW(print::print_char_mat(char_mat_type(1, 1, matrix_type::CNTCH), f), range_error);
    }
    EXPECT_EQ(out.text(), "");
  }
  sequence_vecs most;
  for (int i = 0; i < max_taxa; ++i) most.append("s" + std::to_string(i), "A");
  EXPECT_EQ(printed(most, F::PHYLIP).size(), std::size_t{9 + 13 * max_taxa}); // as many as a set holds
  EXPECT_EQ(printed(seqs({{"", "AC"}}), F::PHYLIP), " 1\t 2\n          \tAC\n");
  EXPECT_EQ(printed(char_mat_type(1, 1, matrix_type::CNTCH), F::PHYLIP), " 1\t 1\n          \t 0\n");
  char_mat_type m(1, 1, matrix_type::CNTCH);
  m.labels[0] = "x";
  captured_output out;
  EXPECT_THROW(print::print_char_mat(m, static_cast<F>(5)), range_error);
  EXPECT_EQ(out.text(), "");
}

TEST(PrintCharNums, TheLongestRuler) {
  captured_output out;
  print::print_char_nums(1048576, 0);
  const std::string text = out.text();
  EXPECT_EQ(text.size(), 2 * (1 + 104858 * 10 + 2));
  EXPECT_EQ(text.substr(text.find(']') - 20, 21), "   1048570   1048580]");
}

TEST(ConvertChars, RecodesOnlyDiscreteSymbols) {
  char_mat_type d(2, 3, matrix_type::DISCR);
  d.labels[0] = "a.b";
  d.comment = "..";
  const char symbols[] = "A.Cg.t";
  for (std::size_t k = 0; k < 6; ++k) d.discr_data().data()[k] = symbols[k];
  print::convert_chars(d, good_gaps);
  EXPECT_EQ(std::string(d.discr_data().data(), 6), "A-Cg-t");
  EXPECT_EQ(d.labels[0], "a.b");
  EXPECT_EQ(d.comment, "..");
  char_mat_type q(1, 2, matrix_type::QUANT);
  q.quant_data()(0, 0) = 46.0f; // the code of '.'
  const char_mat_type before = q;
  print::convert_chars(q, char_map_type::replacing(~char_set_type{}, 'x'));
  EXPECT_EQ(q, before);
}

} // namespace
