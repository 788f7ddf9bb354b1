// The phylo command, run as a program: outputs byte for byte, exit statuses, messages.
#include "run_program.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using phylo::test::run_result;
using phylo::test::scratch_dir;
using phylo::test::slurp;

const std::string samples = SAMPLES_DIR;

void spill(const std::string &path, const std::string &text) { phylo::test::write_file(path, text); }

// The names in a folder, sorted.
std::vector<std::string> entries(const std::string &folder) {
  std::vector<std::string> names;
  if (DIR *d = ::opendir(folder.c_str())) {
    while (dirent *e = ::readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.emplace_back(e->d_name);
    ::closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Runs phylo with the arguments, `input` on its standard input.
run_result run(const std::vector<std::string> &args, const std::string &input = "") {
  return phylo::test::run(PHYLO_PATH, args, input);
}

const char *const square3 = "3\nA 0 1 2\nB 1 0 3\nC 2 3 0\n";
const char *const asymmetric = "2\nA 0 1\nB 2 0\n";

struct cli_case {
  const char *name;
  std::vector<std::string> args;
  std::string input;
  int status;
  std::string out;
  std::string err;
};

const cli_case cases[] = {
    {"default: relaxed out of a lower triangle",
     {"convert"},
     "2\nA\nB 0.25\n",
     0,
     " 2\nA\t 0.00000E+00\t 2.50000E-01\nB\t 2.50000E-01\t 0.00000E+00\n",
     ""},
    {"phylip-lower",
     {"convert", "--to=phylip-lower"},
     square3,
     0,
     " 3\nA         \nB         \t 1.00000E+00\nC         \t 2.00000E+00\t 3.00000E+00\n",
     ""},
    {"relaxed-lower, short options, transformation",
     {"convert", "-t", "relaxed-lower", "-xsquare", "-"},
     "3\nAlpha     \nBeta gamma 1\nC          2 3\n",
     0,
     " 3\nAlpha     \nBeta_gamma\t 1.00000E+00\nC         \t 4.00000E+00\t 9.00000E+00\n",
     ""},
    {"relaxed-lower of a PHYLIP label with a blank",
     {"convert", "--to", "relaxed-lower", "--transform=square"},
     "3\nAlpha     \nBeta gamma 1\nC          2 3\n",
     0,
     " 3\nAlpha     \nBeta_gamma\t 1.00000E+00\nC         \t 4.00000E+00\t 9.00000E+00\n",
     ""},
    {"nexus",
     {"convert", "--to=nexus"},
     "2\nA\nO'Brien 0.5\n",
     0,
     "#NEXUS\n\nbegin taxa;\n\tdimensions ntax=2;\n\ttaxlabels\n\t\tA\n\t\t'O''Brien'\n\t;\nend;\n\n"
     "begin distances;\n\tdimensions ntax=2;\n\tformat triangle=lower diagonal labels missing=?;\n\tmatrix\n"
     "\t\tA\t0\n\t\t'O''Brien'\t0.5\t0\n\t;\nend;\n",
     ""},
    {"nexus back to karvel's pairs",
     {"convert", "--to=pairs"},
     "#NEXUS\nbegin taxa; dimensions ntax=2; taxlabels A 'O''Brien'; end;\n"
     "begin distances; matrix A 0 'O''Brien' 0.5 0; end;\n",
     0,
     "O'Brien\tA\t 5.00000E-01\n",
     ""},
    {"asymmetric: a warning, and the matrix as it stands",
     {"convert", "--to=tsv"},
     asymmetric,
     0,
     "\tA\tB\nA\t 0.00000E+00\t 1.00000E+00\nB\t 2.00000E+00\t 0.00000E+00\n",
     "phylo: standard input:1: warning: the matrix is not symmetric: row 2 ('B'), column 1 holds 2, but row 1, "
     "column 2 holds 1 (tolerance 0)\n"},
    {"asymmetric, quiet",
     {"convert", "-q", "--to=raw"},
     asymmetric,
     0,
     "A\t 0.00000E+00\t 1.00000E+00\nB\t 2.00000E+00\t 0.00000E+00\n",
     ""},
    {"asymmetric refused by --check",
     {"convert", "--check"},
     asymmetric,
     1,
     "",
     "phylo: standard input:1: the matrix is not symmetric: row 2 ('B'), column 1 holds 2, but row 1, column 2 "
     "holds 1 (tolerance 0)\n"},
    {"asymmetric within --check=1",
     {"convert", "--check=1", "--to=raw"},
     asymmetric,
     0,
     "A\t 0.00000E+00\t 1.00000E+00\nB\t 2.00000E+00\t 0.00000E+00\n",
     ""},
    {"symmetrize from the mean",
     {"convert", "-c", "--symmetrize=mean", "--to=raw"},
     asymmetric,
     0,
     "A\t 0.00000E+00\t 1.50000E+00\nB\t 1.50000E+00\t 0.00000E+00\n",
     ""},
    {"symmetrize from the upper triangle",
     {"convert", "--symm=upper", "--to=raw"},
     asymmetric,
     0,
     "A\t 0.00000E+00\t 1.00000E+00\nB\t 1.00000E+00\t 0.00000E+00\n",
     ""},
    {"labels that phylip would cut alike",
     {"convert", "--check", "--to=phylip"},
     "2\nLambda_longname\nLambda_longer 1\n",
     1,
     "",
     "phylo: standard input:1: the labels of taxa 1 ('Lambda_longname') and 2 ('Lambda_longer') are written alike "
     "in this layout, as 'Lambda_lon'\n"},
    {"a transformation that fails",
     {"convert", "--transform=neglog"},
     "2\nA\nB 1\n",
     1,
     "",
     "phylo: standard input:1: the transformation fails: "},
    {"no matrix at all", {"convert"}, "\n\n", 1, "", "phylo: standard input: holds no distance matrix\n"},
    {"ambiguous labels",
     {"convert"},
     "2\nAlpha_00001\nBetaa_00002 0.1\n",
     1,
     "",
     "phylo: standard input:1: the rows read both with label words and with 10-character PHYLIP labels, and the "
     "two readings differ (label 1 is 'Alpha_00001' or 'Alpha_0000'); say --from=phylip or --from=relaxed\n"},
    {"ambiguity settled",
     {"convert", "--from=relaxed", "--to=pairs"},
     "2\nAlpha_00001\nBetaa_00002 0.1\n",
     0,
     "Betaa_00002\tAlpha_00001\t 1.00000E-01\n",
     ""},
    {"cut labels that would be equal are no reading",
     {"convert", "--to=pairs"},
     "2\nSequence_01\nSequence_02 0.1\n",
     0,
     "Sequence_02\tSequence_01\t 1.00000E-01\n",
     ""},
    {"unknown option",
     {"convert", "--frm=x"},
     "",
     2,
     "",
     "phylo: convert: unknown option '--frm'\nTry 'phylo convert --help' for more information.\n"},
    {"unknown layout",
     {"convert", "--to=fasta"},
     "",
     2,
     "",
     "phylo: convert: --to=fasta is not one of relaxed, phylip, tsv, nexus-paup, nexus-paup-quoted, pairs, raw, "
     "phylip-lower, relaxed-lower, nexus\nTry 'phylo convert --help' for more information.\n"},
    {"missing value of an option",
     {"convert", "-o"},
     "",
     2,
     "",
     "phylo: convert: option '-o' needs a value\nTry 'phylo convert --help' for more information.\n"},
    {"value given to a flag",
     {"convert", "--quiet=yes"},
     "",
     2,
     "",
     "phylo: convert: option '--quiet' takes no value\nTry 'phylo convert --help' for more information.\n"},
    {"bad tolerance",
     {"convert", "--check=-1"},
     "",
     2,
     "",
     "phylo: convert: --check=-1: the tolerance must be a number of at least 0\nTry 'phylo convert --help' for "
     "more information.\n"},
    {"no command", {}, "", 2, "", "Usage: phylo COMMAND"},
    {"unknown command",
     {"frobnicate"},
     "",
     2,
     "",
     "phylo: unknown command 'frobnicate'\nTry 'phylo --help' for more information.\n"},
    {"version", {"--version"}, "", 0, "phylo " PHYLO_VERSION "\n", ""},
    {"missing file",
     {"convert", "/nonexistent/file"},
     "",
     1,
     "",
     "phylo: /nonexistent/file: No such file or directory\n"},
    {"phangorn's NEXUS",
     {"convert", samples + "/phangorn_raw_lower.nex"},
     "",
     1,
     "",
     "phylo: " + samples +
         "/phangorn_raw_lower.nex:5: TAXLABELS lists more labels than the 12 taxa of NTAX ('Mu' is one too many): "
         "a label with a blank inside must be enclosed in single quotes\n"},
};

TEST(PhyloCli, Runs) {
  for (const cli_case &c : cases) {
    SCOPED_TRACE(c.name);
    run_result r = run(c.args, c.input);
    EXPECT_EQ(r.status, c.status) << r.err;
    if (c.status != 0 && c.out.empty()) EXPECT_EQ(r.out, "");
    else if (c.args.empty()) EXPECT_EQ(r.out, "");
    else EXPECT_EQ(r.out, c.out);
    if (c.err.empty()) EXPECT_EQ(r.err, "");
    else if (c.err.back() == '\n') EXPECT_EQ(r.err, c.err);
    else EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << r.err;
  }
}

TEST(PhyloCli, FullDiskIsAFailure) {
  run_result r = phylo::test::run(PHYLO_PATH, {"convert"}, "1\nA 0\n", "", "/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "phylo: standard output: write error: No space left on device\n");
}

TEST(PhyloCli, HelpTexts) {
  run_result top = run({"--help"});
  EXPECT_EQ(top.status, 0);
  EXPECT_EQ(top.out.rfind("Usage: phylo COMMAND", 0), 0u);
  EXPECT_NE(top.out.find("  convert   "), std::string::npos);
  for (auto args : {std::vector<std::string>{"convert", "--help"}, {"help", "convert"}, {"convert", "-h"}}) {
    run_result r = run(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: phylo convert [OPTION]... [FILE]...\n", 0), 0u);
    EXPECT_EQ(r.err, "");
  }
}

// Every well-formed sample converts; each lower triangle gives what its square gives.
TEST(PhyloCli, SamplesConvert) {
  for (const char *name : {"dnadist_square.dist", "dnadist_lower.dist", "mothur_aln12.lt.dist", "clearcut_aln12.dist",
                           "skbio_identity.lsmat", "biopython_identity.phy"}) {
    SCOPED_TRACE(name);
    run_result r = run({"convert", "--check", "--to=relaxed", samples + "/" + name});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind(" 12\n", 0), 0u);
  }
  run_result square = run({"convert", "--to=phylip", samples + "/dnadist_square.dist"});
  run_result lower = run({"convert", "--to=phylip", samples + "/dnadist_lower.dist"});
  EXPECT_EQ(square.out, lower.out);
  // Several inputs, standard input among them, are written one after the other.
  run_result both = run({"convert", "--to=phylip", samples + "/dnadist_lower.dist", "-"}, "1\nX 0\n");
  EXPECT_EQ(both.out, square.out + " 1\nX         \t 0.00000E+00\n");
}

TEST(PhyloCli, OutputFileAppearsOnlyOnSuccess) {
  scratch_dir dir;
  const std::string target = dir.path + "/out.dist";
  run_result ok = run({"convert", "-o", target, "--to=raw"}, "1\nA 0\n");
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ok.out, "");
  EXPECT_EQ(slurp(target), "A\t 0.00000E+00\n");
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);

  // The second input fails: the first matrix was converted, but the file stays as it was.
  const std::string bad = dir.path + "/bad.dist";
  spill(bad, "2\nA 0 1\nB one 0\n");
  run_result fail = run({"convert", "--output=" + target, "-", bad}, "1\nB 0\n");
  EXPECT_EQ(fail.status, 1);
  EXPECT_EQ(fail.err.rfind("phylo: " + bad + ":3: ", 0), 0u) << fail.err;
  EXPECT_EQ(slurp(target), "A\t 0.00000E+00\n");
  EXPECT_EQ(entries(dir.path), (std::vector<std::string>{"bad.dist", "out.dist"})) << "no temporary file is left";

  // The input may be the output.
  run_result in_place = run({"convert", "--to=raw", "-o", target, "--from=tsv", target}, "");
  EXPECT_EQ(in_place.status, 1) << "raw output is not tsv input";
  spill(target, "1\nA 0\n");
  in_place = run({"convert", "--to=phylip", "-o", target, target});
  EXPECT_EQ(in_place.status, 0) << in_place.err;
  EXPECT_EQ(slurp(target), " 1\nA         \t 0.00000E+00\n");

  run_result nowhere = run({"convert", "-o", dir.path + "/no/such/folder/out"}, "1\nA 0\n");
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_NE(nowhere.err.find("cannot create a file beside it"), std::string::npos) << nowhere.err;
}

} // namespace
