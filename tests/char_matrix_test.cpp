// Character matrices: the reader of their rows, and the writers of matrices and of aligned
// sequence sets.
#include "phylo/char_matrix.hpp"
#include "phylo/fasta.hpp"
#include "phylo/label.hpp"
#include "phylo/number.hpp"
#include "phylo/words.hpp"
#include "test_io.hpp"
#include <gtest/gtest.h>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

using namespace phylo;
using phylo::test::text_input;

// ---- read_header -----------------------------------------------------------------------

TEST(ReadHeader, TwoCountsOnOneLineOrOnSeveral) {
  struct row {
    const char *text;
    int n_tax, n_char;
    const char *next_word; // what follows the header
  } rows[] = {
      {"3 5\nnext", 3, 5, "next"},
      {"3 5 anything\nnext", 3, 5, "next"},
      {"3\n5\nnext", 3, 5, "next"},
      {"\n\n  3\t5\nnext", 3, 5, "next"},
      {"5000 1048576\nnext", 5000, 1048576, "next"},
      {"1 1", 1, 1, nullptr}, // at the end of input without a line end
  };
  for (const row &r : rows) {
    text_input in(r.text);
    read::char_mat_size size = read::read_header();
    EXPECT_EQ(size.n_tax, r.n_tax) << r.text;
    EXPECT_EQ(size.n_char, r.n_char) << r.text;
    if (r.next_word) EXPECT_EQ(read::get_word(whitespace), r.next_word);
    else EXPECT_TRUE(read::at_end());
  }
}

TEST(ReadHeader, RefusesCountsOutsideTheLimits) {
  {
    text_input in("0 5\n");
    EXPECT_THROW(read::read_header(), range_error);
    EXPECT_EQ(read::read_integer(), 5); // the second count is not read
  }
  {
    text_input in("5001 5\n");
    EXPECT_THROW(read::read_header(), range_error);
  }
  {
    text_input in("3 0 rest\n");
    EXPECT_THROW(read::read_header(), range_error);
    EXPECT_EQ(read::get_word(whitespace), "rest"); // the rest of the line is not consumed
  }
  {
    text_input in("3 1048577\n");
    EXPECT_THROW(read::read_header(), range_error);
  }
  for (const char *text : {"3 x\n", "x 3\n", "3.5 2\n", "99999999999 2\n"}) {
    text_input in(text);
    EXPECT_THROW(read::read_header(), format_error) << text;
  }
  text_input in("3\n");
  EXPECT_THROW(read::read_header(), end_of_input);
}

// ---- read_char_mat ---------------------------------------------------------------------

char_mat_type read_matrix(const std::string &text, char_format_type format, matrix_type kind) {
  text_input in(text);
  read::char_mat_size size = read::read_header();
  char_mat_type mat(static_cast<std::size_t>(size.n_tax), static_cast<std::size_t>(size.n_char), kind);
  read::read_char_mat(format, mat);
  return mat;
}

char_mat_type discr(std::vector<std::string> labels, std::vector<std::string> rows) {
  char_mat_type m(labels.size(), rows[0].size(), matrix_type::DISCR);
  for (std::size_t i = 0; i < labels.size(); ++i) {
    m.labels[i] = labels[i];
    for (std::size_t j = 0; j < rows[i].size(); ++j) m.discr_data()(i, j) = rows[i][j];
  }
  return m;
}

template <class T>
char_mat_type numeric(matrix_type kind, std::vector<std::string> labels, std::vector<std::vector<T>> rows) {
  char_mat_type m(labels.size(), rows[0].size(), kind);
  for (std::size_t i = 0; i < labels.size(); ++i) {
    m.labels[i] = labels[i];
    for (std::size_t j = 0; j < rows[i].size(); ++j) {
      if constexpr (std::is_same_v<T, float>) m.quant_data()(i, j) = rows[i][j];
      else m.count_data()(i, j) = rows[i][j];
    }
  }
  return m;
}

