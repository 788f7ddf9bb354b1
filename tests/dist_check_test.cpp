// Checks of a matrix before it is written, and making it symmetric. The cases are in
// tests/data/lib/dist_check.cases.
#include "case_table.hpp"
#include "phylo/dist_check.hpp"
#include "phylo/phylip.hpp"
#include "test_io.hpp"

#include <gtest/gtest.h>

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

} // namespace
