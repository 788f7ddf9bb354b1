// phylo dist run as a program: distances from FASTA alignments and character matrices,
// compared byte for byte with values worked out by hand.
#include "run_program.hpp"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using phylo::test::run;
using phylo::test::run_result;
using phylo::test::scratch_dir;

const std::string phylo_path = PHYLO_PATH;
const std::string samples = SAMPLES_DIR;

// The relaxed layout of two taxa t1 and t2 at distance d (a 12-character image).
std::string two_taxa(const std::string &d) { return " 2\nt1\t 0.00000E+00\t" + d + "\nt2\t" + d + "\t 0.00000E+00\n"; }

// Each metric on the rows of its worked values.
TEST(PhyloDist, MetricsOnTheirWorkedValues) {
  struct {
    std::string kind, metric;
    int n_char;
    std::string rows, distance;
  } cases[] = {
      {"quant", "manhattan", 3, "t1 1 2 3\nt2 2 2 5\n", " 1.00000E+00"},
      {"quant", "euclidean", 3, "t1 1 2 3\nt2 2 2 5\n", " 1.29099E+00"}, // sqrt(5/3)
      {"quant", "", 3, "t1 1 2 3\nt2 2 2 5\n", " 1.29099E+00"},          // euclidean by default
      {"quant", "canberra", 3, "t1 1 2 3\nt2 2 2 5\n", " 1.94444E-01"},  // (1/3 + 0 + 2/8) / 3
      {"quant", "chord", 2, "t1 1 0\nt2 0 1\n", " 1.41421E+00"},
      {"quant", "chord", 2, "t1 1 0\nt2 2 0\n", " 0.00000E+00"},
      {"quant", "pearson", 3, "t1 1 2 3\nt2 2 4 6\n", " 0.00000E+00"},
      {"quant", "pearson", 3, "t1 1 2 3\nt2 3 2 1\n", " 1.00000E+00"},
      {"quant", "std-euclidean", 2, "t1 0 1\nt2 2 1\n", " 1.41421E+00"}, // the constant character is skipped
      {"quant", "euclidean-missing", 3, "t1 1 -1 3\nt2 2 5 3\n", " 7.07107E-01"},
      {"discrete", "", 4, "t1 ACGT\nt2 ACGA\n", " 2.50000E-01"},
      {"discrete", "", 4, "t1 A C G T\nt2 A\tC G\n A\n", " 2.50000E-01"}, // blanks and a wrapped row
      {"discrete", "", 2, "t1 A?\nt2 A?\n", " 0.00000E+00"},
      {"count", "bray-curtis", 3, "t1 1 2 3\nt2 2 2 5\n", " 2.00000E-01"},
      {"count", "", 3, "t1 1 2 3\nt2 2 2 5\n", " 2.00000E-01"}, // bray-curtis by default
      {"count", "edgar", 3, "t1 1 2 3\nt2 2 2 5\n", " 0.00000E+00"},
      {"count", "edgar", 2, "t1 4 0\nt2 1 3\n", " 7.50000E-01"},
  };
  for (const auto &c : cases) {
    const std::string input = "2 " + std::to_string(c.n_char) + "\n" + c.rows;
    std::vector<std::string> args = {"dist", "--kind=" + c.kind};
    if (!c.metric.empty()) args.push_back("--metric=" + c.metric);
    const run_result r = run(phylo_path, args, input);
    EXPECT_EQ(r.status, 0) << c.metric << " " << c.rows << r.err;
    EXPECT_EQ(r.out, two_taxa(c.distance)) << c.metric << " " << c.rows;
    EXPECT_EQ(r.err, "") << c.metric << " " << c.rows;
  }
}