TEST(ReadCharMat, DiscreteSymbolsInEveryLayout) {
  using F = char_format_type;
  const char_mat_type alpha_beta = discr({"alpha", "beta"}, {"ACGT", "A-?N"});
  struct row {
    const char *text;
    F format;
    char_mat_type expected;
  } rows[] = {
      {"2 4\nalpha ACGT\nbeta A-?N\n", F::EXTENDED_PHYLIP, alpha_beta},
      {"2 4\nalpha ACGT\nbeta A-?N\n", F::NEXUS, alpha_beta},
      {"2 4\nalpha ACGT\nbeta A-?N\n", F::NEXUS_ENCLOSED, alpha_beta},
      {"2 4\nalpha A C\tG T\n\nbeta\tA-?N", F::EXTENDED_PHYLIP,
       alpha_beta}, // blanks between symbols, no final line end
      {"2 4\nalpha AC\nGT ignored\nbeta A-?N more\n", F::EXTENDED_PHYLIP, alpha_beta}, // a row over two lines
      {"2 4\nalpha [x] ACGT\nbeta [] A-?N\n", F::COMMENTED_PHYLIP, alpha_beta},
      {"2 4\nalpha     ACGT\nbeta      A-?N\n", F::PHYLIP, discr({"alpha     ", "beta      "}, {"ACGT", "A-?N"})},
      // A label is ten characters, whatever they are.
      {"1 4\nBos ACGTACGTAC\n", F::PHYLIP, discr({"Bos ACGTAC"}, {"GTAC"})},
      {"1 3\nBos\nAAAAAAAGTC\n", F::PHYLIP, discr({"BosAAAAAAA"}, {"GTC"})},
  };
  for (const row &r : rows) EXPECT_EQ(read_matrix(r.text, r.format, matrix_type::DISCR), r.expected) << r.text;
}

TEST(ReadCharMat, QuantitativeAndCountValues) {
  using F = char_format_type;
  EXPECT_EQ(read_matrix("1 3\nt1 0.5 1 -2.25e3\n", F::EXTENDED_PHYLIP, matrix_type::QUANT),
            numeric<float>(matrix_type::QUANT, {"t1"}, {{0.5f, 1.0f, -2250.0f}}));
  EXPECT_EQ(read_matrix("1 3\nt1 [note] 0 1 1\n", F::COMMENTED_PHYLIP, matrix_type::CNTCH),
            numeric<std::int32_t>(matrix_type::CNTCH, {"t1"}, {{0, 1, 1}}));
  // Values past the row's last one are ignored; the last row needs no line end.
  EXPECT_EQ(read_matrix("2 2\nt1 1 2 3 4\nt2 5\n6", F::EXTENDED_PHYLIP, matrix_type::CNTCH),
            numeric<std::int32_t>(matrix_type::CNTCH, {"t1", "t2"}, {{1, 2}, {5, 6}}));
  EXPECT_EQ(read_matrix("2 2\nt1 1 2\nt2 2147483647 0", F::EXTENDED_PHYLIP, matrix_type::CNTCH),
            numeric<std::int32_t>(matrix_type::CNTCH, {"t1", "t2"}, {{1, 2}, {2147483647, 0}}));
  EXPECT_EQ(read_matrix("2 1\nt1 1e-50\nt2 -0", F::EXTENDED_PHYLIP, matrix_type::QUANT),
            numeric<float>(matrix_type::QUANT, {"t1", "t2"}, {{0.0f}, {-0.0f}}));
}

