// NEXUS: the TAXA and DISTANCES blocks that the recognising reader reads, and the standard
// NEXUS text that phylo writes.
#include "phylo/io.hpp"
#include "phylo/label.hpp"
#include "phylo/nexus.hpp"
#include "phylo/phylip.hpp"
#include "test_io.hpp"
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

using phylo::read::dist_layout_type;
using phylo::read::dist_shape_type;

std::string cells_text(const phylo::dist_mat_type &m) {
  std::ostringstream out;
  for (std::size_t i = 0; i < m.n_tax(); ++i) {
    out << m.labels[i] << ":";
    for (std::size_t j = 0; j < m.n_tax(); ++j) out << " " << m.distances(i, j);
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

struct failure_case {
  const char *name;
  const char *text;
  dist_layout_type layout;
  std::size_t line;
  const char *message_part;
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
    {"both triangles without diagonal",
     "#NEXUS\nbegin distances; dimensions ntax=2; format triangle=both nodiagonal;\nmatrix\nA 1\nB 2\n;\nend;\n",
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
    {"other blocks are passed over",
     "#NEXUS\nbegin trees; tree t = (A,B);\nend;\nbegin distances; dimensions ntax=2;\n"
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

const std::vector<std::string> aln12_labels = {"Alpha", "Beta gamma", "Gamma", "Delta", "Epsilon",         "Zeta",
                                               "Eta",   "Theta",      "Iota",  "Kappa", "Lambda_longname", "Mu"};

std::vector<std::string> labels_of(const phylo::dist_mat_type &m) { return {m.labels.begin(), m.labels.end()}; }

void expect_symmetric_zero_diagonal(const phylo::dist_mat_type &m) {
  for (std::size_t i = 0; i < m.n_tax(); ++i) {
    EXPECT_EQ(m.distances(i, i), 0.0f);
    for (std::size_t j = 0; j < i; ++j) EXPECT_EQ(m.distances(i, j), m.distances(j, i));
  }
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

namespace {

phylo::dist_mat_type matrix(std::initializer_list<const char *> labels, std::initializer_list<float> cells) {
  phylo::dist_mat_type m(labels.size());
  std::size_t i = 0;
  for (const char *l : labels) m.labels[i++] = l;
  std::size_t k = 0;
  for (float v : cells) m.distances.data()[k++] = v;
  return m;
}

TEST(PrintNexus, QuotedLabels) {
  struct {
    const char *label, *word;
  } cases[] = {
      {"Alpha", "Alpha"},
      {"E.coli", "E.coli"},
      {"Beta gamma", "'Beta gamma'"},
      {"O'Brien", "'O''Brien'"},
      {"Lambda_x", "'Lambda_x'"},
      {"K-12", "'K-12'"},
      {"", "''"},
      {"a[1]", "'a[1]'"},
      {"tab\there", "'tab\there'"},
  };
  for (const auto &c : cases) EXPECT_EQ(phylo::print::to_quoted_nexus_label(c.label), c.word) << c.label;
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