// Distances that are not numbers, or square roots of negatives, are refused with status 1.
TEST(PhyloDist, UndefinedDistancesAreRefused) {
  struct {
    std::string kind, metric, input;
  } cases[] = {
      {"quant", "chord", "2 2\nt1 0 0\nt2 1 1\n"},               // a row of zeros
      {"quant", "pearson", "2 3\nt1 2 2 2\nt2 1 2 3\n"},         // a constant row
      {"quant", "euclidean-missing", "2 2\nt1 1 -1\nt2 -1 1\n"}, // no character in both
      {"quant", "canberra", "2 1\nt1 1\nt2 -1\n"},               // x + y = 0
      {"count", "bray-curtis", "2 2\nt1 0 0\nt2 0 0\n"},
      {"count", "edgar", "2 2\nt1 0 0\nt2 1 1\n"},
  };
  for (const auto &c : cases) {
    const run_result r = run(phylo_path, {"dist", "-k", c.kind, "-m", c.metric}, c.input);
    EXPECT_EQ(r.status, 1) << c.metric;
    EXPECT_EQ(r.out, "") << c.metric;
    EXPECT_EQ(r.err.rfind("phylo: standard input:1: the " + c.metric + " distances cannot be computed: ", 0), 0u)
        << r.err;
  }
}

TEST(PhyloDist, OneTaxonGivesOneZeroForEveryKindAndMetric) {
  const std::pair<std::string, std::string> kinds[] = {
      {"quant", "euclidean"}, {"quant", "pearson"}, {"count", "edgar"}, {"discrete", ""}};
  for (const auto &[kind, metric] : kinds) {
    std::vector<std::string> args = {"dist", "--kind=" + kind};
    if (!metric.empty()) args.push_back("--metric=" + metric);
    const run_result r = run(phylo_path, args, "1 3\nonly 1 2 3\n");
    EXPECT_EQ(r.status, 0) << kind;
    EXPECT_EQ(r.out, " 1\nonly\t 0.00000E+00\n") << kind;
  }
}

// A metric that does not fit the kind is refused before any input is opened.
TEST(PhyloDist, MetricsThatDoNotFitAreRefusedBeforeReading) {
  const std::string missing = "/nonexistent/matrix.txt";
  struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"--kind=quant", "--metric=bray-curtis"},
       "phylo: dist: --metric=bray-curtis is for count data; quant data take euclidean, std-euclidean, chord, "
       "canberra, manhattan, pearson, euclidean-missing\n"},
      {{"--kind=count", "--metric=euclidean"},
       "phylo: dist: --metric=euclidean is for quant data; count data take bray-curtis, edgar\n"},
      {{"--kind=discrete", "--metric=manhattan"},
       "phylo: dist: --metric=manhattan: discrete matrices always give the proportion of differing symbols; "
       "metrics are for --kind=quant or --kind=count\n"},
      {{"--kind=fasta", "--metric=edgar"},
       "phylo: dist: --metric=edgar: metrics are for --kind=quant or --kind=count; FASTA alignments take --model\n"},
      {{"--kind=quant", "--gaps=complete"},
       "phylo: dist: --gaps is for FASTA alignments; quant matrices take --metric\n"},
      {{"-M", "jc69", "--kind=discrete"},
       "phylo: dist: --model is for FASTA alignments; discrete matrices take --metric\n"},
      {{"--gaps=count", "--model=k2p"},
       "phylo: dist: --gaps=count compares every symbol and gives --model=p or count only, not --model=k2p\n"},
      {{"--model=gtr"}, "phylo: dist: --model=gtr is not one of p, count, jc69, k80, k2p, f81, tn93, logdet\n"},
      {{"--threads=0"}, "phylo: dist: --threads=0 is not a number of threads from 1 to 4096\n"},
      {{"-u", "-1"}, "phylo: dist: --undefined=-1 is neither refuse nor a number of 0 or more\n"},
      {{"--undefined=inf"}, "phylo: dist: --undefined=inf is neither refuse nor a number of 0 or more\n"},
      {{"--metric=chord"}, "phylo: dist: --metric=chord needs --kind=quant\n"},
      {{"--metric=hamming", "--kind=quant"},
       "phylo: dist: --metric=hamming is not one of euclidean, std-euclidean, chord, canberra, manhattan, "
       "bray-curtis, edgar, pearson, euclidean-missing\n"},
      {{"--layout=phylip"}, "phylo: dist: --layout is for character matrices: give --kind=discrete, quant or count\n"},
      {{"--kind=fasta", "--layout=relaxed"},
       "phylo: dist: --layout is for character matrices: give --kind=discrete, quant or count\n"},
      {{"--kind=dna"}, "phylo: dist: --kind=dna is not one of fasta, discrete, quant, count\n"},
  };
  for (const auto &c : cases) {
    std::vector<std::string> args = {"dist"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back(missing);
    const run_result r = run(phylo_path, args);
    EXPECT_EQ(r.status, 2) << c.args[0];
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err + "Try 'phylo dist --help' for more information.\n");
  }
}

