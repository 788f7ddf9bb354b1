// Character matrices and sequence sets written in the five layouts.
#include "phylo/phylo.hpp"
#include "phylo/phylo.hpp"
#include "test_io.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace phylo;
using phylo::test::captured_output;
using F = char_format_type;

// Lines joined with line feeds; '>' stands for a tab.
std::string lines(std::vector<std::string> ls) {
  std::string out;
  for (std::string &l : ls) {
    for (char &c : l)
      if (c == '>') c = '\t';
    out += l + "\n";
  }
  return out;
}

// The closing block of the NEXUS layouts: (tabs, text) per line.
std::string footer() {
  const std::pair<int, const char *> rows[] = {
      {1, ";"},
      {0, "end;"},
      {0, ""},
      {0, "begin paup;"},
      {1, "set torder=left tcompress taxlabels=full outroot=monophyl"},
      {2, "autoclose maxtrees=1000 increase=auto autoinc=1000"},
      {2, "storetreewts storebrlens rootmethod=outgroup"},
      {2, "warnroot=no;"},
      {1, "pset opt=deltran collapse=minbrlen;"},
      {1, "dset dcollapse distance=hky85 missdist=ignore rates=equal"},
      {2, "pinvar=0;"},
      {1, "defaults nj bionj breakties=random;"},
      {1, "defaults upgma bionj breakties=random;"},
      {1, "defaults bootstrap grpfreq=no;"},
      {1, "defaults contree grpfreq=no;"},
      {1, "defaults hsearch addseq=random;"},
      {1, "defaults savedist triangle=both;"},
      {0, "end;"},
      {0, ""},
  };
  std::string out;
  for (auto [tabs, text] : rows) out += std::string(static_cast<std::size_t>(tabs), '\t') + text + "\n";
  return out;
}

sequence_vecs seqs(std::vector<std::pair<std::string, std::string>> items) {
  sequence_vecs v;
  for (auto &[label, residues] : items) v.append(label, residues);
  return v;
}

char_mat_type alpha_beta(matrix_type kind, std::size_t n_char) {
  char_mat_type m(2, n_char, kind);
  m.labels[0] = "Alpha";
  m.labels[1] = "Beta gamma";
  return m;
}

template <class Mat> std::string printed(const Mat &m, F format) {
  captured_output out;
  print::print_char_mat(m, format);
  return out.text();
}

TEST(PrintCharMat, SequenceSetInNexus) {
  EXPECT_EQ(printed(seqs({{"seq1", "ACGTACGTACGT"}, {"s2", "ACGTAC-TACGT"}}), F::NEXUS),
            lines({"#NEXUS", "", "begin data;", ">dimensions ntax= 2 nchar= 12;",
                   ">format datatype=nucleotide gap=- missing=?;", ">matrix", "[   >        10        20]",
                   "[   >         .         .]", "seq1>ACGTACGTACGT", "s2  >ACGTAC-TACGT"}) +
                footer());
}

TEST(PrintCharMat, SequenceSetInTheOtherLayouts) {
  const sequence_vecs v = seqs({{"O'Brien x", "AC-T"}, {"b", "ACGT"}});
  EXPECT_EQ(printed(v, F::PHYLIP), lines({" 2> 4", "O'Brien x >AC-T", "b         >ACGT"}));
  EXPECT_EQ(printed(v, F::EXTENDED_PHYLIP), lines({" 2> 4", "O'Brien_x>AC-T", "b        >ACGT"}));
  EXPECT_EQ(printed(v, F::COMMENTED_PHYLIP), printed(v, F::EXTENDED_PHYLIP));
  EXPECT_EQ(printed(v, F::NEXUS_ENCLOSED),
            lines({"#NEXUS", "", "begin data;", ">dimensions ntax= 2 nchar= 4;",
                   ">format datatype=nucleotide gap=- missing=?;", ">matrix", "[          >        10]",
                   "[          >         .]", "'O`Brien x'>AC-T", "'b'        >ACGT"}) +
                footer());
}

