// Labels and distance matrices as text, compared byte for byte.
#include "phylo/phylo.hpp"

#include "test_io.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace phylo;
using phylo::test::captured_output;
using F = dist_format_type;

const std::string trailer = "\t;\n"
                            "end;\n"
                            "\n"
                            "begin paup;\n"
                            "\tset torder=left tcompress taxlabels=full outroot=monophyl\n"
                            "\t\tautoclose maxtrees=1000 increase=auto autoinc=1000\n"
                            "\t\tstoretreewts storebrlens rootmethod=outgroup\n"
                            "\t\twarnroot=no;\n"
                            "\tdefaults nj bionj breakties=random;\n"
                            "\tdefaults upgma bionj breakties=random;\n"
                            "\tdefaults contree grpfreq=no;\n"
                            "\tdefaults hsearch addseq=random;\n"
                            "\tdefaults savedist triangle=both;\n"
                            "end;\n"
                            "\n";

dist_mat_type matrix(std::vector<std::string> labels, std::vector<float> cells) {
  dist_mat_type m(labels.size());
  for (std::size_t i = 0; i < labels.size(); ++i) m.labels[i] = labels[i];
  for (std::size_t k = 0; k < cells.size(); ++k) m.distances.data()[k] = cells[k];
  return m;
}

std::string printed(const dist_mat_type &m, F format) {
  captured_output out;
  print::print_dist_mat(m, format);
  return out.text();
}

std::string label_text(std::string_view label, F format, std::size_t width) {
  captured_output out;
  print::print_label(label, format, width);
  return out.text();
}

TEST(PrintDistMat, WorkedExampleInEveryLayout) {
  const dist_mat_type m = matrix({"Alpha", "Beta gamma"}, {0, 0.25f, 0.25f, 0});
  const std::string nexus_head = "#NEXUS\n\nbegin distances;\n\tdimensions newtaxa ntax= 2;\n\tformat triangle=both labels;\n\tmatrix\n";
  EXPECT_EQ(printed(m, F::PHYLIP), " 2\nAlpha     \t 0.00000E+00\t 2.50000E-01\nBeta gamma\t 2.50000E-01\t 0.00000E+00\n");
  EXPECT_EQ(printed(m, F::EXTENDED_PHYLIP), " 2\nAlpha     \t 0.00000E+00\t 2.50000E-01\nBeta_gamma\t 2.50000E-01\t 0.00000E+00\n");
  EXPECT_EQ(printed(m, F::TAB), "\tAlpha\tBeta gamma\nAlpha\t 0.00000E+00\t 2.50000E-01\nBeta gamma\t 2.50000E-01\t 0.00000E+00\n");
  EXPECT_EQ(printed(m, F::NEXUS),
            nexus_head + "Alpha     \t 0.00000E+00\t 2.50000E-01\nBeta_gamma\t 2.50000E-01\t 0.00000E+00\n" + trailer);
  EXPECT_EQ(printed(m, F::NEXUS_ENCLOSED),
            nexus_head + "'Alpha'     \t 0.00000E+00\t 2.50000E-01\n'Beta gamma'\t 2.50000E-01\t 0.00000E+00\n" + trailer);
  EXPECT_EQ(printed(m, F::ONE_COLUMN), "Beta gamma\tAlpha\t 2.50000E-01\n");
  EXPECT_EQ(printed(m, F::RAW), "Alpha\t 0.00000E+00\t 2.50000E-01\nBeta gamma\t 2.50000E-01\t 0.00000E+00\n");
}

TEST(PrintDistMat, OneTaxon) {
  const dist_mat_type m = matrix({"Solo"}, {0});
  EXPECT_EQ(printed(m, F::PHYLIP), " 1\nSolo      \t 0.00000E+00\n");
  EXPECT_EQ(printed(m, F::ONE_COLUMN), "");
  EXPECT_NE(printed(m, F::NEXUS).find("\tdimensions newtaxa ntax= 1;\n"), std::string::npos);
}

TEST(PrintDistMat, AsymmetricCellsAsStored) {
  const dist_mat_type m = matrix({"a", "b", "c"}, {1, 2, 3, 4, 5, 6, 7, 8, -0.0f});
  EXPECT_EQ(printed(m, F::RAW), "a\t 1.00000E+00\t 2.00000E+00\t 3.00000E+00\n"
                                "b\t 4.00000E+00\t 5.00000E+00\t 6.00000E+00\n"
                                "c\t 7.00000E+00\t 8.00000E+00\t-0.00000E+00\n");
  EXPECT_EQ(printed(m, F::ONE_COLUMN), "b\ta\t 4.00000E+00\nc\ta\t 7.00000E+00\nc\tb\t 8.00000E+00\n");
}