// The worked example of the distance writer, made from an alignment whose two sequences differ
// at one site of four: every layout of phylo convert.
TEST(PhyloDist, FastaDistancesInTheLayoutsOfConvert) {
  const std::string fasta = ">Alpha\nACGT\n>Beta gamma\nACGA\n";
  const std::string rows = "Alpha     \t 0.00000E+00\t 2.50000E-01\nBeta_gamma\t 2.50000E-01\t 0.00000E+00\n";
  const std::string trailer = phylo::test::paup_trailer;
  const std::string nexus_head = "#NEXUS\n\nbegin distances;\n\tdimensions newtaxa ntax= 2;\n"
                                 "\tformat triangle=both labels;\n\tmatrix\n";
  struct {
    std::string to, out;
  } cases[] = {
      {"phylip", " 2\nAlpha     \t 0.00000E+00\t 2.50000E-01\nBeta gamma\t 2.50000E-01\t 0.00000E+00\n"},
      {"relaxed", " 2\n" + rows},
      {"tsv", "\tAlpha\tBeta gamma\nAlpha\t 0.00000E+00\t 2.50000E-01\nBeta gamma\t 2.50000E-01\t 0.00000E+00\n"},
      {"nexus-paup", nexus_head + rows + trailer},
      {"nexus-paup-quoted",
       nexus_head + "'Alpha'     \t 0.00000E+00\t 2.50000E-01\n'Beta gamma'\t 2.50000E-01\t 0.00000E+00\n" + trailer},
      {"pairs", "Beta gamma\tAlpha\t 2.50000E-01\n"},
      {"raw", "Alpha\t 0.00000E+00\t 2.50000E-01\nBeta gamma\t 2.50000E-01\t 0.00000E+00\n"},
      {"phylip-lower", " 2\nAlpha     \nBeta gamma\t 2.50000E-01\n"},
      {"relaxed-lower", " 2\nAlpha     \nBeta_gamma\t 2.50000E-01\n"},
  };
  for (const auto &c : cases) {
    const run_result r = run(phylo_path, {"dist", "--to=" + c.to}, fasta);
    EXPECT_EQ(r.status, 0) << c.to;
    EXPECT_EQ(r.out, c.out) << c.to;
    EXPECT_EQ(r.err, "") << c.to;
  }
  const run_result nexus = run(phylo_path, {"dist", "--to=nexus"}, fasta);
  EXPECT_EQ(nexus.status, 0);
  EXPECT_NE(nexus.out.find("'Beta gamma'"), std::string::npos);
  EXPECT_NE(nexus.out.find("0.25"), std::string::npos);
  // The transformation comes after the distances: sqrt(0.25) = 0.5.
  EXPECT_EQ(run(phylo_path, {"dist", "--transform=sqrt", "--to=pairs"}, fasta).out,
            "Beta gamma\tAlpha\t 5.00000E-01\n");
  EXPECT_EQ(run(phylo_path, {"dist", "--kind=fasta", "--to=pairs"}, fasta).out, "Beta gamma\tAlpha\t 2.50000E-01\n");
}