TEST(PrintCharMat, SequenceSetsThatCannotBePrinted) {
  for (F format : {F::PHYLIP, F::EXTENDED_PHYLIP, F::NEXUS, F::NEXUS_ENCLOSED, F::COMMENTED_PHYLIP}) {
    captured_output out;
    try {
      print::print_char_mat(seqs({{"a", "ACGT"}, {"b", "ACG"}}), format);
      ADD_FAILURE() << "unaligned sequences were printed";
    } catch (const unaligned_error &e) {
      EXPECT_STREQ(e.what(), "phylo-print:330");
    }
    EXPECT_THROW(print::print_char_mat(sequence_vecs(), format), range_error);
    EXPECT_THROW(print::print_char_mat(seqs({{"a", ""}, {"b", ""}}), format), range_error);
    EXPECT_THROW(print::print_char_mat(seqs({{"a", std::string(max_chars + 1, 'A')}}), format), range_error);
    if (format != F::PHYLIP) {
      EXPECT_THROW(print::print_char_mat(seqs({{"a", "AC"}, {"", "AC"}}), format), range_error);
    }
    EXPECT_EQ(out.text(), "");
  }
  // A label from a header of '>' alone is ten blanks in PHYLIP.
  EXPECT_EQ(printed(seqs({{"", "AC"}}), F::PHYLIP), lines({" 1> 2", "          >AC"}));
}

TEST(PrintCharMat, DiscreteMatrixInCommentedPhylip) {
  char_mat_type m = alpha_beta(matrix_type::DISCR, 4);
  m.comment = "my data";
  m.tax_comments[0] = "from lake";
  for (std::size_t j = 0; j < 4; ++j) {
    m.discr_data()(0, j) = "ACGT"[j];
    m.discr_data()(1, j) = "AC-T"[j];
  }
  EXPECT_EQ(printed(m, F::COMMENTED_PHYLIP), lines({" 2> 4>[my data]", "Alpha     >[from_lake]>ACGT", "Beta_gamma>[]>AC-T"}));
  EXPECT_EQ(printed(m, F::PHYLIP), lines({" 2> 4", "Alpha     >ACGT", "Beta gamma>AC-T"}));

  // Only the ends of comments are trimmed; brackets inside stay in this layout.
  m.comment = " [\t] ";
  m.tax_comments[0] = "[ ]";
  m.tax_comments[1] = "[ a [b] c ]";
  EXPECT_EQ(printed(m, F::COMMENTED_PHYLIP), lines({" 2> 4", "Alpha     >[]>ACGT", "Beta_gamma>[a_[b]_c]>AC-T"}));
  m.comment = "a [b] c";
  EXPECT_EQ(printed(m, F::COMMENTED_PHYLIP).substr(0, 16), " 2\t 4\t[a [b] c]\n");

  // NEXUS: comments are not trimmed, their brackets become braces; a ruler for symbols.
  m.comment = " see [x] ";
  m.tax_comments[0] = "";
  EXPECT_EQ(printed(m, F::NEXUS), lines({"#NEXUS", "", "[ see {x} ]", "", "begin data;", ">dimensions ntax= 2 nchar= 4;",
                                         ">format datatype=nucleotide gap=- missing=?;", ">matrix",
                                         "[         >        10]", "[         >         .]", "Alpha     >ACGT",
                                         "Beta_gamma>AC-T>[{ a {b} c }]"}) +
                                      footer());
}

TEST(PrintCharMat, QuantitativeMatrixInNexus) {
  char_mat_type m = alpha_beta(matrix_type::QUANT, 2);
  m.tax_comments[0] = "wild type";
  m.quant_data()(0, 0) = 1.5f;
  m.quant_data()(0, 1) = 2.0f;
  m.quant_data()(1, 0) = 0.25f;
  m.quant_data()(1, 1) = 3.0f;
  EXPECT_EQ(printed(m, F::NEXUS), lines({"#NEXUS", "", "begin data;", ">dimensions ntax= 2 nchar= 2;",
                                         ">format datatype=numerical missing=?;", ">matrix",
                                         "Alpha     > 1.50000E+00> 2.00000E+00>[wild type]",
                                         "Beta_gamma> 2.50000E-01> 3.00000E+00"}) +
                                      footer());
  m.quant_data()(1, 1) = -0.0f;
  EXPECT_EQ(printed(m, F::EXTENDED_PHYLIP),
            lines({" 2> 2", "Alpha     > 1.50000E+00> 2.00000E+00", "Beta_gamma> 2.50000E-01>-0.00000E+00"}));
}

