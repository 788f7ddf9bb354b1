// The PHYLIP family: karvel's strict reader and writer, and the recognising reader of phylo
// convert, which tells the layout and the shape from the text. The cases are in
// tests/data/lib/phylip.cases; the layouts as written are compared whole by the command-line
// cases.
#include "case_table.hpp"
#include "phylo/csv.hpp"
#include "phylo/io.hpp"
#include "phylo/mega.hpp"
#include "phylo/nexus.hpp"
#include "phylo/pairs.hpp"
#include "phylo/phylip.hpp"
#include "phylo/words.hpp"
#include "test_io.hpp"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace phylo;
using phylo::test::text_input;
using F = dist_format_type;

// strict FORMAT TEXT: one matrix read by karvel's reader, "(more)" when the input goes on.
std::string read_strict(const std::vector<std::string> &a) {
  const F format = test::named<F>(a[0], {"P", "X", "T", "N", "C", "O", "R"});
  text_input in(a[1]);
  dist_mat_type m(static_cast<std::size_t>(read::read_dist_header(format)));
  read::read_dist_mat(format, m);
  return test::cells_text(m) + (read::at_end() ? "" : "(more)");
}

std::string layout(const std::vector<std::string> &a) {
  const char *names[] = {"auto", "phylip", "relaxed", "tsv", "nexus", "csv", "pairs", "mega"};
  input_source in = input_source::from_text(a[0]);
  const std::string name = names[static_cast<int>(read::recognise_layout(in))];
  return in.offset() == 0 ? name : name + " (consumed)";
}

// limit READER TEXT: the taxa that the reader (csv, pairs or mega) reads under a limit of 2.
std::string limit(const std::vector<std::string> &a) {
  input_source in = input_source::from_text(a[1]);
  const dist_mat_access m = a[0] == "csv"     ? read::read_csv_dist_mat(in, 2)
                            : a[0] == "pairs" ? read::read_pairs_dist_mat(in, 3, std::nullopt, 2)
                                              : read::read_mega_dist_mat(in, 2);
  return std::to_string(m->n_tax());
}

// write WRITER LABELS: two taxa at 0.25 labelled LABELS (a '|' between them) as WRITER writes
// them: karvel's writer in its layouts (P X T N C O R, lower-P and lower-X for the lower
// triangle), csv, pairs, mega or nexus, called without a number of digits. "(form)" follows
// when a label is not in the text as the writer's label form gives it (what the label checks
// judge by; NEXUS's quoted form is the label's content, not its quoted text); after a refusal,
// how much was written before it.
std::string write(const std::vector<std::string> &a) {
  dist_mat_type m(2);
  const std::size_t bar = a[1].find('|');
  m.labels[0] = a[1].substr(0, bar), m.labels[1] = a[1].substr(bar + 1);
  m.distances(0, 1) = m.distances(1, 0) = 0.25f;
  output_sink out = output_sink::to_string();
  const std::string &w = a[0];
  const bool lower = w.starts_with("lower-");
  const F f = test::named<F>(lower ? w.substr(6) : w, {"P", "X", "T", "N", "C", "O", "R"});
  label_form_type form = print::label_form(f);
  try {
    if (w == "csv") form = print::csv_label_form, print::print_csv_dist_mat(out, m);
    else if (w == "pairs") form = print::pairs_label_form, print::print_pairs_dist_mat(out, m);
    else if (w == "mega") form = print::mega_label_form, print::print_mega_dist_mat(out, m);
    else if (w == "nexus") form = print::nexus_label_form, print::print_nexus_dist_mat(out, m);
    else if (lower) print::print_lower_dist_mat(out, m, f);
    else print::print_dist_mat(out, m, f);
  } catch (const error &e) {
    return std::string("!") + e.kind() + " after " + std::to_string(out.text().size()) + " bytes";
  }
  std::string text = out.take_text();
  for (const std::string &label : m.labels)
    if (f != F::RAW && w != "nexus" && text.find(label_as_written(label, form)) == std::string::npos) text += "(form)";
  return text;
}

