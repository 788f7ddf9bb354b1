// The named character sets and maps.
#include "phylo/chars.hpp"

#include <gtest/gtest.h>

#include <utility>

namespace {

using namespace phylo;

unsigned char u(int c) { return static_cast<unsigned char>(c); }

TEST(CharSets, Classification) {
  for (int c : {0, 31, 127, 159}) {
    EXPECT_TRUE(whitespace.contains(u(c))) << c;
    EXPECT_FALSE(blackspace.contains(u(c))) << c;
  }
  EXPECT_TRUE(newick_label_set.contains(u(160)));
  for (char c : std::string_view("ACGT")) {
    EXPECT_FALSE(nuc_set.contains(c));
    EXPECT_TRUE(wide_nuc_set.contains(c));
  }
  for (char c : std::string_view("uU.")) EXPECT_FALSE(wide_nuc_set.contains(c)) << c;
  EXPECT_TRUE(gapped_nuc_set.contains('-'));
  EXPECT_TRUE(non_gapped_nuc_set.contains('A'));
  EXPECT_TRUE(wide_amino_acids.contains('*'));
  EXPECT_FALSE(wide_amino_acids.contains('B'));
  EXPECT_TRUE(word_set.contains(u(233)));
  EXPECT_FALSE(word_set.contains(u(215))); // the multiplication sign is no letter
  EXPECT_EQ(non_nexus_label_set, ~nexus_label_set);
}

TEST(CharMaps, Replacements) {
  EXPECT_EQ(nexus_label_map('-'), '_');
  EXPECT_EQ(nexus_label_map('\''), '_');
  EXPECT_EQ(nexus_label_map(' '), '_');
  EXPECT_EQ(nexus_label_map('.'), '.');
  EXPECT_EQ(nexus_label_map('\xe9'), '\xe9');
  EXPECT_EQ(nexus_label_map('7'), '7');
  EXPECT_EQ(newick_label_map('['), '[');
  EXPECT_EQ(newick_label_map(':'), '_');
  EXPECT_EQ(word_map('.'), '_');
  EXPECT_EQ(word_map('_'), '_');
  EXPECT_EQ(word_map('\xe9'), '\xe9');
  EXPECT_EQ(apply(good_gaps, "a.c-"), "a-c-");
  EXPECT_EQ(apply(good_comment, "[x] {y}"), "{x} {y}");
  EXPECT_EQ(apply(no_space, " a b\t"), "_a_b\t");
}

TEST(Chars, DescribedInMessages) {
  const std::pair<int, const char *> cases[] = {{'x', "'x'"},           {' ', "a blank"},
                                                {'\t', "a tab"},        {'\r', "a carriage return"},
                                                {'\n', "the line end"}, {-1, "the end of the input"},
                                                {1, "\\x01"},           {0xE9, "\\xE9"}};
  for (const auto &[c, text] : cases) EXPECT_EQ(describe_char(c), text) << c;
}

} // namespace
