// The PHYLIP family: karvel's strict reader and writer, and the recognising reader of phylo
// convert, which tells the layout and the shape from the text.
#include "phylo/io.hpp"
#include "phylo/nexus.hpp"
#include "phylo/phylip.hpp"
#include "phylo/words.hpp"
#include "test_io.hpp"
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace phylo;
using phylo::test::text_input;

// Reads one matrix in a layout and returns its labels and cells as text, or the error kind.
std::string read_matrix(const std::string &text, dist_format_type format) {
  text_input in(text);
  try {
    int n = read::read_dist_header(format);
    dist_mat_type m(static_cast<std::size_t>(n));
    read::read_dist_mat(format, m);
    std::string out;
    for (std::size_t i = 0; i < m.n_tax(); ++i) {
      out.append("[").append(m.labels[i]).append("]");
      for (std::size_t j = 0; j < m.n_tax(); ++j) out.append(" ").append(std::to_string(m.distances(i, j)));
      out.append("\n");
    }
    if (!read::at_end()) out += "(more)";
    return out;
  } catch (const phylo::error &e) {
    return e.kind();
  }
}

TEST(DistMat, Layouts) {
  using F = dist_format_type;
  struct {
    const char *text;
    F format;
    const char *expected;
  } cases[] = {
      // PHYLIP: labels are exactly ten characters, blanks included.
      {"3\nAlpha     0 1 2\nBeta gamma1 0 3\nG         2 3 0\n", F::PHYLIP,
       "[Alpha     ] 0.000000 1.000000 2.000000\n[Beta gamma] 1.000000 0.000000 3.000000\n[G         ] 2.000000 "
       "3.000000 0.000000\n"},
      {" 2 taxa\nAb0.5 0.5 0.5 0.5 0.5\n0.5 0.75 0.7\n", F::PHYLIP, "format_error"},
      {"2\nAb   0.5  0 1\nCd        1 0\n", F::PHYLIP,
       "[Ab   0.5  ] 0.000000 1.000000\n[Cd        ] 1.000000 0.000000\n"},
      // Extended PHYLIP: a word of any length; rows may run over several lines.
      {"\n\n 2\nA_long_label 0\n 0.5\nB 0.5 0 trailing words\n", F::EXTENDED_PHYLIP,
       "[A_long_label] 0.000000 0.500000\n[B] 0.500000 0.000000\n"},
      {"2\nHomo sapiens 0 1\nB 1 0\n", F::EXTENDED_PHYLIP, "format_error"},
      {"2\nA 0 1\nB 1 0", F::EXTENDED_PHYLIP, "[A] 0.000000 1.000000\n[B] 1.000000 0.000000\n"},
      {"2\r\nA 0 1\r\nB 1 0\r\n", F::EXTENDED_PHYLIP, "[A] 0.000000 1.000000\n[B] 1.000000 0.000000\n"},
      {"2\nA 0\r\n 1\nB 1 0\n", F::EXTENDED_PHYLIP, "format_error"},
      {"2\nA 0 1\nB 1", F::EXTENDED_PHYLIP, "end_of_input"},
      {"2\nA 0 -0.5\nB 1 0\n", F::EXTENDED_PHYLIP, "range_error"},
      {"2\nA 0 -0\nB 1 0\n", F::EXTENDED_PHYLIP, "[A] 0.000000 -0.000000\n[B] 1.000000 0.000000\n"},
      {"2\nA 0 -1e-50\nB 1 0\n", F::EXTENDED_PHYLIP, "[A] 0.000000 -0.000000\n[B] 1.000000 0.000000\n"},
      {"2\nA 0 -1e-40\nB 1 0\n", F::EXTENDED_PHYLIP, "range_error"},
      {"2\nA 0 1e39\nB 1 0\n", F::EXTENDED_PHYLIP, "format_error"},
      {"2\nA 0,5 0\nB 1 0\n", F::EXTENDED_PHYLIP, "format_error"},
      // A row's last number ends at a blank, a tab, a carriage return, a line end or the end.
      {"2\nA 0 0,5\nB 1 0\n", F::EXTENDED_PHYLIP, "format_error"},
      {"2\nA 0 1\nB 1 0.25.3\n", F::EXTENDED_PHYLIP, "format_error"},
      {"2\nA 0\n 0x1p3\nB 1 0\n", F::EXTENDED_PHYLIP, "format_error"},
      {"1\nA 1.5abc", F::EXTENDED_PHYLIP, "format_error"},
      {"2\nA         0 1\nB         1 0;\n", F::PHYLIP, "format_error"},
      {"\tA\tB\nA\t0\t1,5\nB\t1\t0\n", F::TAB, "format_error"},
      {"2\nA 0 1\tnote\nB 1 0\r\n", F::EXTENDED_PHYLIP, "[A] 0.000000 1.000000\n[B] 1.000000 0.000000\n"},
      {"1\nA 0\n\n1\nB 0\n", F::EXTENDED_PHYLIP, "[A] 0.000000\n(more)"},
      // Every non-TAB format other than PHYLIP reads rows as extended PHYLIP.
      {"1\nA_b 7\n", F::NEXUS, "[A_b] 7.000000\n"},
      {"1\nA_b 7\n", F::RAW, "[A_b] 7.000000\n"},
      // Header counts.
      {"5 taxa\n", F::EXTENDED_PHYLIP, "end_of_input"},
      {"0\n", F::EXTENDED_PHYLIP, "range_error"},
      {"5001\n", F::PHYLIP, "range_error"},
      {"-3\n", F::PHYLIP, "range_error"},
      {"+1\nA 0\n", F::EXTENDED_PHYLIP, "[A] 0.000000\n"},
      {"1\nA 0\n", F::PHYLIP, "end_of_input"}, // the label takes in "A 0" and runs out
      {"taxa 5\n", F::EXTENDED_PHYLIP, "format_error"},
      {"4294967297\n", F::EXTENDED_PHYLIP, "format_error"},
      // Tab-separated: the header's tabs count the taxa, labels keep their blanks.
      {"\tA a\tB b\nA a\t0\t0.5\nB b\t0.5\t0\n", F::TAB, "[A a] 0.000000 0.500000\n[B b] 0.500000 0.000000\n"},
      {"\tA\tB\n\t0\t0.5\nB\t0.5\t0\n", F::TAB, "format_error"}, // an empty label cell: "0" becomes the label
      {"no tabs here\nA\t0\n", F::TAB, "range_error"},
      {"\n\tA\nA\t0\n", F::TAB, "range_error"},
      {"\tA\nA\t0\n\n\tB\nB\t0\n", F::TAB, "[A] 0.000000\n(more)"},
  };
  for (const auto &c : cases) EXPECT_EQ(read_matrix(c.text, c.format), c.expected) << c.text;
}