TEST(PrintDistMat, NexusLabelsCleanedAndPaddedToTheLongestStoredLabel) {
  const dist_mat_type m = matrix({"(outgroup)", "()", "E.coli K-12"}, {0, 0, 0, 0, 0, 0, 0, 0, 0});
  std::string text = printed(m, F::NEXUS);
  EXPECT_NE(text.find("\nE.coli_K_12\t"), std::string::npos);
  EXPECT_NE(text.find("\noutgroup   \t"), std::string::npos);
  EXPECT_NE(text.find("\n           \t"), std::string::npos);
}

TEST(PrintDistMat, EmptyLabelFailsBeforeAnythingIsWritten) {
  const dist_mat_type m = matrix({"a", ""}, {0, 1, 1, 0});
  for (F f : {F::EXTENDED_PHYLIP, F::TAB, F::NEXUS, F::NEXUS_ENCLOSED, F::RAW}) {
    captured_output out;
    EXPECT_THROW(print::print_dist_mat(m, f), range_error);
    EXPECT_EQ(out.text(), "");
  }
  EXPECT_EQ(printed(m, F::PHYLIP), " 2\na         \t 0.00000E+00\t 1.00000E+00\n          \t 1.00000E+00\t 0.00000E+00\n");
  EXPECT_EQ(printed(m, F::ONE_COLUMN), "\ta\t 1.00000E+00\n");
}

TEST(PrintLabel, Layouts) {
  struct {
    const char *label;
    F format;
    std::size_t width;
    const char *text;
  } cases[] = {
      {"Homo sapiens", F::PHYLIP, 3, "Homo sapie"},
      {"Bos", F::PHYLIP, 0, "Bos       "},
      {"Homo sapiens", F::EXTENDED_PHYLIP, 14, "Homo_sapiens  "},
      {"a\tb", F::EXTENDED_PHYLIP, 3, "a\tb"},
      {"abcdef", F::EXTENDED_PHYLIP, 4, "abcd"},
      {"abc", F::EXTENDED_PHYLIP, 0, ""},
      {" ( ) ", F::NEXUS, 6, "      "},
      {"Homo sapiens (human)", F::NEXUS, 19, "Homo_sapiens__human"},
      {"E.coli K-12", F::NEXUS, 11, "E.coli_K_12"},
      {"O'Brien", F::NEXUS_ENCLOSED, 10, "'O`Brien' "},
      {"abc", F::NEXUS_ENCLOSED, 3, "'ab"},
      {"  lead", F::TAB, 1, "  lead"},
      {"a long label", F::ONE_COLUMN, 2, "a long label"},
      {"raw\tlabel", F::RAW, 0, "raw\tlabel"},
  };
  for (const auto &c : cases) EXPECT_EQ(label_text(c.label, c.format, c.width), c.text) << c.label;
}

TEST(PrintLabel, CharacterLayoutsMatchTheirDistanceTwins) {
  captured_output out;
  print::print_label("a b", char_format_type::COMMENTED_PHYLIP, 4);
  print::print_label("a b", char_format_type::PHYLIP, 4);
  print::print_label("a'b", char_format_type::NEXUS_ENCLOSED, 6);
  print::print_label("a'b", char_format_type::NEXUS, 4);
  EXPECT_EQ(out.text(), "a_b a b       'a`b' a_b ");
}

TEST(Labels, ToNexusLabelAndMaxLength) {
  EXPECT_EQ(print::to_nexus_label("Homo sapiens (human)"), "Homo_sapiens__human");
  EXPECT_EQ(print::to_nexus_label("E.coli K-12"), "E.coli_K_12");
  EXPECT_EQ(print::to_nexus_label("'()'"), "");
  EXPECT_EQ(print::to_nexus_label("\xe9t\xe9"), "\xe9t\xe9");

  tax_lab_type labels(3);
  labels[0].assign("ab");
  labels[1].assign("abc ");
  labels[2].assign("a");
  EXPECT_EQ(print::max_label_length(labels), 4u);
  EXPECT_EQ(print::max_label_length(tax_lab_type(0)), 1u);
  labels[1].clear();
  EXPECT_THROW(print::max_label_length(labels), range_error);
}

} // namespace