TEST(ReadCharMat, BadCellsAndEarlyEnds) {
  using F = char_format_type;
  struct row {
    const char *text;
    matrix_type kind;
    const char *error;
  } rows[] = {
      {"1 3\nt1 0.5 ? 1\n", matrix_type::QUANT, "format_error"},
      {"1 1\nt1 1e39\n", matrix_type::QUANT, "format_error"},
      {"1 2\nt1 2.5 1\n", matrix_type::CNTCH, "format_error"},
      {"1 1\nt1 -1\n", matrix_type::CNTCH, "range_error"},
      {"1 1\nt1 2147483648\n", matrix_type::CNTCH, "format_error"},
      // Text glued to a row's last number.
      {"1 2\nt1 1 2.5\n", matrix_type::CNTCH, "format_error"},
      {"1 2\nt1 1 0,5\n", matrix_type::QUANT, "format_error"},
      {"2 1\nt1 1\nt2 1.5abc", matrix_type::QUANT, "format_error"},
      {"2 2\nt1 1 2\nt2 3\n", matrix_type::QUANT, "end_of_input"},
      {"2 4\nt1 ACGT\nt2 AC\n", matrix_type::DISCR, "end_of_input"},
      {"2 4\nt1 ACGT\n", matrix_type::DISCR, "end_of_input"},
  };
  for (const row &r : rows) {
    try {
      read_matrix(r.text, F::EXTENDED_PHYLIP, r.kind);
      ADD_FAILURE() << r.text << " was read";
    } catch (const error &e) {
      EXPECT_STREQ(e.kind(), r.error) << r.text;
    }
  }
  // The cells before the bad one are kept.
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

// Real-looking data: body measurements of four lizards (snout-vent length, tail length,
// head width, in mm; a log-ratio that can be negative) and counts of five bacterial taxa
// in three soil samples, as a spreadsheet would export them with CRLF line ends.
TEST(ReadCharMat, TraitAndAbundanceTables) {
  const std::string traits = "4 4 morphometrics, adults only\r\n"
                             "P.muralis   61.5\t112.25 7.75  -0.125\r\n"
                             "P.siculus   72.0\t131.5  9.5   0.25\r\n"
                             "L.viridis   110\t220.0  13.0  1.5e-1\r\n"
                             "T.lepidus   160.75\t301  21.25 -1.0E0\r\n";
  EXPECT_EQ(read_matrix(traits, char_format_type::EXTENDED_PHYLIP, matrix_type::QUANT),
            numeric<float>(matrix_type::QUANT, {"P.muralis", "P.siculus", "L.viridis", "T.lepidus"},
                           {{61.5f, 112.25f, 7.75f, -0.125f},
                            {72.0f, 131.5f, 9.5f, 0.25f},
                            {110.0f, 220.0f, 13.0f, 0.15f},
                            {160.75f, 301.0f, 21.25f, -1.0f}}));

  const std::string counts = "3 5\n"
                             "forest    120 0 33 7 1024\n"
                             "meadow    98 12 0 0 2048\n"
                             "field     0 0 5 110 17\n";
  EXPECT_EQ(read_matrix(counts, char_format_type::PHYLIP, matrix_type::CNTCH),
            numeric<std::int32_t>(matrix_type::CNTCH, {"forest    ", "meadow    ", "field     "},
                                  {{120, 0, 33, 7, 1024}, {98, 12, 0, 0, 2048}, {0, 0, 5, 110, 17}}));
}

} // namespace

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
  EXPECT_EQ(printed(m, F::COMMENTED_PHYLIP),
            lines({" 2> 4>[my data]", "Alpha     >[from_lake]>ACGT", "Beta_gamma>[]>AC-T"}));
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
  EXPECT_EQ(printed(m, F::NEXUS),
            lines({"#NEXUS", "", "[ see {x} ]", "", "begin data;", ">dimensions ntax= 2 nchar= 4;",
                   ">format datatype=nucleotide gap=- missing=?;", ">matrix", "[         >        10]",
                   "[         >         .]", "Alpha     >ACGT", "Beta_gamma>AC-T>[{ a {b} c }]"}) +
                footer());
}

TEST(PrintCharMat, QuantitativeMatrixInNexus) {
  char_mat_type m = alpha_beta(matrix_type::QUANT, 2);
  m.tax_comments[0] = "wild type";
  m.quant_data()(0, 0) = 1.5f;
  m.quant_data()(0, 1) = 2.0f;
  m.quant_data()(1, 0) = 0.25f;
  m.quant_data()(1, 1) = 3.0f;
  EXPECT_EQ(
      printed(m, F::NEXUS),
      lines({"#NEXUS", "", "begin data;", ">dimensions ntax= 2 nchar= 2;", ">format datatype=numerical missing=?;",
             ">matrix", "Alpha     > 1.50000E+00> 2.00000E+00>[wild type]", "Beta_gamma> 2.50000E-01> 3.00000E+00"}) +
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
  EXPECT_EQ(printed(m, F::COMMENTED_PHYLIP),
            lines({" 2> 3>[reads]", "Alpha     >[]> 7> 1234> 0", "Beta_gamma>[]> 2147483647> 10> 1"}));
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
  EXPECT_EQ(printed(v, F::NEXUS),
            lines({"#NEXUS", "", "begin data;", ">dimensions ntax= 2 nchar= 8;",
                   ">format datatype=nucleotide gap=- missing=?;", ">matrix", "[               >        10]",
                   "[               >         .]", "Rana_temporaria >ACGT-acg", "R._arvalis__AF1 >AC--acgg"}) +
                footer());
}

} // namespace
