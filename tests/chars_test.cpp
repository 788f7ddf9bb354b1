// The named character sets and maps, and how a character is shown in a message. The cases are
// in tests/data/lib/chars.cases.
#include "case_table.hpp"
#include "phylo/chars.hpp"

#include <gtest/gtest.h>

namespace {

using namespace phylo;
using args = std::vector<std::string>;

TEST(Chars, Cases) {
  const std::map<std::string, const char_set_type *> sets{{"whitespace", &whitespace},
                                                          {"blackspace", &blackspace},
                                                          {"nuc", &nuc_set},
                                                          {"wide_nuc", &wide_nuc_set},
                                                          {"gapped_nuc", &gapped_nuc_set},
                                                          {"non_gapped_nuc", &non_gapped_nuc_set},
                                                          {"wide_amino", &wide_amino_acids},
                                                          {"word", &word_set},
                                                          {"newick_label", &newick_label_set},
                                                          {"nexus_label", &nexus_label_set},
                                                          {"non_nexus_label", &non_nexus_label_set}};
  const std::map<std::string, const char_map_type *> maps{
      {"nexus_label", &nexus_label_map}, {"newick_label", &newick_label_map}, {"word", &word_map},
      {"good_gaps", &good_gaps},         {"good_comment", &good_comment},     {"no_space", &no_space}};
  test::run_cases("chars.cases",
                  {{"in", // SET TEXT: + for each character of TEXT in the set, - for the others
                    [&](const args &a) {
                      std::string out;
                      for (char c : a[1]) out += sets.at(a[0])->contains(static_cast<unsigned char>(c)) ? '+' : '-';
                      return out;
                    }},
                   {"map", [&](const args &a) { return phylo::apply(*maps.at(a[0]), a[1]); }},
                   {"describe", [](const args &a) { return describe_char(std::stoi(a[0])); }},
                   {"quote", [](const args &a) { return quote_text(a[0]); }}});
  EXPECT_EQ(quote_text(std::string_view("ab\x80", 2)), "'ab'"); // what follows the text is not looked at
}

} // namespace
