// Reading matrices whose layout and shape are recognised from the text.
#include "phylo/phylo.hpp"

#include "phylo/io.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

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
    {"phylip square wrapped, count right-aligned", "    3\nAlpha      0 0.5\n 1.25\nBeta gamma 0.5 0\n 2\nC          1.25\n 2 0\n",
     dist_layout_type::PHYLIP, dist_shape_type::SQUARE, &abc},
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
    {"blank lines before the count and between rows", "\n\n3\nAlpha 0 0.5 1.25\n\nBeta_gamma 0.5 0 2\n  \nC 1.25 2 0\n\n",
     dist_layout_type::RELAXED, dist_shape_type::SQUARE, &abc_word},
    {"tsv square", "\tAlpha\tBeta gamma\tC\nAlpha\t0\t0.5\t1.25\nBeta gamma\t0.5\t0\t2\nC\t1.25\t2\t0\n",
     dist_layout_type::TSV, dist_shape_type::SQUARE, &abc},
    {"tsv lower", "\tAlpha\tBeta gamma\tC\nAlpha\nBeta gamma\t0.5\nC\t1.25\t2\n", dist_layout_type::TSV,
     dist_shape_type::LOWER, &abc},
    {"one taxon, square and triangle agree", "1\nA 0\n", dist_layout_type::RELAXED, dist_shape_type::SQUARE,
     nullptr},
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
    {"label words and PHYLIP labels read differently",
     "3\nAlpha_00001\nBetaa_00002 0.1\nGamma_00003 0.2 0.3\n", dist_layout_type::AUTO, 1,
     "read both with label words and with 10-character PHYLIP labels"},
    {"a value is missing in row 3", "3\nA 0 1 2\nB 1 0 3\nC 2 0\n", dist_layout_type::AUTO, 4, "row 3 ('C'), after 2 of its 3"},
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
      {"#NEXUS\n", dist_layout_type::NEXUS},     {"  #nexus\nbegin", dist_layout_type::NEXUS},
      {"\tA\tB\n", dist_layout_type::TSV},        {"   12\n", dist_layout_type::PHYLIP},
      {"\n12 60\n", dist_layout_type::PHYLIP},    {"\xEF\xBB\xBF" "3\n", dist_layout_type::PHYLIP},
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

// ---- NEXUS ------------------------------------------------------------------------------------

struct nexus_case {
  const char *name;
  const char *text;
  const char *want; // cells_text of the matrix
};

const nexus_case nexus_cases[] = {
    {"taxa block, lower with diagonal (the defaults)",
     "#NEXUS\nbegin taxa; dimensions ntax=3; taxlabels A 'B c' C; end;\n"
     "begin distances;\n matrix\n A 0\n 'B c' 1 0\n C 2 3 0\n ;\nend;\n",
     "A: 0 1 2\nB c: 1 0 3\nC: 2 3 0\n"},
    {"upper without diagonal, keywords in any case, comments",
     "#nexus\n[written by hand]\nBEGIN Distances;\n  Dimensions NTax=3;\n  Format Triangle=Upper NoDiagonal;\n"
     "  Matrix\n  A [first] 1 2\n  B 3\n  C\n  ;\nEnd;\n",
     "A: 0 1 2\nB: 1 0 3\nC: 2 3 0\n"},
    {"both triangles kept as they stand",
     "#NEXUS\nbegin distances; dimensions ntax=2; format triangle=both; matrix\nA 0 1\nB 1.5 0\n;\nend;\n",
     "A: 0 1\nB: 1.5 0\n"},
    {"both triangles without diagonal", "#NEXUS\nbegin distances; dimensions ntax=2; format triangle=both nodiagonal;\nmatrix\nA 1\nB 2\n;\nend;\n",
     "A: 0 1\nB: 2 0\n"},
    {"no labels in the matrix: they come from the taxa block",
     "#NEXUS\nbegin taxa; dimensions ntax=2; taxlabels 'O''Brien' X_y; end;\n"
     "begin distances; format nolabels; matrix 0 0.25 0; end;\n",
     "O'Brien: 0 0.25\nX y: 0.25 0\n"},
    {"rows labelled by number or in another case",
     "#NEXUS\nbegin taxa; dimensions ntax=2; taxlabels Alpha Beta; end;\n"
     "begin distances; matrix 1 0\n beta 4 0; end;\n",
     "Alpha: 0 4\nBeta: 4 0\n"},
    {"interleaved lower triangle",
     "#NEXUS\nbegin distances; dimensions ntax=4; format interleave;\nmatrix\n"
     "A 0\nB 1 0\nC 2 3\nD 4 5\nC 0\nD 6 0\n;\nend;\n",
     "A: 0 1 2 4\nB: 1 0 3 5\nC: 2 3 0 6\nD: 4 5 6 0\n"},
    {"other blocks are passed over", "#NEXUS\nbegin trees; tree t = (A,B);\nend;\nbegin distances; dimensions ntax=2;\n"
     "matrix A 0 B 7 0;\nendblock;\n",
     "A: 0 7\nB: 7 0\n"},
};