TEST(DistMat, TabHeaderOfAnyLength) {
  // 5000 labels of 20 characters make a header line far beyond 10000 characters.
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "\ttaxon_with_long_name";
  text += "\n";
  text_input in(text);
  EXPECT_EQ(read::read_dist_header(dist_format_type::TAB), 5000);
  EXPECT_TRUE(read::at_end());
}

TEST(DistMat, TwoMatricesInOneInput) {
  text_input in("1\nA 0\n\n\n2\nB 0 1\nC 1 0\n\n");
  std::string labels;
  while (!read::at_end()) {
    int n = read::read_dist_header(dist_format_type::EXTENDED_PHYLIP);
    dist_mat_type m(static_cast<std::size_t>(n));
    read::read_dist_mat(dist_format_type::EXTENDED_PHYLIP, m);
    for (const auto &l : m.labels) labels += l;
  }
  EXPECT_EQ(labels, "ABC");
}

TEST(DistMat, FastForm) {
  {
    text_input in("2\nA 0 1\nB 2 0\n");
    ASSERT_EQ(read::read_dist_header(dist_format_type::EXTENDED_PHYLIP), 2);
    fast_dist_mat_type m(2, 5);
    m.distances[4] = 9.0f;
    read::read_fast_dist_mat(dist_format_type::EXTENDED_PHYLIP, m);
    EXPECT_EQ(m.labels[1], "B");
    EXPECT_EQ(m.distances[2], 2.0f);
    EXPECT_EQ(m.distances[4], 9.0f);
  }
  {
    text_input in("A 0 1\nB 2 0\n");
    fast_dist_mat_type m(2, 3);
    EXPECT_THROW(read::read_fast_dist_mat(dist_format_type::EXTENDED_PHYLIP, m), range_error);
    EXPECT_EQ(m.distances[2], 2.0f); // the cells that fit were read
  }
}

TEST(DistMat, FormatOutsideItsEnumeration) {
  text_input in("1\nA 0\n");
  EXPECT_THROW(read::read_dist_header(static_cast<dist_format_type>(9)), range_error);
  dist_mat_type m(1);
  EXPECT_THROW(read::read_dist_mat(static_cast<dist_format_type>(-1), m), range_error);
}

} // namespace