// p-distances of the 12-taxon sample with --gaps=count: differing columns counted by hand,
// over 60 columns (gaps count as symbols; Delta and Theta share a gap of three). By default
// Delta's gap leaves three columns out of its pairs: 12 of 57 differ from Alpha.
TEST(PhyloDist, SampleAlignmentGivesTheProportionsOfDifferingColumns) {
  const std::string first_rows = "Beta gamma\tAlpha\t 1.33333E-01\nGamma\tAlpha\t 1.50000E-01\n"
                                 "Gamma\tBeta gamma\t 1.66667E-01\nDelta\tAlpha\t 2.10526E-01\n";
  EXPECT_EQ(run(phylo_path, {"dist", "--to=pairs", samples + "/aln12.fasta"}).out.substr(0, first_rows.size()),
            first_rows);
  const run_result r = run(phylo_path, {"dist", "--gaps=count", "--to=pairs", samples + "/aln12.fasta"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::map<std::pair<std::string, std::string>, std::string> found;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
    found[{line.substr(0, t1), line.substr(t1 + 1, t2 - t1 - 1)}] = line.substr(t2 + 1);
  }
  EXPECT_EQ(found.size(), 66u); // 12 * 11 / 2 pairs
  struct {
    std::string a, b;
    int differing;
    std::string image;
  } pairs[] = {
      {"Beta gamma", "Alpha", 8, " 1.33333E-01"}, // columns 5 12 16 25 32 35 43 45
      {"Delta", "Alpha", 15, " 2.50000E-01"},     // three of them in Delta's gap, columns 11 to 13
      {"Theta", "Delta", 13, " 2.16667E-01"},     // the common gap at 11-13 does not differ
      {"Lambda_longname", "Kappa", 13, " 2.16667E-01"}, {"Mu", "Alpha", 8, " 1.33333E-01"},
  };
  for (const auto &p : pairs) {
    const std::string &image = found[std::make_pair(p.a, p.b)];
    EXPECT_EQ(image, p.image) << p.a << " " << p.b;
    ASSERT_FALSE(image.empty()) << p.a << " " << p.b;
    EXPECT_NEAR(std::stod(image), p.differing / 60.0, 5e-7) << p.a << " " << p.b;
  }
}

TEST(PhyloDist, MatrixLayoutsAndSeveralMatrices) {
  struct {
    std::vector<std::string> args;
    std::string input, out;
  } cases[] = {
      // PHYLIP labels are 10 characters; the blanks that pad them are dropped.
      {{"-k", "discrete", "-l", "phylip"},
       "2 4\nalpha     ACGT\n  beta    A-?N\n",
       " 2\nalpha\t 0.00000E+00\t 7.50000E-01\nbeta \t 7.50000E-01\t 0.00000E+00\n"},
      {{"-k", "count", "--layout=commented"}, "2 3\nt1 [note] 1 2 3\nt2 [] 2 2 5\n", two_taxa(" 2.00000E-01")},
      // Two matrices, no line end after the last row.
      {{"-k", "quant", "-m", "manhattan", "-t", "pairs"},
       "2 1\na 1\nb 2\n\n2 1\nc 0\nd 0.5",
       "b\ta\t 1.00000E+00\nd\tc\t 5.00000E-01\n"},
  };
  for (const auto &c : cases) {
    std::vector<std::string> args = {"dist"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const run_result r = run(phylo_path, args, c.input);
    EXPECT_EQ(r.status, 0) << c.input << r.err;
    EXPECT_EQ(r.out, c.out) << c.input;
  }
}

TEST(PhyloDist, BadInputGivesMessagesWithTheLine) {
  struct {
    std::vector<std::string> args;
    std::string input, err;
  } cases[] = {
      {{},
       "2 2\nt1 A C\n",
       "phylo: standard input: is not a FASTA alignment (it does not begin with '>'); for a "
       "character matrix give --kind=discrete, quant or count\n"},
      {{"-k", "count"}, "2 3\nt1 0 1 -1\nt2 1 1 1\n", "phylo: standard input:2: "},
      {{"-k", "quant"}, "2 3\nt1 0 1 x\nt2 1 1 1\n", "phylo: standard input:2: "},
      {{"-k", "quant"}, "\n0 3\n", "phylo: standard input:2: "},
      {{"-k", "quant"},
       "2 2\nt1 1 1\n",
       "phylo: standard input:2: the input ends inside the matrix that begins on line 1"},
      {{"-k", "quant"},
       "5000 1048576\nt1 0 1 1\n",
       "phylo: standard input:1: the header announces 5000 taxa of 1048576 characters, more than the text holds\n"},
      {{"-k", "discrete", "-l", "phylip"},
       "2 1\n          A\nb         C\n",
       "phylo: standard input:1: taxon 1 has no label: its first 10 characters are blank\n"},
      {{"-k", "discrete"}, "", "phylo: standard input: holds no character matrix\n"},
      {{},
       ">a\nACGT\n>b\nACG\n",
       "phylo: standard input:3: sequence 'b' has 3 residues, but the first sequence, 'a', has 4: the sequences are "
       "not aligned\n"},
      {{"-x", "neglog"}, ">a\nAC\n>b\nGT\n", "phylo: standard input: the transformation fails: "},
  };
  for (const auto &c : cases) {
    std::vector<std::string> args = {"dist"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const run_result r = run(phylo_path, args, c.input);
    EXPECT_EQ(r.status, 1) << c.input;
    EXPECT_EQ(r.out, "") << c.input;
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.input;
  }
}

TEST(PhyloDist, HelpSaysDiscreteDataGiveTheProportionOfDifferingSymbols) {
  const run_result r = run(phylo_path, {"dist", "--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("Usage: phylo dist [OPTION]... [FILE]...\n", 0), 0u);
  EXPECT_NE(r.out.find("Discrete matrices give the proportion of differing symbols"), std::string::npos);
}

// FASTA alignments: case never matters, the model and the gap rule choose the distance, and
// a pair that the model leaves undefined is refused with its names, or written as asked. The
// values and the undefined pairs are those of ape's dist.dna.
TEST(PhyloDist, FastaModelsGapsAndUndefinedPairs) {
  const std::string cased = ">a\nACGTNACGTA\n>b\nacgt-acgtc\n";
  const std::string odd = ">a\nACGTAC\n>b\nTGCAAC\n>c\nAC----\n";
  const std::string no_g = ">a\nACTTAC\n>b\nACTAAC\n";
  struct {
    std::vector<std::string> args;
    std::string input;
    int status;
    std::string out, err;
  } cases[] = {
      {{}, cased, 0, "b\ta\t 1.11111E-01\n", ""},
      {{"--gaps=count"}, cased, 0, "b\ta\t 2.00000E-01\n", ""},
      {{"-g", "count", "-M", "count"}, cased, 0, "b\ta\t 2.00000E+00\n", ""},
      {{"--model=jc69"}, cased, 0, "b\ta\t 1.20257E-01\n", ""},
      {{"--model=jc69", "--undefined=refuse", "--threads=3"},
       odd,
       1,
       "",
       "phylo: standard input: the jc69 distance is undefined for 1 pair: 'b' and 'c' differ at 2 of 2 sites, too "
       "many for the model (--undefined=NUMBER writes a number in their place)\n"},
      {{"--model=jc69", "--undefined=10"},
       odd,
       0,
       "b\ta\t 1.64792E+00\nc\ta\t 0.00000E+00\nc\tb\t 1.00000E+01\n",
       "phylo: standard input: warning: the jc69 distance is undefined for 1 pair, written as 10\n"},
      {{"--model=jc69", "--undefined=10", "-q"},
       odd,
       0,
       "b\ta\t 1.64792E+00\nc\ta\t 0.00000E+00\nc\tb\t 1.00000E+01\n",
       ""},
      {{"--model=logdet", "--gaps=complete"},
       odd,
       1,
       "",
       "phylo: standard input: the logdet distance is undefined for 3 pairs: 'a' and 'b' (differing at 2 of 2 "
       "sites): their table of base pairs is singular; 'a' and 'c' (differing at 0 of 2 sites): their table of base "
       "pairs is singular; 'b' and 'c' (differing at 2 of 2 sites): their table of base pairs is singular (--undefined"
       "=NUMBER writes a number in their place)\n"},
      {{"--model=tn93"},
       no_g,
       1,
       "",
       "phylo: standard input: the tn93 distance is undefined for 1 pair: the alignment lacks one of the bases A, C, "
       "G and T (--undefined=NUMBER writes a number in their place)\n"},
  };
  for (const auto &c : cases) {
    std::vector<std::string> args = {"dist", "--to=pairs"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const run_result r = run(phylo_path, args, c.input);
    EXPECT_EQ(r.status, c.status) << c.args[0];
    EXPECT_EQ(r.out, c.out) << c.args[0];
    EXPECT_EQ(r.err, c.err) << c.args[0];
  }
}

} // namespace