TEST(Phylip, Cases) {
  test::run_cases("phylip.cases", {{"strict", read_strict},
                                   {"dist", test::read_dist_text},
                                   {"layout", layout},
                                   {"limit", limit},
                                   {"write", write}});
}

TEST(DistMat, FastForm) {
  {
    text_input in("2\nA 0 1\nB 2 0\n");
    ASSERT_EQ(read::read_dist_header(F::EXTENDED_PHYLIP), 2);
    fast_dist_mat_type m(2, 5);
    m.distances[4] = 9.0f;
    read::read_fast_dist_mat(F::EXTENDED_PHYLIP, m);
    EXPECT_EQ(m.labels[1], "B");
    EXPECT_EQ(m.distances[2], 2.0f);
    EXPECT_EQ(m.distances[4], 9.0f);
  }
  text_input in("A 0 1\nB 2 0\n");
  fast_dist_mat_type m(2, 3);
  EXPECT_THROW(read::read_fast_dist_mat(F::EXTENDED_PHYLIP, m), range_error);
  EXPECT_EQ(m.distances[2], 2.0f); // the cells that fit were read
}

TEST(DistMat, FormatOutsideItsEnumeration) {
  text_input in("1\nA 0\n");
  EXPECT_THROW(read::read_dist_header(static_cast<F>(9)), range_error);
  dist_mat_type m(1);
  EXPECT_THROW(read::read_dist_mat(static_cast<F>(-1), m), range_error);
}

} // namespace

// Strict PHYLIP whose labels hold blanks from a later row on, after first rows that read alike
// with label words: in every shape, with rows on one line or continued on further lines, each
// later row that holds such a label reads as PHYLIP reads it; the same text with a label word
// too long for 10 characters in that row reads as label words.
TEST(RecognisedPhylip, LabelsWithBlanksInALaterRow) {
  const read::dist_shape_type shapes[] = {read::dist_shape_type::SQUARE, read::dist_shape_type::LOWER,
                                          read::dist_shape_type::LOWER_DIAGONAL, read::dist_shape_type::UPPER,
                                          read::dist_shape_type::UPPER_DIAGONAL};
  int cases = 0;
  for (read::dist_shape_type shape : shapes)
    for (std::size_t n : {4, 5, 7})
      for (std::size_t per_line : {0, 2, 3}) // values per line; 0: a row on one line (with one a line, the
                                             // shape is open)
        for (std::size_t late = 3; late < n; ++late) {
          dist_mat_type expected(n);
          std::string text = "    " + std::to_string(n) + "\n";
          for (std::size_t i = 0; i < n; ++i) {
            expected.labels[i] = i == late ? "T" + std::to_string(i) + " x" : "Taxon" + std::to_string(i);
            text += expected.labels[i] + std::string(10 - expected.labels[i].size(), ' ');
            std::size_t first = 0, count = n;
            switch (shape) {
            case read::dist_shape_type::LOWER: count = i; break;
            case read::dist_shape_type::LOWER_DIAGONAL: count = i + 1; break;
            case read::dist_shape_type::UPPER: first = i + 1, count = n - i - 1; break;
            case read::dist_shape_type::UPPER_DIAGONAL: first = i, count = n - i; break;
            default: break;
            }
            for (std::size_t k = 0; k < count; ++k) {
              if (per_line && k > 0 && k % per_line == 0) text += "\n ";
              const std::size_t j = first + k;
              text += " " + std::to_string(i == j ? 0 : 10 * std::max(i, j) + std::min(i, j) + 1);
            }
            text += "\n";
            for (std::size_t j = 0; j < n; ++j)
              expected.distances(i, j) = i == j ? 0.0f : static_cast<float>(10 * std::max(i, j) + std::min(i, j) + 1);
          }
          const std::string what = std::string(read::shape_name(shape)) + " n " + std::to_string(n) + " per line " +
                                   std::to_string(per_line) + " blank in row " + std::to_string(late + 1) + "\n" + text;
          const std::string got = test::read_dist_text({"auto", "auto", text});
          EXPECT_EQ(got.substr(got.find('\n') + 1), test::cells_text(expected)) << what;
          ++cases;
        }
  EXPECT_GT(cases, 100);
}

