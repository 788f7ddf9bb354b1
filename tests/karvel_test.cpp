// karvel end to end: real text through the real binary, whole outputs compared byte for byte.
#include "run_program.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using phylo::test::run;
using phylo::test::run_result;
using phylo::test::scratch_dir;

const std::string karvel = KARVEL_PATH;
const std::string examples = EXAMPLES_DIR;

const std::string worked_example = " 2\nAlpha 0 0.25\nBeta_gamma 0.25 0\n";
const std::string worked_tab = "\tAlpha\tBeta gamma\nAlpha\t0\t0.25\nBeta gamma\t0.25\t0\n";

const std::string trailer = phylo::test::paup_trailer;

std::string usage(const std::string &program) {
  return program + " converts distance matrices.\n\nUsage: " + program +
         " [options] inputfile(s)\n\nOptions:\n"
         "  -a  Transformation is Dij := arcsin(sqrt(Dij)).\n"
         "  -e  Transformation is Dij := 1-exp(-Dij).\n"
         "  -l  Transformation is Dij := -log(1-Dij).\n"
         "  -n  No transformation (default).\n"
         "  -p  Input is in normal PHYLIP format.\n"
         "  -q  Transformation is Dij := Dij^2.\n"
         "  -r  Transformation is Dij := Dij/max(D).\n"
         "  -s  Transformation is Dij := sqrt(Dij).\n"
         "  -t  Input is in tab-separated format.\n"
         "  -x  Input is in extended PHYLIP format (default).\n"
         "  -C  Output is in NEXUS format with labels enclosed in \"'\".\n"
         "  -E  Output is in extended PHYLIP format (default).\n"
         "  -N  Output is in NEXUS format with labels cleaned.\n"
         "  -O  Output is in one-column format.\n"
         "  -P  Output is in PHYLIP format.\n"
         "  -R  Output is in raw format (no labels, no header).\n"
         "  -T  Output is in tab-separated format.\n"
         "\n";
}

std::string replace_all(std::string text, const std::string &from, const std::string &to) {
  for (std::size_t p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size()))
    text.replace(p, from.size(), to);
  return text;
}

void expect_run(const run_result &r, int status, const std::string &out, const std::string &err) {
  EXPECT_EQ(r.status, status);
  EXPECT_EQ(r.out, out);
  EXPECT_EQ(r.err, err);
}

TEST(Karvel, WorkedExampleInEveryLayout) {
  scratch_dir dir;
  const std::string ext = dir.file("ab.phy", worked_example), tab = dir.file("ab.tsv", worked_tab);
  const std::string head =
      "#NEXUS\n\nbegin distances;\n\tdimensions newtaxa ntax= 2;\n\tformat triangle=both labels;\n\tmatrix\n";
  struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"-t", "-P", tab}, " 2\nAlpha     \t 0.00000E+00\t 2.50000E-01\nBeta gamma\t 2.50000E-01\t 0.00000E+00\n"},
      {{"-t", "-E", tab}, " 2\nAlpha     \t 0.00000E+00\t 2.50000E-01\nBeta_gamma\t 2.50000E-01\t 0.00000E+00\n"},
      {{"-t", tab}, " 2\nAlpha     \t 0.00000E+00\t 2.50000E-01\nBeta_gamma\t 2.50000E-01\t 0.00000E+00\n"},
      {{"-t", "-T", tab},
       "\tAlpha\tBeta gamma\nAlpha\t 0.00000E+00\t 2.50000E-01\nBeta gamma\t 2.50000E-01\t 0.00000E+00\n"},
      {{"-t", "-N", tab},
       head + "Alpha     \t 0.00000E+00\t 2.50000E-01\nBeta_gamma\t 2.50000E-01\t 0.00000E+00\n" + trailer},
      {{"-t", "-C", tab},
       head + "'Alpha'     \t 0.00000E+00\t 2.50000E-01\n'Beta gamma'\t 2.50000E-01\t 0.00000E+00\n" + trailer},
      {{"-t", "-O", tab}, "Beta gamma\tAlpha\t 2.50000E-01\n"},
      {{"-t", "-R", tab}, "Alpha\t 0.00000E+00\t 2.50000E-01\nBeta gamma\t 2.50000E-01\t 0.00000E+00\n"},
      {{"-T", ext}, "\tAlpha\tBeta_gamma\nAlpha\t 0.00000E+00\t 2.50000E-01\nBeta_gamma\t 2.50000E-01\t 0.00000E+00\n"},
      {{ext, "-x", "-n", "-R"}, "Alpha\t 0.00000E+00\t 2.50000E-01\nBeta_gamma\t 2.50000E-01\t 0.00000E+00\n"},
  };
  for (const auto &c : cases) expect_run(run(karvel, c.args), 0, c.out, "");
  // The distance read as -0 instead: arcsin(sqrt(-0)) is -0, and every layout shows its sign.
  dir.file("ab.phy", replace_all(worked_example, "0.25", "-0"));
  dir.file("ab.tsv", replace_all(worked_tab, "0.25", "-0"));
  for (const auto &c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "-a");
    expect_run(run(karvel, args), 0, replace_all(c.out, " 2.50000E-01", "-0.00000E+00"), "");
  }
}

