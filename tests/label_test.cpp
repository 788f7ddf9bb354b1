// Labels read and written in every layout, and the forms in which layouts write and compare
// them. The cases are in tests/data/lib/label.cases.
#include "case_table.hpp"
#include "phylo/label.hpp"
#include "test_io.hpp"
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace phylo;
using args = std::vector<std::string>;

// Layouts by letter: label_format_type P X K T, dist_format_type P X T N C O R,
// char_format_type cP cX cN cC cK.
std::string read_label(const args &a) {
  test::text_input in(a[1]);
  const std::string label = read::read_label(test::named<label_format_type>(a[0], {"P", "X", "K", "T"}));
  return label + "|" + std::string(in.source.buffered());
}

std::string print_label(const args &a) {
  test::captured_output out;
  const std::size_t width = std::stoul(a[1]);
  if (a[0][0] == 'c')
    print::print_label(a[2], test::named<char_format_type>(a[0], {"cP", "cX", "cN", "cC", "cK"}), width);
  else print::print_label(a[2], test::named<dist_format_type>(a[0], {"P", "X", "T", "N", "C", "O", "R"}), width);
  return out.text();
}

std::string forms(const args &a) {
  const auto form = static_cast<label_form_type>(std::stoi(a[0]));
  return label_as_written(a[1], form) + "|" + label_as_compared(a[1], form);
}

TEST(Label, Cases) {
  test::run_cases("label.cases", {{"read", read_label},
                                  {"print", print_label},
                                  {"forms", forms},
                                  {"nexus", [](const args &a) { return print::to_nexus_label(a[0]); }},
                                  {"trim", [](const args &a) { return std::string(trim_phylip_label(a[0])); }}});
}

TEST(Label, MaxLength) {
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