namespace {

using phylo::read::dist_layout_type;
using phylo::read::dist_shape_type;

struct expected_matrix {
  std::vector<std::string> labels;
  std::vector<float> cells; // row by row
};

std::string cells_text(const phylo::dist_mat_type &m) {
  std::ostringstream out;
  for (std::size_t i = 0; i < m.n_tax(); ++i) {
    out << m.labels[i] << ":";
    for (std::size_t j = 0; j < m.n_tax(); ++j) out << " " << m.distances(i, j);
    out << "\n";
  }
  return out.str();
}

std::string cells_text(const expected_matrix &e) {
  std::ostringstream out;
  const std::size_t n = e.labels.size();
  for (std::size_t i = 0; i < n; ++i) {
    out << e.labels[i] << ":";
    for (std::size_t j = 0; j < n; ++j) out << " " << e.cells[i * n + j];
    out << "\n";
  }
  return out.str();
}

// A text and the reader of its matrices.
struct text_reader {
  explicit text_reader(std::string_view text, dist_layout_type layout = dist_layout_type::AUTO,
                       dist_shape_type shape = dist_shape_type::AUTO, std::string name = "text")
      : source(phylo::input_source::from_text(text, std::move(name))), reader(source, {layout, shape}) {}
  phylo::dist_mat_access next() { return reader.next(); }
  phylo::input_source source;
  phylo::read::dist_reader reader;
};

// The line that an error names.
std::size_t line_of(const phylo::error &e) { return e.where() ? e.where()->line : 0; }

// The same 3-taxon matrix in every shape and label layout.
const expected_matrix abc{{"Alpha", "Beta gamma", "C"}, {0, 0.5f, 1.25f, 0.5f, 0, 2, 1.25f, 2, 0}};
const expected_matrix abc_word{{"Alpha", "Beta_gamma", "C"}, {0, 0.5f, 1.25f, 0.5f, 0, 2, 1.25f, 2, 0}};

struct shape_case {
  const char *name;
  const char *text;
  dist_layout_type layout; // as recognised
  dist_shape_type shape;
  const expected_matrix *want;
};

const shape_case shape_cases[] = {
    {"phylip square", "3\nAlpha     0 0.5 1.25\nBeta gamma0.5 0 2\nC         1.25 2 0\n", dist_layout_type::PHYLIP,
     dist_shape_type::SQUARE, &abc},
    {"phylip square wrapped, count right-aligned",
     "    3\nAlpha      0 0.5\n 1.25\nBeta gamma 0.5 0\n 2\nC          1.25\n 2 0\n", dist_layout_type::PHYLIP,
     dist_shape_type::SQUARE, &abc},
    {"phylip lower without diagonal", "3\nAlpha     \nBeta gamma 0.5\nC          1.25 2\n", dist_layout_type::PHYLIP,
     dist_shape_type::LOWER, &abc},
    {"phylip lower with diagonal, CRLF", "3\r\nAlpha     0\r\nBeta gamma0.5 0\r\nC         1.25 2 0\r\n",
     dist_layout_type::PHYLIP, dist_shape_type::LOWER_DIAGONAL, &abc},
    {"phylip upper without diagonal", "3\nAlpha     0.5 1.25\nBeta gamma2\nC\n", dist_layout_type::PHYLIP,
     dist_shape_type::UPPER, &abc},
    {"phylip upper with diagonal", "3\nAlpha     0 0.5 1.25\nBeta gamma0 2\nC         0\n", dist_layout_type::PHYLIP,
     dist_shape_type::UPPER_DIAGONAL, &abc},
    {"relaxed square with long label", "3\nAlpha 0 0.5 1.25\nBeta_gamma 0.5 0 2\nC 1.25 2 0\n",
     dist_layout_type::RELAXED, dist_shape_type::SQUARE, &abc_word},
    {"relaxed lower, tab-separated, trailing blanks", "3\nAlpha\nBeta_gamma\t0.5 \nC\t1.25 2 \n",
     dist_layout_type::RELAXED, dist_shape_type::LOWER, &abc_word},
    {"relaxed lower wrapped after the label", "3\nAlpha\nBeta_gamma\n 0.5\nC\n 1.25\n 2\n", dist_layout_type::RELAXED,
     dist_shape_type::LOWER, &abc_word},
    {"blank lines before the count and between rows",
     "\n\n3\nAlpha 0 0.5 1.25\n\nBeta_gamma 0.5 0 2\n  \nC 1.25 2 0\n\n", dist_layout_type::RELAXED,
     dist_shape_type::SQUARE, &abc_word},
    {"tsv square", "\tAlpha\tBeta gamma\tC\nAlpha\t0\t0.5\t1.25\nBeta gamma\t0.5\t0\t2\nC\t1.25\t2\t0\n",
     dist_layout_type::TSV, dist_shape_type::SQUARE, &abc},
    {"tsv lower", "\tAlpha\tBeta gamma\tC\nAlpha\nBeta gamma\t0.5\nC\t1.25\t2\n", dist_layout_type::TSV,
     dist_shape_type::LOWER, &abc},
    {"one taxon, square and triangle agree", "1\nA 0\n", dist_layout_type::RELAXED, dist_shape_type::SQUARE, nullptr},
    {"count after a tab, labels right-aligned", "\t3\n     Alpha 0 0.5 1.25\nBeta gamma 0.5 0 2\n         C 1.25 2 0\n",
     dist_layout_type::PHYLIP, dist_shape_type::SQUARE, &abc},
    {"relaxed labels with blanks, told by the values", "3 \nAlpha 0 0.5 1.25\nBeta gamma 0.5 0 2\nC 1.25 2 0\n",
     dist_layout_type::RELAXED, dist_shape_type::SQUARE, &abc},
    {"tsv with a corner word",
     "#query\tAlpha\tBeta gamma\tC\nAlpha\t0\t0.5\t1.25\nBeta gamma\t0.5\t0\t2\nC\t1.25\t2\t0\n", dist_layout_type::TSV,
     dist_shape_type::SQUARE, &abc},
    {"tsv without a corner cell", "Alpha\tBeta gamma\tC\nAlpha\t0\t0.5\t1.25\nBeta gamma\t0.5\t0\t2\nC\t1.25\t2\t0\n",
     dist_layout_type::TSV, dist_shape_type::SQUARE, &abc},
    {"csv, quoted, CRLF",
     "\"\",Alpha,\"Beta gamma\",C\r\nAlpha,0,0.5,1.25\r\n\"Beta gamma\",\"0.5\",0,2\r\nC,1.25,2,0\r\n",
     dist_layout_type::CSV, dist_shape_type::SQUARE, &abc},
    {"pairs with a header and extra columns", "a,b,d,p\nAlpha,Beta gamma,0.5,1e-5\nC,Alpha,1.25,0\nBeta gamma,C,2,0\n",
     dist_layout_type::PAIRS, dist_shape_type::SQUARE, &abc},
};

TEST(ReadDistText, RecognisesLayoutAndShape) {
  const expected_matrix one{{"A"}, {0}};
  for (const shape_case &c : shape_cases) {
    SCOPED_TRACE(c.name);
    text_reader t(c.text);
    phylo::dist_mat_access m = t.next();
    ASSERT_TRUE(m);
    EXPECT_EQ(cells_text(*m), cells_text(c.want ? *c.want : one));
    EXPECT_EQ(t.reader.layout(), c.layout);
    EXPECT_EQ(t.reader.shape(), c.shape);
    EXPECT_FALSE(t.next()) << "nothing after the matrix";
  }
}

TEST(ReadDistText, ReadsMatricesOneAfterTheOther) {
  text_reader t("2\nA\nB 1\n\n2\nC 0 3\nD 3 0\n");
  auto first = t.next();
  ASSERT_TRUE(first);
  EXPECT_EQ(cells_text(*first), "A: 0 1\nB: 1 0\n");
  auto second = t.next();
  ASSERT_TRUE(second);
  EXPECT_EQ(cells_text(*second), "C: 0 3\nD: 3 0\n");
  EXPECT_EQ(t.reader.matrix_line(), 5u);
  EXPECT_FALSE(t.next());
}

TEST(ReadDistText, CutLabelsThatMakeTaxaOfOneNameAreNoReading) {
  // Cut to 10 characters, the labels would all be "Sequence_0", and the numbers after the
  // cut would make a lower triangle with a diagonal.
  text_reader t("3\nSequence_0001\nSequence_0002 0.1\nSequence_0003 0.2 0.3\n");
  auto m = t.next();
  EXPECT_EQ(cells_text(*m), "Sequence_0001: 0 0.1 0.2\nSequence_0002: 0.1 0 0.3\nSequence_0003: 0.2 0.3 0\n");
  EXPECT_EQ(t.reader.layout(), dist_layout_type::RELAXED);
}

TEST(ReadDistText, GivenLayoutAndShapeAreObeyed) {
  // Read as a relaxed square, the row of a PHYLIP label with a blank fails.
  text_reader t("2\nBeta gamma0 1\nB         1 0\n", dist_layout_type::RELAXED);
  EXPECT_THROW(t.next(), phylo::format_error);
  text_reader u("2\nBeta gamma0 1\nB         1 0\n", dist_layout_type::PHYLIP, dist_shape_type::SQUARE);
  auto m = u.next();
  EXPECT_EQ(cells_text(*m), "Beta gamma: 0 1\nB: 1 0\n");
}

struct failure_case {
  const char *name;
  const char *text;
  dist_layout_type layout;
  std::size_t line;
  const char *message_part;
};

const failure_case failures[] = {
    {"label words and PHYLIP labels read differently", "3\nAlpha_00001\nBetaa_00002 0.1\nGamma_00003 0.2 0.3\n",
     dist_layout_type::AUTO, 1, "read both with label words and with 10-character PHYLIP labels"},
    {"a value is missing in row 3", "3\nA 0 1 2\nB 1 0 3\nC 2 0\n", dist_layout_type::AUTO, 4,
     "row 3 ('C'), after 2 of its 3"},
    {"a row holds too many values", "2\nA 0 1 5\nB 1 0\n", dist_layout_type::AUTO, 2, "row 1 ('A')"},
    {"the input ends early", "3\nA\nB 1\n", dist_layout_type::AUTO, 3, "the input ends after 2 of the 3 rows"},
    {"text after the rows", "2\nA 0 1\nB 1 0\nnonsense here\n", dist_layout_type::AUTO, 4,
     "neither a row nor the start of another matrix"},
    {"no recognisable first line", "A 0 1\n", dist_layout_type::AUTO, 1, "cannot tell the layout"},
    {"a decimal comma", "2\nA 0 0,5\nB 0,5 0\n", dist_layout_type::RELAXED, 2, "row 1 ('A')"},
    {"no count where the layout needs one", "#NEXUS\n", dist_layout_type::PHYLIP, 1, "taxon count"},
};

// Each text is refused with a format_error that names the reason and the line.
template <std::size_t N> void expect_refusals(const failure_case (&cases)[N]) {
  for (const failure_case &c : cases) {
    SCOPED_TRACE(c.name);
    text_reader t(c.text, c.layout);
    try {
      t.next();
      ADD_FAILURE() << "no error";
    } catch (const phylo::format_error &e) {
      EXPECT_NE(std::string(e.what()).find(c.message_part), std::string::npos) << e.what();
      EXPECT_EQ(line_of(e), c.line) << e.what();
    }
  }
}

TEST(ReadDistText, RefusesWithLineAndReason) { expect_refusals(failures); }

// What cannot be decided is raised with its reason, from which a command phrases its advice.
TEST(ReadDistText, UndecidedReasons) {
  using phylo::read::undecided_type;
  struct {
    const char *text;
    undecided_type reason;
    dist_shape_type first, second;
  } cases[] = {
      {"A 0 1\n", undecided_type::LAYOUT, dist_shape_type::AUTO, dist_shape_type::AUTO},
      {"2\nAlpha_00001\nBetaa_00002 0.1\n", undecided_type::LABELS, dist_shape_type::AUTO, dist_shape_type::AUTO},
      {"2\nA 0 1\nB 1\n0\n", undecided_type::SHAPE, dist_shape_type::SQUARE, dist_shape_type::UPPER_DIAGONAL},
  };
  for (const auto &c : cases) {
    text_reader t(c.text);
    try {
      t.next();
      ADD_FAILURE() << c.text << ": no error";
    } catch (const phylo::read::undecided_error &e) {
      EXPECT_EQ(e.reason, c.reason) << c.text;
      EXPECT_EQ(e.shapes[0], c.first) << c.text;
      EXPECT_EQ(e.shapes[1], c.second) << c.text;
      EXPECT_EQ(line_of(e), 1u) << c.text;
    }
  }
}

TEST(ReadDistText, RangeErrors) {
  for (const char *text : {"0\n", "5001\n", "2\nA 0 -1\nB 1 0\n"}) {
    SCOPED_TRACE(text);
    text_reader t(text);
    EXPECT_THROW(t.next(), phylo::range_error);
  }
}

TEST(RecogniseLayout, Table) {
  struct {
    const char *text;
    dist_layout_type layout;
  } cases[] = {
      {"#NEXUS\n", dist_layout_type::NEXUS},
      {"  #nexus\nbegin", dist_layout_type::NEXUS},
      {"\tA\tB\n", dist_layout_type::TSV},
      {"   12\n", dist_layout_type::PHYLIP},
      {"\n12 60\n", dist_layout_type::PHYLIP},
      {"\xEF\xBB\xBF"
       "3\n",
       dist_layout_type::PHYLIP},
  };
  for (const auto &c : cases) {
    phylo::input_source in = phylo::input_source::from_text(c.text);
    EXPECT_EQ(phylo::read::recognise_layout(in), c.layout) << c.text;
    EXPECT_EQ(in.offset(), 0u) << "nothing is consumed";
  }
  for (const char *bad : {"", "A 1\n", "12abc\n", ">seq\nACGT\n"}) {
    phylo::input_source in = phylo::input_source::from_text(bad);
    EXPECT_THROW(phylo::read::recognise_layout(in), phylo::format_error) << bad;
  }
}

// ---- The samples written by real programs -------------------------------------------------------

std::string sample(const char *name) {
  std::ifstream in(std::string(SAMPLES_DIR) + "/" + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) ADD_FAILURE() << "cannot read sample " << name;
  return text.str();
}

phylo::dist_mat_access read_sample(const char *name, dist_layout_type layout, dist_shape_type shape) {
  const std::string text = sample(name);
  text_reader t(text, dist_layout_type::AUTO, dist_shape_type::AUTO, name);
  phylo::dist_mat_access m;
  try {
    m = t.next();
  } catch (const phylo::error &e) {
    ADD_FAILURE() << name << ":" << line_of(e) << ": " << e.what();
    return nullptr;
  }
  EXPECT_EQ(t.reader.layout(), layout) << name;
  EXPECT_EQ(t.reader.shape(), shape) << name;
  EXPECT_FALSE(t.next()) << name << ": a second matrix";
  return m;
}

const std::vector<std::string> aln12_labels = {"Alpha", "Beta gamma", "Gamma", "Delta", "Epsilon",         "Zeta",
                                               "Eta",   "Theta",      "Iota",  "Kappa", "Lambda_longname", "Mu"};

std::vector<std::string> labels_of(const phylo::dist_mat_type &m) { return {m.labels.begin(), m.labels.end()}; }

// Every cell of a within tol of the same cell of b.
void expect_near(const phylo::dist_mat_type &a, const phylo::dist_mat_type &b, float tol) {
  ASSERT_EQ(a.n_tax(), b.n_tax());
  for (std::size_t i = 0; i < a.n_tax(); ++i)
    for (std::size_t j = 0; j < a.n_tax(); ++j)
      EXPECT_NEAR(a.distances(i, j), b.distances(i, j), tol) << "cell " << i + 1 << ", " << j + 1;
}

void expect_symmetric_zero_diagonal(const phylo::dist_mat_type &m) {
  for (std::size_t i = 0; i < m.n_tax(); ++i) {
    EXPECT_EQ(m.distances(i, i), 0.0f);
    for (std::size_t j = 0; j < i; ++j) EXPECT_EQ(m.distances(i, j), m.distances(j, i));
  }
}

TEST(Samples, DnadistLowerTriangleIsTheSquare) {
  auto square = read_sample("dnadist_square.dist", dist_layout_type::PHYLIP, dist_shape_type::SQUARE);
  auto lower = read_sample("dnadist_lower.dist", dist_layout_type::PHYLIP, dist_shape_type::LOWER);
  ASSERT_TRUE(square && lower);
  std::vector<std::string> cut = aln12_labels;
  cut[10] = "Lambda_lon";
  EXPECT_EQ(labels_of(*square), cut);
  EXPECT_EQ(labels_of(*lower), cut);
  expect_near(*square, *lower, 0.0f);
  EXPECT_EQ(square->distances(1, 0), 0.155635f);
  EXPECT_EQ(square->distances(11, 10), 0.150712f);
  EXPECT_EQ(square->distances(9, 8), 0.489413f);
}

TEST(Samples, IdentityMatricesOfFourProducersAgree) {
  auto skbio = read_sample("skbio_identity.lsmat", dist_layout_type::TSV, dist_shape_type::SQUARE);
  auto biopython = read_sample("biopython_identity.phy", dist_layout_type::RELAXED, dist_shape_type::SQUARE);
  auto clearcut = read_sample("clearcut_aln12.dist", dist_layout_type::RELAXED, dist_shape_type::LOWER);
  ASSERT_TRUE(skbio && biopython && clearcut);
  EXPECT_EQ(labels_of(*skbio), aln12_labels);
  std::vector<std::string> first_words = aln12_labels;
  first_words[1] = "Beta";
  EXPECT_EQ(labels_of(*biopython), first_words);
  EXPECT_EQ(labels_of(*clearcut), first_words);
  expect_symmetric_zero_diagonal(*skbio);
  expect_symmetric_zero_diagonal(*clearcut);
  // Biopython writes four decimals of the same values that scikit-bio writes in full.
  expect_near(*skbio, *biopython, 0.00005f + 1e-7f);
  EXPECT_EQ(skbio->distances(0, 1), 0.1333333333333333f);
  // clearcut writes six decimals and counts the gapped pair Delta-Theta otherwise.
  auto clearcut_but_one = *clearcut;
  clearcut_but_one.distances(7, 3) = clearcut_but_one.distances(3, 7) = skbio->distances(7, 3);
  expect_near(*skbio, clearcut_but_one, 0.0000005f + 1e-7f);
  EXPECT_EQ(clearcut->distances(7, 3), 0.228070f);
}

TEST(Samples, MothurLowerTriangle) {
  auto mothur = read_sample("mothur_aln12.lt.dist", dist_layout_type::RELAXED, dist_shape_type::LOWER);
  ASSERT_TRUE(mothur);
  std::vector<std::string> first_words = aln12_labels;
  first_words[1] = "Beta";
  EXPECT_EQ(labels_of(*mothur), first_words);
  expect_symmetric_zero_diagonal(*mothur);
  EXPECT_EQ(mothur->distances(1, 0), 0.1333f);
  EXPECT_EQ(mothur->distances(4, 3), 0.3276f);
  EXPECT_EQ(mothur->distances(11, 10), 0.1333f);
  EXPECT_EQ(mothur->distances(10, 9), 0.2167f);
}

} // namespace

