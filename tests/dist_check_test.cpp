// Checks of a matrix before it is written, and making it symmetric. The cases are in
// tests/data/lib/dist_check.cases.
#include "case_table.hpp"
#include "phylo/dist_check.hpp"
#include "phylo/phylip.hpp"
#include "test_io.hpp"

#include <gtest/gtest.h>

namespace {

using namespace phylo;

// check TOLERANCE FORM TSV: each finding as kind(row,column) and its message (kind: 0
// asymmetry, 1 diagonal, 2 duplicate, 3 output label; FORM: a label_form_type by position).
std::string check(const std::vector<std::string> &a) {
  std::string s;
  for (const auto &f : check_dist_mat(test::read_matrix(a[2], dist_format_type::TAB), std::stof(a[0]),
                                      static_cast<label_form_type>(std::stoi(a[1]))))
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

} // namespace
