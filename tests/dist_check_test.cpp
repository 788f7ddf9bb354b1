// Checks of a matrix before it is written, and making it symmetric.
#include "phylo/dist_check.hpp"

#include <gtest/gtest.h>

namespace {

using phylo::finding_kind_type;
using phylo::label_form_type;

phylo::dist_mat_type matrix(std::vector<std::string> labels, std::vector<float> cells) {
  phylo::dist_mat_type m(labels.size());
  for (std::size_t i = 0; i < labels.size(); ++i) m.labels[i] = labels[i];
  for (std::size_t k = 0; k < cells.size(); ++k) m.distances.data()[k] = cells[k];
  return m;
}

std::string kinds(const std::vector<phylo::dist_finding_type> &found) {
  std::string s;
  for (const auto &f : found)
    s += std::to_string(static_cast<int>(f.kind)) + "(" + std::to_string(f.i + 1) + "," + std::to_string(f.j + 1) + ")";
  return s;
}

TEST(CheckDistMat, Findings) {
  const std::vector<float> clean = {0, 1, 2, 1, 0, 3, 2, 3, 0};
  struct {
    const char *name;
    std::vector<std::string> labels;
    std::vector<float> cells;
    float tolerance;
    label_form_type form;
    const char *want; // kind(i,j) of each finding: 0 asymmetry, 1 diagonal, 2 duplicate, 3 output label
  } cases[] = {
      {"clean", {"A", "B", "C"}, clean, 0, label_form_type::AS_STORED, ""},
      {"first asymmetric cell in row order",
       {"A", "B", "C"},
       {0, 1, 2, 1, 0, 3, 2.5f, 3.5f, 0},
       0,
       label_form_type::AS_STORED,
       "0(3,1)"},
      {"asymmetry within the tolerance",
       {"A", "B", "C"},
       {0, 1, 2, 1, 0, 3, 2.25f, 3, 0},
       0.25f,
       label_form_type::AS_STORED,
       ""},
      {"non-zero diagonal", {"A", "B", "C"}, {0, 1, 2, 1, 0.5f, 3, 2, 3, 1}, 0, label_form_type::AS_STORED, "1(2,2)"},
      {"duplicate labels", {"A", "B", "A"}, clean, 0, label_form_type::AS_STORED, "2(1,3)"},
      {"cut to 10 characters alike",
       {"Lambda_longname", "B", "Lambda_longer"},
       clean,
       0,
       label_form_type::PHYLIP,
       "3(1,3)"},
      {"differ only after 10 blanks-trimmed characters",
       {"Alpha", "Alpha     x", "C"},
       clean,
       0,
       label_form_type::PHYLIP,
       "3(1,2)"},
      {"blank and underscore", {"Beta gamma", "Beta_gamma", "C"}, clean, 0, label_form_type::NO_BLANK, "3(1,2)"},
      {"same blank and underscore in a NEXUS quoted label are different",
       {"Beta gamma", "Beta_gamma", "C"},
       clean,
       0,
       label_form_type::NEXUS_QUOTED,
       ""},
      {"case in NEXUS", {"gamma", "B", "Gamma"}, clean, 0, label_form_type::NEXUS_QUOTED, "3(1,3)"},
      {"NEXUS cleaning", {"(A)", "A", "C"}, clean, 0, label_form_type::NEXUS_CLEANED, "3(1,2)"},
      {"NEXUS cleaning to nothing", {"()", "A", "C"}, clean, 0, label_form_type::NEXUS_CLEANED, "3(1,1)"},
      {"apostrophe and grave accent", {"O'B", "O`B", "C"}, clean, 0, label_form_type::NEXUS_ENCLOSED, "3(1,2)"},
      {"every kind at once",
       {"A", "A", "a"},
       {1, 2, 0, 1, 0, 0, 0, 0, 0},
       0,
       label_form_type::NEXUS_QUOTED,
       "0(2,1)1(1,1)2(1,2)3(1,3)"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    auto m = matrix(c.labels, c.cells);
    EXPECT_EQ(kinds(phylo::check_dist_mat(m, c.tolerance, c.form)), c.want);
  }
}

TEST(CheckDistMat, MessagesNameTheCells) {
  auto m = matrix({"A", "Beta gamma"}, {0, 0.25f, 0.5f, 0});
  auto found = phylo::check_dist_mat(m, 0, label_form_type::AS_STORED);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].message, "the matrix is not symmetric: row 2 ('Beta gamma'), column 1 holds 0.5, but row 1, "
                              "column 2 holds 0.25 (tolerance 0)");
}

TEST(SymmetrizeDist, EachWay) {
  const std::vector<float> cells = {9, 1, 2, 4, 9, 3, 6, 8, 9};
  struct {
    phylo::symmetrize_type how;
    std::vector<float> want;
  } cases[] = {
      {phylo::symmetrize_type::LOWER, {9, 4, 6, 4, 9, 8, 6, 8, 9}},
      {phylo::symmetrize_type::UPPER, {9, 1, 2, 1, 9, 3, 2, 3, 9}},
      {phylo::symmetrize_type::MEAN, {9, 2.5f, 4, 2.5f, 9, 5.5f, 4, 5.5f, 9}},
  };
  for (const auto &c : cases) {
    auto m = matrix({"A", "B", "C"}, cells);
    phylo::symmetrize_dist(m, c.how);
    EXPECT_EQ(std::vector<float>(m.distances.data(), m.distances.data() + 9), c.want);
  }
  auto big = matrix({"A", "B"}, {0, 3e38f, 3.4e38f, 0});
  phylo::symmetrize_dist(big, phylo::symmetrize_type::MEAN);
  EXPECT_FLOAT_EQ(big.distances(0, 1), 3.2e38f) << "the mean of two large values does not overflow";
}

} // namespace