// The rows of a large matrix read on several threads: the same matrices, or the same error at
// the same position, as on one thread, whatever the rows hold after the first megabyte (a blank
// line, a row continued on the next line, a bad value, another matrix, CRLF line ends).
TEST(RecognisedPhylip, RowsOnThreadsReadAsOnOne) {
  // Tab-separated, or relaxed PHYLIP rows, whose square reading leaves labels with blanks
  // open as long as no label reads as a number.
  auto matrix = [](std::size_t n, bool lower, const std::string &eol, char blank = '\t') {
    std::string text = blank == '\t' ? "" : std::to_string(n);
    for (std::size_t i = 0; i < n && blank == '\t'; ++i) text += "\tt" + std::to_string(i);
    text += eol;
    for (std::size_t i = 0; i < n; ++i) {
      text += "t" + std::to_string(i);
      for (std::size_t j = 0; j < (lower ? i : n); ++j)
        text += blank + ("0." + std::to_string(100000 + (i * 7919 + j) % 900000));
      text += eol;
    }
    return text;
  };
  auto read_all = [](const std::string &text, unsigned threads) {
    phylo::test::text_input in(text);
    read::dist_read_settings settings;
    settings.threads = threads;
    std::string out;
    try {
      read::dist_reader reader(phylo::current_input(), settings);
      while (dist_mat_access m = reader.next()) out += test::cells_text(*m);
    } catch (const phylo::error &e) {
      out += std::string(e.kind()) + ": " + e.what();
      if (e.where()) out += " at " + std::to_string(e.where()->line) + ":" + std::to_string(e.where()->column);
    }
    return out;
  };
  const std::string square = matrix(400, false, "\n"), lower = matrix(560, true, "\n");
  // Past the middle, where the last thread reads, and before it, where the lines are counted.
  const std::size_t late = square.size() * 3 / 4, early = square.size() / 4;
  auto at_line = [&](const std::string &text, std::size_t at, const std::string &what) {
    std::string t = text;
    return t.insert(t.find('\n', at) + 1, what);
  };
  // The text with the first `what` at or after `at` made `with`.
  auto replaced = [](std::string t, std::size_t at, const std::string &what, const std::string &with) {
    return t.replace(t.find(what, at), what.size(), with);
  };
  const std::string relaxed = matrix(400, false, "\n", ' ');
  const struct {
    const char *name;
    std::string text;
    bool error;
  } cases[] = {
      {"square", square, false},
      {"lower", lower, false},
      {"CRLF", matrix(400, false, "\r\n"), false},
      {"relaxed", relaxed, false},
      {"relaxed, a label that reads as a number", replaced(relaxed, 0, "t390 ", "3.90 "), false},
      {"relaxed, a label with blanks late", replaced(relaxed, 0, "t390 ", "t 390 "), true},
      {"two matrices", square + lower, false},
      {"blank line", at_line(square, late, "\n"), false},
      {"blank line in the first part", at_line(square, early, "\n"), false},
      {"continued row in the first part", replaced(square, square.find('\n', early) + 1, "\t", "\n"), false},
      {"continued row", replaced(square, square.find('\n', late) + 1, "\t", "\n"), false},
      {"bad value", replaced(square, late, "\t0.", "\t0x"), true},
      {"a row too many", at_line(square, square.size() - 2, "t400\t0.5\n"), true},
  };
  for (const auto &c : cases) {
    const std::string one = read_all(c.text, 1);
    EXPECT_EQ(one.rfind("format_error", 0) == 0 || one.rfind("range_error", 0) == 0, c.error)
        << c.name << ": " << one.substr(0, 200);
    for (unsigned threads : {2u, 3u})
      EXPECT_EQ(read_all(c.text, threads), one) << c.name << " on " << threads << " threads";
  }
}
