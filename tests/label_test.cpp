// Labels read and written in every layout, and the forms in which layouts write them.
#include "phylo/label.hpp"
#include "phylo/number.hpp"
#include "test_io.hpp"
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace phylo;
using phylo::test::captured_output;
using phylo::test::text_input;
using F = dist_format_type;

std::string label_text(std::string_view label, F format, std::size_t width) {
  captured_output out;
  print::print_label(label, format, width);
  return out.text();
}

TEST(Labels, EachLayout) {
  {
    text_input in("Homo sapiens 0.1\nBos\n taurus0.2");
    EXPECT_EQ(read::read_label(label_format_type::PHYLIP), "Homo sapie");
    EXPECT_THROW(read::read_real(), format_error); // "ns" follows the ten characters
  }
  {
    text_input in("Bos\ntaurus 0.2");
    EXPECT_EQ(read::read_label(label_format_type::PHYLIP), "Bostaurus ");
  }
  {
    text_input in("\n\n  Homo_sapiens\t0.1");
    EXPECT_EQ(read::read_label(label_format_type::EXTENDED_PHYLIP), "Homo_sapiens");
  }
  {
    text_input in("t1 [a note] 0 1");
    EXPECT_EQ(read::read_label(label_format_type::COMMENTED_PHYLIP), "t1");
    EXPECT_EQ(read::read_label(label_format_type::EXTENDED_PHYLIP), "note]");
  }
  {
    text_input in("\t\tHomo sapiens (human)\t0.1");
    EXPECT_EQ(read::read_label(label_format_type::TAB_SEPARATED), "Homo sapiens (human)");
    EXPECT_EQ(read::read_real(), 0.1f);
  }
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

// How each layout writes a label, and how two written labels compare.
TEST(Labels, AsWrittenAndAsCompared) {
  struct {
    const char *label;
    label_form_type form;
    const char *written, *compared;
  } cases[] = {
      {" Homo sapiens", label_form_type::PHYLIP, "Homo sapi", "Homo sapi"},
      {"Beta gamma", label_form_type::NO_BLANK, "Beta_gamma", "Beta_gamma"},
      {"(outgroup) b", label_form_type::NEXUS_CLEANED, "outgroup__b", "OUTGROUP__B"},
      {"O'Brien", label_form_type::NEXUS_ENCLOSED, "O`Brien", "O`BRIEN"},
      {"x y", label_form_type::NEXUS_QUOTED, "x y", "X Y"},
      {" x ", label_form_type::AS_STORED, " x ", " x "},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(label_as_written(c.label, c.form), c.written) << c.label;
    EXPECT_EQ(label_as_compared(c.label, c.form), c.compared) << c.label;
  }
  EXPECT_EQ(trim_phylip_label("  Bos tau  "), "Bos tau");
  EXPECT_EQ(trim_phylip_label("          "), "");
}

} // namespace
