// NEXUS: the TAXA and DISTANCES blocks that the recognising reader reads, and the labels of
// standard NEXUS. The cases are in tests/data/lib/nexus.cases; the texts as written are compared
// whole by the command-line cases. Below them, every form of a DISTANCES matrix, written here
// as NCL and SplitsTree write them, is read back, and interleaved blocks that lack a line are
// refused.
#include "case_table.hpp"
#include "phylo/label.hpp"
#include "phylo/number.hpp"
#include "phylo/phylip.hpp"
#include "test_io.hpp"
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using phylo::read::dist_layout_type;

TEST(Nexus, Cases) {
  phylo::test::run_cases("nexus.cases",
                         {{"dist", phylo::test::read_dist_text},
                          {"quoted", [](const auto &a) { return phylo::print::to_quoted_nexus_label(a[0]); }}});
}

// One way of writing a DISTANCES matrix.
struct matrix_form {
  const char *triangle; // lower, upper, both
  bool diagonal, labels;
  std::size_t width; // the columns of a block of an interleaved matrix; 0: not interleaved
  bool alone;        // a row whose only cell in a block is its diagonal has a line (label or empty)
  const char *eol;   // the line end
  std::size_t n;
};

std::string describe(const matrix_form &f) {
  return std::string(f.triangle) + (f.diagonal ? " diagonal" : " nodiagonal") + (f.labels ? " labels" : " nolabels") +
         " width " + std::to_string(f.width) + (f.alone ? " alone" : "") + " n " + std::to_string(f.n) +
         (f.eol[0] == '\r' ? (f.eol[1] ? " crlf" : " cr") : "");
}

// Cell (i, j) of the test matrix: the diagonal is zero, the rest distinct.
float cell(std::size_t i, std::size_t j) {
  if (i == j) return 0;
  return static_cast<float>(std::max(i, j) * 100 + std::min(i, j) + 1);
}

// The columns that row i holds in a form.
std::vector<std::size_t> columns(const matrix_form &f, std::size_t i) {
  std::vector<std::size_t> c;
  for (std::size_t j = 0; j < f.n; ++j) {
    if (j == i && !f.diagonal) continue;
    const std::string t = f.triangle;
    if ((t == "lower" && j > i) || (t == "upper" && j < i)) continue;
    c.push_back(j);
  }
  return c;
}

// The lines of the matrix, each with whether it holds values.
std::vector<std::pair<std::string, bool>> matrix_lines(const matrix_form &f) {
  std::vector<std::pair<std::string, bool>> lines;
  auto label = [&](std::size_t i) { return f.labels ? "'t " + std::to_string(i + 1) + "'" : std::string(); };
  auto values = [&](std::size_t i, std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t j : columns(f, i))
      if (j >= from && j < to) text += " " + phylo::print::shortest_decimal(cell(i, j));
    return text;
  };
  if (f.width == 0) {
    for (std::size_t i = 0; i < f.n; ++i) {
      const std::string v = values(i, 0, f.n);
      lines.emplace_back(label(i) + v, !v.empty());
    }
    return lines;
  }
  for (std::size_t from = 0; from < f.n; from += f.width) {
    const std::size_t to = std::min(f.n, from + f.width);
    for (std::size_t i = 0; i < f.n; ++i) {
      const std::string v = values(i, from, to);
      if (!v.empty() || (f.alone && i >= from && i < to)) lines.emplace_back(label(i) + v, !v.empty());
    }
    if (f.alone) lines.emplace_back("", false); // blocks apart, or not
  }
  return lines;
}

std::string nexus_text(const matrix_form &f, const std::vector<std::pair<std::string, bool>> &lines,
                       std::size_t left_out = SIZE_MAX) {
  std::string text =
      std::string("#NEXUS") + f.eol + "begin taxa; dimensions ntax=" + std::to_string(f.n) + ";" + f.eol + "taxlabels";
  for (std::size_t i = 0; i < f.n; ++i) text += " 't " + std::to_string(i + 1) + "'";
  text += std::string(";") + f.eol + "end;" + f.eol + "begin distances;" + f.eol + "format triangle=" + f.triangle +
          (f.diagonal ? " diagonal" : " nodiagonal") + (f.labels ? " labels" : " nolabels") +
          (f.width ? " interleave" : "") + ";" + f.eol + "matrix" + f.eol;
  for (std::size_t k = 0; k < lines.size(); ++k)
    if (k != left_out) text += lines[k].first + f.eol;
  return text + ";" + f.eol + "end;" + f.eol;
}

std::string read_back(const std::string &text) {
  phylo::input_source in = phylo::input_source::from_text(text);
  phylo::read::dist_reader reader(in, {dist_layout_type::NEXUS});
  const phylo::dist_mat_access m = reader.next();
  return phylo::test::cells_text(*m);
}

// Every form the FORMAT command states, interleaved in blocks of every width, with or without
// the lines of rows whose only cell in a block is the diagonal, with every line end, reads as
// the matrix; an interleaved text that lacks a line that holds values is refused.
TEST(Nexus, EveryFormOfTheMatrix) {
  int forms = 0, refusals = 0;
  for (std::size_t n : {1, 2, 3, 5, 8})
    for (const char *triangle : {"lower", "upper", "both"})
      for (bool diagonal : {true, false})
        for (bool labels : {true, false})
          for (std::size_t width = 0; width <= n; ++width)
            for (bool alone : {false, true})
              for (const char *eol : {"\n", "\r\n", "\r"}) {
                if (width == 0 && alone) continue;
                // Without labels, a block of one column of a matrix of both triangles without its
                // diagonal cannot tell a first row that has no cell in it from one that has.
                if (!labels && !diagonal && width == 1 && std::string(triangle) == "both") continue;
                const matrix_form f{triangle, diagonal, labels, width, alone, eol, n};
                phylo::dist_mat_type expected(n);
                for (std::size_t i = 0; i < n; ++i) {
                  expected.labels[i] = "t " + std::to_string(i + 1);
                  for (std::size_t j = 0; j < n; ++j) expected.distances(i, j) = cell(i, j);
                }
                const auto lines = matrix_lines(f);
                try {
                  EXPECT_EQ(read_back(nexus_text(f, lines)), phylo::test::cells_text(expected)) << describe(f);
                } catch (const phylo::error &e) {
                  ADD_FAILURE() << describe(f) << ": " << e.what() << "\n" << nexus_text(f, lines);
                }
                ++forms;
                if (width == 0 || std::string(eol) != "\n") continue;
                for (std::size_t k = 0; k < lines.size(); ++k) {
                  if (!lines[k].second) continue;
                  const std::string text = nexus_text(f, lines, k);
                  EXPECT_THROW(read_back(text), phylo::format_error) << describe(f) << ", line " << k << " left out\n"
                                                                     << text;
                  ++refusals;
                }
              }
  EXPECT_GT(forms, 1000);
  EXPECT_GT(refusals, 1000);
}

} // namespace
