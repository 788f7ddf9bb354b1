// Lower triangles and standard NEXUS.
#include "phylo/phylo.hpp"

#include "test_io.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

phylo::dist_mat_type matrix(std::initializer_list<const char *> labels, std::initializer_list<float> cells) {
  phylo::dist_mat_type m(labels.size());
  std::size_t i = 0;
  for (const char *l : labels) m.labels[i++] = l;
  std::size_t k = 0;
  for (float v : cells) m.distances.data()[k++] = v;
  return m;
}

TEST(PrintLower, PhylipAndRelaxed) {
  const auto m = matrix({"Alpha", "Beta gamma", "Lambda_longname"}, {0, 0.25f, 1, 0.25f, 0, 123.456f, 1, 123.456f, 0});
  {
    phylo::test::captured_output out;
    phylo::print::print_lower_dist_mat(m, phylo::dist_format_type::PHYLIP);
    EXPECT_EQ(out.text(), " 3\n"
                          "Alpha     \n"
                          "Beta gamma\t 2.50000E-01\n"
                          "Lambda_lon\t 1.00000E+00\t 1.23456E+02\n");
  }
  {
    phylo::test::captured_output out;
    phylo::print::print_lower_dist_mat(m, phylo::dist_format_type::EXTENDED_PHYLIP);
    EXPECT_EQ(out.text(), " 3\n"
                          "Alpha          \n"
                          "Beta_gamma     \t 2.50000E-01\n"
                          "Lambda_longname\t 1.00000E+00\t 1.23456E+02\n");
  }
  phylo::test::captured_output out;
  EXPECT_THROW(phylo::print::print_lower_dist_mat(m, phylo::dist_format_type::TAB), phylo::range_error);
  auto empty = matrix({"A", ""}, {0, 1, 1, 0});
  EXPECT_THROW(phylo::print::print_lower_dist_mat(empty, phylo::dist_format_type::EXTENDED_PHYLIP), phylo::range_error);
  EXPECT_EQ(out.text(), "");
}

TEST(PrintNexus, QuotedLabels) {
  struct {
    const char *label, *word;
  } cases[] = {
      {"Alpha", "Alpha"},           {"E.coli", "E.coli"},         {"Beta gamma", "'Beta gamma'"},
      {"O'Brien", "'O''Brien'"},    {"Lambda_x", "'Lambda_x'"},   {"K-12", "'K-12'"},
      {"", "''"},                   {"a[1]", "'a[1]'"},           {"tab\there", "'tab\there'"},
  };
  for (const auto &c : cases) EXPECT_EQ(phylo::print::to_quoted_nexus_label(c.label), c.word) << c.label;
}

TEST(PrintNexus, PlainDecimals) {
  struct {
    float v;
    const char *text;
  } cases[] = {
      {0.25f, "0.25"},     {0.0f, "0"},         {-0.0f, "0"},          {120.0f, "120"},
      {1e-7f, "0.0000001"}, {0.1f, "0.1"},      {0.155635f, "0.155635"}, {1e20f, "100000000000000000000"},
  };
  for (const auto &c : cases) {
    char buf[64];
    EXPECT_EQ(std::string(buf, phylo::print::write_plain_decimal(c.v, buf)), c.text) << c.v;
  }
  char buf[64];
  const float largest = std::numeric_limits<float>::max();
  std::string text(buf, phylo::print::write_plain_decimal(largest, buf));
  EXPECT_EQ(text, "340282350000000000000000000000000000000");
  const float tiny = std::numeric_limits<float>::denorm_min();
  text.assign(buf, phylo::print::write_plain_decimal(tiny, buf));
  EXPECT_EQ(text.find_first_of("eE+"), std::string::npos);
  EXPECT_EQ(std::strtof(text.c_str(), nullptr), tiny);
}

TEST(PrintNexus, WholeText) {
  const auto m = matrix({"Alpha", "Beta gamma"}, {0, 0.25f, 0.25f, 0});
  phylo::test::captured_output out;
  phylo::print::print_nexus_dist_mat(m);
  EXPECT_EQ(out.text(), "#NEXUS\n"
                        "\n"
                        "begin taxa;\n"
                        "\tdimensions ntax=2;\n"
                        "\ttaxlabels\n"
                        "\t\tAlpha\n"
                        "\t\t'Beta gamma'\n"
                        "\t;\n"
                        "end;\n"
                        "\n"
                        "begin distances;\n"
                        "\tdimensions ntax=2;\n"
                        "\tformat triangle=lower diagonal labels missing=?;\n"
                        "\tmatrix\n"
                        "\t\tAlpha\t0\n"
                        "\t\t'Beta gamma'\t0.25\t0\n"
                        "\t;\n"
                        "end;\n");
}

} // namespace
