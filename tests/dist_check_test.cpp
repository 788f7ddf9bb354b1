// Checks of a matrix before it is written, and making it symmetric. The cases are in
// tests/data/lib/dist_check.cases.
#include "case_table.hpp"
#include "phylo/dist_check.hpp"
#include "phylo/phylip.hpp"
#include "test_io.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace phylo;

// check TOLERANCE FORM TSV: each finding as kind(row,column) and its message (kind: a
// finding_kind_type by position; FORM: a label_form_type by position). In the labels, which a
// tab-separated text cannot give a tab or a line end, '~' stands for a tab and '|' for a line
// feed.
std::string check(const std::vector<std::string> &a) {
  dist_mat_type m = test::read_matrix(a[2], dist_format_type::TAB);
  for (std::string &label : m.labels)
    for (char &c : label) c = c == '~' ? '\t' : c == '|' ? '\n' : c;
  std::string s;
  for (const auto &f : check_dist_mat(m, std::stof(a[0]), static_cast<label_form_type>(std::stoi(a[1]))))
    s += std::to_string(static_cast<int>(f.kind)) + "(" + std::to_string(f.i + 1) + "," + std::to_string(f.j + 1) +
         ") " + f.message + "\n";
  return s;
}

// symmetrize HOW TSV (HOW: 0 lower, 1 upper, 2 mean).
std::string symmetrize(const std::vector<std::string> &a) {
  dist_mat_type m = test::read_matrix(a[1], dist_format_type::TAB);
  symmetrize_dist(m, static_cast<symmetrize_type>(std::stoi(a[0])));
  return test::cells_text(m);
}

TEST(DistCheck, Cases) { test::run_cases("dist_check.cases", {{"check", check}, {"symmetrize", symmetrize}}); }

// The first asymmetric cell of matrices of several tiles of rows and columns (the last one
// partial), in row order, against a plain scan: cells changed below or above the diagonal, an
// earlier row whose cell lies in a later tile than a later row's, one within the tolerance; in
// a matrix large enough to be walked on several threads, cells in bands that different
// threads walk, the later band's found first.
TEST(DistCheck, FirstAsymmetryAcrossTiles) {
  struct change {
    std::size_t i, j;
    float by;
  };
  const std::vector<std::vector<change>> cases = {
      {},
      {{150, 3, 0.5f}},
      {{3, 150, 0.5f}},
      {{71, 2, 1.0f}, {70, 65, 1.0f}},
      {{199, 198, 0.25f}},
      {{64, 63, 0.01f}, {130, 0, 1.0f}},
      {{127, 64, 0.5f}, {127, 10, 0.5f}, {128, 0, 0.5f}},
      {{1099, 1098, 0.5f}},
      {{1090, 1, 1.0f}, {700, 699, 1.0f}},
      {{70, 3, 1.0f}, {129, 128, 1.0f}, {1000, 999, 1.0f}},
  };
  for (const std::size_t n : {200, 1100})
    for (const float tolerance : {0.0f, 0.1f})
      for (auto changes : cases) {
        std::erase_if(changes, [n](const change &c) { return c.i >= n || c.j >= n; });
        dist_mat_type m(n);
        for (std::size_t i = 0; i < n; ++i) {
          m.labels[i] = "t" + std::to_string(i);
          for (std::size_t j = 0; j < i; ++j)
            m.distances(i, j) = m.distances(j, i) = static_cast<float>((i * 31 + j) % 97);
        }
        for (const change &c : changes) m.distances(c.i, c.j) += c.by;
        std::string want;
        for (std::size_t i = 0; i < n && want.empty(); ++i)
          for (std::size_t j = 0; j < i && want.empty(); ++j)
            if (std::fabs(static_cast<double>(m.distances(i, j)) - m.distances(j, i)) > tolerance)
              want = "(" + std::to_string(i) + "," + std::to_string(j) + ")";
        std::string got;
        for (const auto &f : check_dist_mat(m, tolerance, label_form_type::AS_STORED))
          if (f.kind == finding_kind_type::ASYMMETRY) got = "(" + std::to_string(f.i) + "," + std::to_string(f.j) + ")";
        EXPECT_EQ(got, want) << "n " << n << ", tolerance " << tolerance << ", " << changes.size() << " changes";
      }
}

} // namespace
