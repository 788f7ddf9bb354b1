// Helpers for feeding text to the readers and collecting what the writers write.
#pragma once

#include "case_table.hpp"
#include "phylo/io.hpp"
#include "phylo/phylip.hpp"

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace phylo::test {

// Makes a text the current input for the lifetime of the object.
struct text_input {
  explicit text_input(std::string_view text) : source(input_source::from_text(text)), scope(source) {}
  input_source source;
  scoped_input scope;
};

// Collects the current output; text() flushes and returns everything written so far.
struct captured_output {
  captured_output() : sink(output_sink::to_string()), scope(sink) {}
  const std::string &text() { return sink.text(); }
  output_sink sink;
  scoped_output scope;
};

// One matrix of a text, read by karvel's strict reader.
inline dist_mat_type read_matrix(std::string_view text, dist_format_type format) {
  text_input in(text);
  dist_mat_type m(static_cast<std::size_t>(read::read_dist_header(format)));
  read::read_dist_mat(format, m);
  return m;
}

// A matrix of n taxa t0, t1, ... whose cell (i, j) is cell(i, j).
template <class Cell> dist_mat_type matrix_of(std::size_t n, Cell cell) {
  dist_mat_type m(n);
  for (std::size_t i = 0; i < n; ++i) {
    m.labels[i] = "t" + std::to_string(i);
    for (std::size_t j = 0; j < n; ++j) m.distances(i, j) = cell(i, j);
  }
  return m;
}

// Progress through a hook: run(hook) runs the work with a hook of (done, total). With a hook
// that listens, it must hear counts of `total` that never fall, the last of them `total` (and,
// where the work is told on the way, some before); with one that throws at its first call, the
// exception must come out of run, the hook called once. What the listening hook heard is
// returned.
template <class Run> std::vector<std::uint64_t> expect_progress(Run run, std::uint64_t total, bool on_the_way = true) {
  std::vector<std::uint64_t> heard;
  run([&](std::uint64_t done, std::uint64_t all) {
    EXPECT_EQ(all, total);
    EXPECT_TRUE(heard.empty() || done >= heard.back()) << done << " after " << heard.back();
    heard.push_back(done);
  });
  EXPECT_TRUE(!on_the_way || std::any_of(heard.begin(), heard.end(), [&](std::uint64_t d) {
    return d > 0 && d < total;
  })) << "no progress heard before the end";
  EXPECT_EQ(heard.empty() ? 0 : heard.back(), total);
  struct stopped {};
  int calls = 0;
  EXPECT_THROW(run([&](std::uint64_t, std::uint64_t) {
                 ++calls;
                 throw stopped{};
               }),
               stopped);
  EXPECT_EQ(calls, 1);
  return heard;
}

// The labels and cells of a matrix, a row a line: "label: cell cell ...".
inline std::string cells_text(const dist_mat_type &m) {
  std::ostringstream out;
  for (std::size_t i = 0; i < m.n_tax(); ++i) {
    out << m.labels[i] << ":";
    for (std::size_t j = 0; j < m.n_tax(); ++j) out << " " << m.distances(i, j);
    out << "\n";
  }
  return out.str();
}

// The probe of the recognising reader, dist LAYOUT SHAPE TEXT (as the command line names them,
// or auto): the layout and shape it took, then every matrix it reads; a refusal gives its line,
// column and message, and what it cannot decide, the reason and the shapes that fit.
inline std::string read_dist_text(const std::vector<std::string> &a) {
  using read::dist_layout_type;
  const char *layouts[] = {"auto", "phylip", "relaxed", "tsv", "nexus", "csv", "pairs", "mega"};
  const char *reasons[] = {"layout", "labels", "shape"};
  input_source source = input_source::from_text(a[2]);
  read::dist_reader reader(
      source,
      {named<dist_layout_type>(a[0], {"auto", "phylip", "relaxed", "tsv", "nexus", "csv", "pairs", "mega"}),
       named<read::dist_shape_type>(a[1], {"auto", "square", "lower", "lower-diagonal", "upper", "upper-diagonal"})});
  std::string out;
  try {
    while (dist_mat_access m = reader.next()) out += cells_text(*m);
  } catch (const read::undecided_error &e) {
    return std::string("undecided ") + reasons[static_cast<int>(e.reason)] + " " +
           std::string(read::shape_name(e.shapes[0])) + " " + std::string(read::shape_name(e.shapes[1])) + ": line " +
           std::to_string(e.where()->line) + ":" + std::to_string(e.where()->column) + ": " + e.what();
  } catch (const format_error &e) {
    const input_position at = e.where() ? *e.where() : input_position{};
    return "line " + std::to_string(at.line) + ":" + std::to_string(at.column) + ": " + e.what();
  }
  return layouts[static_cast<int>(reader.layout())] + std::string(" ") + std::string(read::shape_name(reader.shape())) +
         "\n" + out;
}

} // namespace phylo::test