TEST(Karvel, NegativeZeroThroughEachTransformation) {
  scratch_dir dir;
  // What the transformation of a -0 above the diagonal prints (-r: the largest distance is
  // 0, and the matrix stays as it was read).
  const struct {
    const char *option, *image;
  } cases[] = {{"-n", "-0.00000E+00"}, {"-a", "-0.00000E+00"}, {"-e", " 0.00000E+00"}, {"-l", "-0.00000E+00"},
               {"-q", " 0.00000E+00"}, {"-r", "-0.00000E+00"}, {"-s", "-0.00000E+00"}};
  for (const char *zero : {"-0", "-0.0", "-1e-50"}) {
    const std::string f = dir.file("z", std::string("2\nA 0 ") + zero + "\nB " + zero + " 0\n");
    for (const auto &c : cases)
      expect_run(run(karvel, {c.option, "-R", f}), 0,
                 std::string("A\t 0.00000E+00\t") + c.image + "\nB\t" + c.image + "\t 0.00000E+00\n", "");
  }
  // -log(1-D) of +0 is -0 as well.
  expect_run(run(karvel, {"-l", "-O", dir.file("p", "2\nA 0 0\nB 0 0\n")}), 0, "B\tA\t-0.00000E+00\n", "");
}

TEST(Karvel, UsageTextIsTwentyFiveLines) {
  for (const std::vector<std::string> &args : {std::vector<std::string>{}, {"-P", "-s", "-t"}}) {
    run_result r = run(karvel, args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    const std::string expected = usage(karvel);
    ASSERT_GT(r.err.size(), expected.size());
    EXPECT_EQ(r.err.substr(0, expected.size()), expected);
    std::string credit = r.err.substr(expected.size());
    EXPECT_EQ(std::count(credit.begin(), credit.end(), '\n'), 2); // the credit line and an empty line
    EXPECT_EQ(credit.substr(credit.size() - 2), "\n\n");
    EXPECT_NE(credit.find('@'), std::string::npos);
  }
}

TEST(Karvel, OptionOrder) {
  scratch_dir dir;
  const std::string f = dir.file("m", worked_example);
  EXPECT_EQ(run(karvel, {"-P", "-T", f}).out.substr(0, 3), " 2\n"); // the leftmost wins
  EXPECT_EQ(run(karvel, {"-T", "-P", f}).out.substr(0, 6), "\tAlpha");
  EXPECT_EQ(run(karvel, {f, "-s", "-R"}).out, run(karvel, {"-R", "-s", f}).out);
  EXPECT_EQ(run(karvel, {f, "-s", "-R"}).out,
            "Alpha\t 0.00000E+00\t 5.00000E-01\nBeta_gamma\t 5.00000E-01\t 0.00000E+00\n");
}

TEST(Karvel, ExamplesInEachInputLayoutAgree) {
  const std::string from_phylip = run(karvel, {"-p", "-R", examples + "/primates.phy"}).out;
  const std::string from_ext = run(karvel, {"-x", "-R", examples + "/primates.dist"}).out;
  const std::string from_tab = run(karvel, {"-t", "-R", examples + "/primates.tsv"}).out;
  auto cells = [](const std::string &text) { // the rows without their labels
    std::string out;
    for (std::size_t p = 0; p < text.size();) {
      std::size_t tab = text.find('\t', p), nl = text.find('\n', p);
      out += text.substr(tab, nl + 1 - tab);
      p = nl + 1;
    }
    return out;
  };
  ASSERT_FALSE(from_phylip.empty());
  EXPECT_EQ(cells(from_phylip), cells(from_ext));
  EXPECT_EQ(cells(from_phylip), cells(from_tab));
  EXPECT_EQ(from_tab.substr(0, 13), "Homo sapiens\t");
  run_result l = run(karvel, {"-p", "-l", "-O", examples + "/primates.phy"});
  EXPECT_EQ(l.out.substr(0, l.out.find('\n') + 1), "Chimpanzee\tHuman     \t 9.77231E-02\n");
}

TEST(Karvel, StandardInput) {
  scratch_dir dir;
  const std::string f = dir.file("m", " 1\nFirst 0\n");
  expect_run(run(karvel, {"-R", "-"}, worked_example), 0,
             "Alpha\t 0.00000E+00\t 2.50000E-01\nBeta_gamma\t 2.50000E-01\t 0.00000E+00\n", "");
  expect_run(run(karvel, {"-R", f, "-", f}, " 1\nSecond 1\n"), 0,
             "First\t 0.00000E+00\nSecond\t 1.00000E+00\nFirst\t 0.00000E+00\n", "");
  expect_run(run(karvel, {"-"}, ""), 0, "", "");
}

TEST(Karvel, SeveralMatricesAndBlankTails) {
  scratch_dir dir;
  const std::string two = dir.file("two", "1\nA 0\n\n\n2\nB 0 1\nC 1 0\n");
  expect_run(run(karvel, {"-R", two}), 0,
             "A\t 0.00000E+00\nB\t 0.00000E+00\t 1.00000E+00\nC\t 1.00000E+00\t 0.00000E+00\n", "");
  // Blank lines (also with carriage returns) after the last matrix are harmless.
  const std::string tail = dir.file("tail", "1\r\nA 0\r\n\r\n\n  \t\n");
  expect_run(run(karvel, {"-R", tail}), 0, "A\t 0.00000E+00\n", "");
  const std::string blank = dir.file("blank", "\n\n\n");
  expect_run(run(karvel, {blank}), 0, "", "");
  // No line feed after the last value.
  const std::string bare = dir.file("bare", "2\nA 0 1\nB 1 0");
  expect_run(run(karvel, {"-R", bare}), 0, "A\t 0.00000E+00\t 1.00000E+00\nB\t 1.00000E+00\t 0.00000E+00\n", "");
  const std::string bare_tab = dir.file("bare.tsv", "\tA\nA\t0.5");
  expect_run(run(karvel, {"-t", "-R", bare_tab}), 0, "A\t 5.00000E-01\n", "");
  const std::string empty = dir.file("empty", "");
  expect_run(run(karvel, {empty, empty}), 0, "", "");
}

TEST(Karvel, InvalidFilename) {
  scratch_dir dir;
  const std::string f = dir.file("m", worked_example);
  const std::string first = "Alpha\t 0.00000E+00\t 2.50000E-01\nBeta_gamma\t 2.50000E-01\t 0.00000E+00\n";
  expect_run(run(karvel, {"-R", f, dir.path + "/missing"}), 1, first, "Invalid filename.\n");
  expect_run(run(karvel, {"-z", f}), 1, "", "Invalid filename.\n");
  expect_run(run(karvel, {"-sP", f}), 1, "", "Invalid filename.\n");
  expect_run(run(karvel, {"--", f}), 1, "", "Invalid filename.\n");
  expect_run(run(karvel, {""}), 1, "", "Invalid filename.\n");
  expect_run(run(karvel, {dir.path}), 1, "", "Invalid filename.\n");
  // A file that happens to be called like an unknown option is read.
  dir.file("-z", " 1\nZ 0\n");
  expect_run(run(karvel, {"-R", "-z"}, "", dir.path), 0, "Z\t 0.00000E+00\n", "");
}

TEST(Karvel, WrongFileFormat) {
  scratch_dir dir;
  const std::string good_x = dir.file("good", " 1\nA 0\n"), good_p = dir.file("good.phy", " 1\nAbcdefghij0\n"),
                    good_t = dir.file("good.tsv", "\tA\nA\t0\n");
  struct {
    const char *layout, *text;
  } cases[] = {{"-x", "x\n"},
               {"-x", "2\nA 0,5 0\nB 0.5 0\n"},
               {"-x", "1\nA 1e39\n"},
               {"-x", "1\nA 1.\n"},
               {"-x", "1\nA .5\n"},
               {"-x", "4294967296\n"},
               {"-x", "2\nHomo sapiens 0 1\nB 1 0\n"},
               // Text glued to a row's last number, in each layout.
               {"-x", "2\nA 0 0,5\nB 0.5 0\n"},
               {"-x", "2\nA 0\n0.25.3\nB 0.25 0\n"},
               {"-x", "2\nA 0 8\nB 8 0x1p3\n"},
               {"-x", "1\nA 1.5abc"},
               {"-p", "2\nA         0 0,5\nB         0.5 0\n"},
               {"-p", "2\nA         0 1\nB         1 0x1p3\n"},
               {"-t", "\tA\tB\nA\t0\t0.25.3\nB\t0.25\t0\n"},
               {"-t", "\tA\tB\nA\t0\t1\nB\t1\t1.5abc\r\n"}};
  for (const auto &c : cases) {
    const std::string good = c.layout[1] == 'p' ? good_p : c.layout[1] == 't' ? good_t : good_x;
    const std::string bad = dir.file("bad", c.text);
    const run_result r = run(karvel, {c.layout, "-R", good, bad, good});
    expect_run(r, 1, c.layout[1] == 'p' ? "Abcdefghij\t 0.00000E+00\n" : "A\t 0.00000E+00\n", "Wrong file format.\n");
  }
}

TEST(Karvel, Diagnostics) {
  scratch_dir dir;
  struct {
    std::vector<std::string> args;
    const char *name, *text;
    std::string err;
  } cases[] = {
      {{},
       "primates.phy",
       "3\nA 0 1 1\nB 1 0 1\nC -0.5 1 0\n",
       "karvel: primates.phy:4: range_error: distance -0.5 is negative\n"},
      {{}, "count", "\n0\n", "karvel: count:2: range_error: taxon count 0 is outside 1 to 5000\n"},
      {{}, "big", "5001\n", "karvel: big:1: range_error: taxon count 5001 is outside 1 to 5000\n"},
      {{"-t"},
       "notabs",
       "A B\nA\t0\n",
       "karvel: notabs:2: range_error: the header line holds 0 tabs; the taxon count must be 1 to 5000\n"},
      {{}, "short", "2\nA 0 1\nB 1\n", "karvel: short:3: end_of_input: the input ends where a number was expected\n"},
      {{"-l"},
       "one",
       "2\nA 0 1\nB 1 0\n",
       "karvel: one:4: range_error: cell (1, 2), D = 1: -log(1-D) of D = 1 is infinite\n"},
      {{"-l"},
       "above",
       "2\nA 0 1.5\nB 1.5 0\n",
       "karvel: above:4: argument_error: cell (1, 2), D = 1.5: -log(1-D) is undefined for D above 1\n"},
      {{"-a"},
       "four",
       "2\nA 0 4\nB 4 0\n",
       "karvel: four:4: argument_error: cell (1, 2), D = 4: arcsin(sqrt(D)) is undefined for D above 1\n"},
      {{"-q"},
       "huge",
       "2\nA 0 2e19\nB 2e19 0\n",
       "karvel: huge:4: range_error: cell (1, 2), D = 2e+19: D^2 overflows single precision\n"},
  };
  for (const auto &c : cases) {
    dir.file(c.name, c.text);
    std::vector<std::string> args = c.args;
    args.push_back(c.name);
    expect_run(run(karvel, args, "", dir.path), 1, "", c.err);
  }
  // A failing matrix prints nothing; what came before stays.
  dir.file("twoblank", "1\nA 0\n\n\n5\n");
  expect_run(run(karvel, {"twoblank"}, "", dir.path), 1, " 1\nA\t 0.00000E+00\n",
             "karvel: twoblank:5: end_of_input: the input ends where a word was expected\n");
  // Between tab-separated matrices an empty line is a header of no taxa; a line of tabs
  // alone is a header, also after the last matrix; a carriage return on a blank line
  // before a header is no number.
  dir.file("gap.tsv", "\tA\nA\t0\n\n\tB\nB\t0\n");
  expect_run(run(karvel, {"-t", "-R", "gap.tsv"}, "", dir.path), 1, "A\t 0.00000E+00\n",
             "karvel: gap.tsv:4: range_error: the header line holds 0 tabs; the taxon count must be 1 to 5000\n");
  dir.file("tabs.tsv", "\t\t\nA\t0\t1\nB\t1\t0\n\t\t\n\n");
  expect_run(run(karvel, {"-t", "-R", "tabs.tsv"}, "", dir.path), 0,
             "A\t 0.00000E+00\t 1.00000E+00\nB\t 1.00000E+00\t 0.00000E+00\n", "");
  dir.file("cr", "1\nA 0\n\n \r\n1\nB 0\n");
  expect_run(run(karvel, {"-R", "cr"}, "", dir.path), 1, "A\t 0.00000E+00\n", "Wrong file format.\n");
  dir.file("mixed", "1\nA 0\n2\nB 0 1\nC -1 0\n");
  expect_run(run(karvel, {"-R", "mixed"}, "", dir.path), 1, "A\t 0.00000E+00\n",
             "karvel: mixed:5: range_error: distance -1 is negative\n");
  expect_run(run(karvel, {"-"}, "2\nA 0 1\n"), 1, "",
             "karvel: standard input:2: end_of_input: the input ends where a word was expected\n");
}

TEST(Karvel, OutputThatCannotBeWritten) {
  scratch_dir dir;
  const std::string f = dir.file("m", worked_example);
  run_result r = run(karvel, {f}, "", "", "/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "karvel: standard output: write error: No space left on device\n");
}

} // namespace
