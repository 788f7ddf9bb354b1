// Character matrices: the data model and the reader.
#include "phylo/read.hpp"
#include "phylo/types.hpp"
#include "test_io.hpp"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

using namespace phylo;
using phylo::test::text_input;

// ---- char_mat_type and sequence_vecs --------------------------------------------------

char_mat_type quant_2x2(float corner) {
  char_mat_type m(2, 2, matrix_type::QUANT);
  m.comment = "traits";
  m.labels[0] = "a";
  m.labels[1] = "b";
  m.tax_comments[0] = "wild";
  float v[] = {corner, 1.0f, 2.0f, 3.0f};
  for (int k = 0; k < 4; ++k) m.quant_data().data()[k] = v[k];
  return m;
}

TEST(CharMatType, EqualityComparesEveryFieldAndFloatsByValue) {
  EXPECT_EQ(quant_2x2(0.0f), quant_2x2(-0.0f));
  EXPECT_FALSE(quant_2x2(0.0f) == quant_2x2(0.5f));

  char_mat_type other_comment = quant_2x2(0.0f);
  other_comment.tax_comments[1] = "x";
  EXPECT_FALSE(other_comment == quant_2x2(0.0f));
  char_mat_type other_label = quant_2x2(0.0f);
  other_label.labels[1] = "B";
  EXPECT_FALSE(other_label == quant_2x2(0.0f));

  // The same texts, sizes and zero cells, only the kind differs.
  char_mat_type q(2, 3, matrix_type::QUANT), c(2, 3, matrix_type::CNTCH);
  EXPECT_FALSE(q == c);
  EXPECT_FALSE(q == char_mat_type(2, 4, matrix_type::QUANT));
  EXPECT_EQ(c, char_mat_type(2, 3, matrix_type::CNTCH));
}

TEST(CharMatType, OnlyTheDataOfItsKindExists) {
  char_mat_type q(1, 1, matrix_type::QUANT), d(1, 1, matrix_type::DISCR), c(1, 1, matrix_type::CNTCH);
  EXPECT_NO_THROW(q.quant_data());
  EXPECT_THROW(q.discr_data(), range_error);
  EXPECT_THROW(q.count_data(), range_error);
  EXPECT_THROW(d.quant_data(), range_error);
  EXPECT_THROW(std::as_const(c).discr_data(), range_error);
  EXPECT_EQ(d.labels.size(), 1u);
  EXPECT_EQ(d.labels[0], "");
  EXPECT_EQ(d.tax_comments[0], "");
  // A size whose cell count would wrap around.
  EXPECT_THROW(char_mat_type(4, static_cast<std::size_t>(-1) / 2, matrix_type::DISCR), range_error);
}

TEST(SequenceVecs, HoldsAtMostFiveThousand) {
  sequence_vecs v;
  for (int i = 0; i < 5000; ++i) v.append(std::to_string(i), "ACGT");
  try {
    v.append("5000", "ACGT");
    FAIL() << "a 5001st sequence was accepted";
  } catch (const range_error &e) {
    EXPECT_STREQ(e.what(), "vector is already at its maximum length");
  }
  EXPECT_EQ(v.size(), 5000u);
  EXPECT_EQ(v.back().label, "4999");
}

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

template <class T> char_mat_type numeric(matrix_type kind, std::vector<std::string> labels, std::vector<std::vector<T>> rows) {
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
      {"2 4\nalpha A C\tG T\n\nbeta\tA-?N", F::EXTENDED_PHYLIP, alpha_beta}, // blanks between symbols, no final line end
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