namespace {

using namespace phylo;
using phylo::test::captured_output;
using F = dist_format_type;

const std::string trailer = "\t;\n"
                            "end;\n"
                            "\n"
                            "begin paup;\n"
                            "\tset torder=left tcompress taxlabels=full outroot=monophyl\n"
                            "\t\tautoclose maxtrees=1000 increase=auto autoinc=1000\n"
                            "\t\tstoretreewts storebrlens rootmethod=outgroup\n"
                            "\t\twarnroot=no;\n"
                            "\tdefaults nj bionj breakties=random;\n"
                            "\tdefaults upgma bionj breakties=random;\n"
                            "\tdefaults contree grpfreq=no;\n"
                            "\tdefaults hsearch addseq=random;\n"
                            "\tdefaults savedist triangle=both;\n"
                            "end;\n"
                            "\n";

dist_mat_type matrix(std::vector<std::string> labels, std::vector<float> cells) {
  dist_mat_type m(labels.size());
  for (std::size_t i = 0; i < labels.size(); ++i) m.labels[i] = labels[i];
  for (std::size_t k = 0; k < cells.size(); ++k) m.distances.data()[k] = cells[k];
  return m;
}

std::string printed(const dist_mat_type &m, F format) {
  captured_output out;
  print::print_dist_mat(m, format);
  return out.text();
}

TEST(PrintDistMat, WorkedExampleInEveryLayout) {
  const dist_mat_type m = matrix({"Alpha", "Beta gamma"}, {0, 0.25f, 0.25f, 0});
  const std::string nexus_head =
      "#NEXUS\n\nbegin distances;\n\tdimensions newtaxa ntax= 2;\n\tformat triangle=both labels;\n\tmatrix\n";
  EXPECT_EQ(printed(m, F::PHYLIP),
            " 2\nAlpha     \t 0.00000E+00\t 2.50000E-01\nBeta gamma\t 2.50000E-01\t 0.00000E+00\n");
  EXPECT_EQ(printed(m, F::EXTENDED_PHYLIP),
            " 2\nAlpha     \t 0.00000E+00\t 2.50000E-01\nBeta_gamma\t 2.50000E-01\t 0.00000E+00\n");
  EXPECT_EQ(printed(m, F::TAB),
            "\tAlpha\tBeta gamma\nAlpha\t 0.00000E+00\t 2.50000E-01\nBeta gamma\t 2.50000E-01\t 0.00000E+00\n");
  EXPECT_EQ(printed(m, F::NEXUS),
            nexus_head + "Alpha     \t 0.00000E+00\t 2.50000E-01\nBeta_gamma\t 2.50000E-01\t 0.00000E+00\n" + trailer);
  EXPECT_EQ(printed(m, F::NEXUS_ENCLOSED),
            nexus_head + "'Alpha'     \t 0.00000E+00\t 2.50000E-01\n'Beta gamma'\t 2.50000E-01\t 0.00000E+00\n" +
                trailer);
  EXPECT_EQ(printed(m, F::ONE_COLUMN), "Beta gamma\tAlpha\t 2.50000E-01\n");
  EXPECT_EQ(printed(m, F::RAW), "Alpha\t 0.00000E+00\t 2.50000E-01\nBeta gamma\t 2.50000E-01\t 0.00000E+00\n");
}

TEST(PrintDistMat, OneTaxon) {
  const dist_mat_type m = matrix({"Solo"}, {0});
  EXPECT_EQ(printed(m, F::PHYLIP), " 1\nSolo      \t 0.00000E+00\n");
  EXPECT_EQ(printed(m, F::ONE_COLUMN), "");
  EXPECT_NE(printed(m, F::NEXUS).find("\tdimensions newtaxa ntax= 1;\n"), std::string::npos);
}

TEST(PrintDistMat, AsymmetricCellsAsStored) {
  const dist_mat_type m = matrix({"a", "b", "c"}, {1, 2, 3, 4, 5, 6, 7, 8, -0.0f});
  EXPECT_EQ(printed(m, F::RAW), "a\t 1.00000E+00\t 2.00000E+00\t 3.00000E+00\n"
                                "b\t 4.00000E+00\t 5.00000E+00\t 6.00000E+00\n"
                                "c\t 7.00000E+00\t 8.00000E+00\t-0.00000E+00\n");
  EXPECT_EQ(printed(m, F::ONE_COLUMN), "b\ta\t 4.00000E+00\nc\ta\t 7.00000E+00\nc\tb\t 8.00000E+00\n");
}

TEST(PrintDistMat, NexusLabelsCleanedAndPaddedToTheLongestStoredLabel) {
  const dist_mat_type m = matrix({"(outgroup)", "()", "E.coli K-12"}, {0, 0, 0, 0, 0, 0, 0, 0, 0});
  std::string text = printed(m, F::NEXUS);
  EXPECT_NE(text.find("\nE.coli_K_12\t"), std::string::npos);
  EXPECT_NE(text.find("\noutgroup   \t"), std::string::npos);
  EXPECT_NE(text.find("\n           \t"), std::string::npos);
}

TEST(PrintDistMat, EmptyLabelFailsBeforeAnythingIsWritten) {
  const dist_mat_type m = matrix({"a", ""}, {0, 1, 1, 0});
  for (F f : {F::EXTENDED_PHYLIP, F::TAB, F::NEXUS, F::NEXUS_ENCLOSED, F::RAW}) {
    captured_output out;
    EXPECT_THROW(print::print_dist_mat(m, f), range_error);
    EXPECT_EQ(out.text(), "");
  }
  EXPECT_EQ(printed(m, F::PHYLIP),
            " 2\na         \t 0.00000E+00\t 1.00000E+00\n          \t 1.00000E+00\t 0.00000E+00\n");
  EXPECT_EQ(printed(m, F::ONE_COLUMN), "\ta\t 1.00000E+00\n");
}

TEST(PrintLower, PhylipAndRelaxed) {
  const auto m = matrix({"Alpha", "Beta gamma", "Lambda_longname"}, {0, 0.25f, 1, 0.25f, 0, 123.456f, 1, 123.456f, 0});
  {
    phylo::test::captured_output out;
    print::print_lower_dist_mat(m, phylo::dist_format_type::PHYLIP);
    EXPECT_EQ(out.text(), " 3\n"
                          "Alpha     \n"
                          "Beta gamma\t 2.50000E-01\n"
                          "Lambda_lon\t 1.00000E+00\t 1.23456E+02\n");
  }
  {
    phylo::test::captured_output out;
    print::print_lower_dist_mat(m, phylo::dist_format_type::EXTENDED_PHYLIP);
    EXPECT_EQ(out.text(), " 3\n"
                          "Alpha          \n"
                          "Beta_gamma     \t 2.50000E-01\n"
                          "Lambda_longname\t 1.00000E+00\t 1.23456E+02\n");
  }
  phylo::test::captured_output out;
  EXPECT_THROW(print::print_lower_dist_mat(m, phylo::dist_format_type::TAB), phylo::range_error);
  auto empty = matrix({"A", ""}, {0, 1, 1, 0});
  EXPECT_THROW(print::print_lower_dist_mat(empty, phylo::dist_format_type::EXTENDED_PHYLIP), phylo::range_error);
  EXPECT_EQ(out.text(), "");
}

} // namespace