TEST(PrintCharMat, CountMatrix) {
  char_mat_type m = alpha_beta(matrix_type::CNTCH, 3);
  const std::int32_t cells[] = {7, 1234, 0, 2147483647, 10, 1};
  for (std::size_t k = 0; k < 6; ++k) m.count_data().data()[k] = cells[k];
  m.comment = "reads";
  EXPECT_EQ(printed(m, F::NEXUS_ENCLOSED),
            lines({"#NEXUS", "", "[reads]", "", "begin data;", ">dimensions ntax= 2 nchar= 3;",
                   ">format datatype=numerical missing=?;", ">matrix", "'Alpha'     > 7> 1234> 0",
                   "'Beta gamma'> 2147483647> 10> 1"}) +
                footer());
  EXPECT_EQ(printed(m, F::COMMENTED_PHYLIP), lines({" 2> 3>[reads]", "Alpha     >[]> 7> 1234> 0", "Beta_gamma>[]> 2147483647> 10> 1"}));
}

TEST(PrintCharMat, EmptyLabelWritesNothing) {
  char_mat_type m(1, 1, matrix_type::CNTCH);
  for (F format : {F::EXTENDED_PHYLIP, F::NEXUS, F::NEXUS_ENCLOSED, F::COMMENTED_PHYLIP}) {
    captured_output out;
    EXPECT_THROW(print::print_char_mat(m, format), range_error);
    EXPECT_EQ(out.text(), "");
  }
  EXPECT_EQ(printed(m, F::PHYLIP), lines({" 1> 1", "          > 0"}));
  m.labels[0] = "x";
  captured_output out;
  EXPECT_THROW(print::print_char_mat(m, static_cast<F>(5)), range_error);
  EXPECT_EQ(out.text(), "");
}

TEST(PrintCharNums, OneBlockMoreThanTheCompleteTens) {
  struct row {
    std::size_t n_char, width;
    std::vector<std::string> expected;
  } rows[] = {
      {12, 2, {"[ >        10        20]", "[ >         .         .]"}},
      {9, 1, {"[>        10]", "[>         .]"}},
      {20, 3, {"[  >        10        20        30]", "[  >         .         .         .]"}},
      {0, 0, {">        10]", ">         .]"}},
  };
  for (const row &r : rows) {
    captured_output out;
    print::print_char_nums(r.n_char, r.width);
    EXPECT_EQ(out.text(), lines(r.expected)) << r.n_char;
  }
  captured_output out;
  print::print_char_nums(1048576, 0);
  const std::string text = out.text();
  EXPECT_EQ(text.size(), 2 * (1 + 104858 * 10 + 2));
  EXPECT_EQ(text.substr(text.find(']') - 20, 21), "   1048570   1048580]");
}

TEST(PrintFooter, OnlyTheNexusLayoutsHaveOne) {
  for (F format : {F::NEXUS, F::NEXUS_ENCLOSED, F::PHYLIP, F::EXTENDED_PHYLIP, F::COMMENTED_PHYLIP}) {
    captured_output out;
    print::print_footer(format);
    const bool nexus = format == F::NEXUS || format == F::NEXUS_ENCLOSED;
    EXPECT_EQ(out.text(), nexus ? footer() : "");
  }
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
  EXPECT_EQ(q.quant_data()(0, 0), 46.0f);
}

// A FASTA alignment read and written back as a NEXUS data block.
TEST(PrintCharMat, FastaToNexus) {
  phylo::test::text_input in(">Rana temporaria\nACGT.a\ncg\n>R. arvalis (AF1)\nAC..acgg\n");
  sequence_vecs v;
  read::read_fasta(v);
  EXPECT_EQ(printed(v, F::NEXUS), lines({"#NEXUS", "", "begin data;", ">dimensions ntax= 2 nchar= 8;",
                                         ">format datatype=nucleotide gap=- missing=?;", ">matrix",
                                         "[               >        10]", "[               >         .]",
                                         "Rana_temporaria >ACGT-acg", "R._arvalis__AF1 >AC--acgg"}) +
                                      footer());
}

} // namespace