TEST(ReadNexus, Blocks) {
  for (const nexus_case &c : nexus_cases) {
    SCOPED_TRACE(c.name);
    text_reader t(c.text);
    try {
      phylo::dist_mat_access m = t.next();
      ASSERT_TRUE(m);
      EXPECT_EQ(cells_text(*m), c.want);
      EXPECT_EQ(t.reader.layout(), dist_layout_type::NEXUS);
      EXPECT_FALSE(t.next());
    } catch (const phylo::error &e) {
      ADD_FAILURE() << "line " << line_of(e) << ": " << e.what();
    }
  }
}

const failure_case nexus_failures[] = {
    {"no #NEXUS where NEXUS is asked for", "2\nA 0 1\nB 1 0\n", dist_layout_type::NEXUS, 1, "must begin with #NEXUS"},
    {"a missing distance", "#NEXUS\nbegin distances; dimensions ntax=2;\nmatrix\nA 0\nB ? 0;\nend;\n",
     dist_layout_type::AUTO, 5, "missing"},
    {"a row label that is not the taxon's",
     "#NEXUS\nbegin taxa; dimensions ntax=2; taxlabels A B; end;\nbegin distances;\nmatrix\nA 0\nZ 1 0;\nend;\n",
     dist_layout_type::AUTO, 6, "labelled 'Z'"},
    {"too few labels", "#NEXUS\nbegin taxa; dimensions ntax=3;\ntaxlabels A B;\nend;\n", dist_layout_type::AUTO, 3,
     "lists 2 labels"},
    {"an unclosed comment", "#NEXUS\n[ never closed\nbegin taxa;\n", dist_layout_type::AUTO, 2, "never closed"},
    {"an unknown format item", "#NEXUS\nbegin distances; dimensions ntax=2;\nformat triangle=lower wibble;\n",
     dist_layout_type::NEXUS, 3, "unknown FORMAT item 'wibble'"},
    {"no taxon count", "#NEXUS\nbegin distances;\nmatrix A 0 B 1 0;\nend;\n", dist_layout_type::AUTO, 3,
     "no taxon count"},
    {"more rows than taxa", "#NEXUS\nbegin distances; dimensions ntax=1; matrix A 0\nB 1 0;\nend;\n",
     dist_layout_type::AUTO, 3, "expected ';'"},
};

TEST(ReadNexus, RefusesWithLineAndReason) { expect_refusals(nexus_failures); }

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

const std::vector<std::string> aln12_labels = {"Alpha", "Beta gamma", "Gamma", "Delta", "Epsilon", "Zeta",
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

TEST(Samples, PhangornNexusWithUnquotedBlankIsRefused) {
  text_reader t(sample("phangorn_raw_lower.nex"));
  try {
    t.next();
    ADD_FAILURE() << "the file was read";
  } catch (const phylo::format_error &e) {
    EXPECT_EQ(line_of(e), 5u);
    EXPECT_NE(std::string(e.what()).find("more labels than the 12 taxa"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("single quotes"), std::string::npos) << e.what();
  }
}

TEST(Samples, PhangornNexusWithTheLabelQuotedIsRead) {
  std::string text = sample("phangorn_raw_lower.nex");
  for (std::size_t at = 0; (at = text.find("Beta gamma", at)) != std::string::npos; at += 12)
    text.replace(at, 10, "'Beta gamma'");
  text_reader t(text);
  auto m = t.next();
  ASSERT_TRUE(m);
  // An underscore in a bare NEXUS word stands for a blank.
  std::vector<std::string> labels = aln12_labels;
  labels[10] = "Lambda longname";
  EXPECT_EQ(labels_of(*m), labels);
  expect_symmetric_zero_diagonal(*m);
  EXPECT_EQ(m->distances(11, 10), 0.1228070f);
}

} // namespace
