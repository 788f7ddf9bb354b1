// phylo align run as a program: FASTA alignments in, character matrices out, byte for byte;
// refusals that name the sequence and the line.
#include "run_program.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using phylo::test::run;
using phylo::test::run_result;
using phylo::test::scratch_dir;

const std::string phylo_path = PHYLO_PATH;

// The closing block of a NEXUS character matrix, line by line as its table gives it.
const std::string footer = "\t;\n"
                           "end;\n"
                           "\n"
                           "begin paup;\n"
                           "\tset torder=left tcompress taxlabels=full outroot=monophyl\n"
                           "\t\tautoclose maxtrees=1000 increase=auto autoinc=1000\n"
                           "\t\tstoretreewts storebrlens rootmethod=outgroup\n"
                           "\t\twarnroot=no;\n"
                           "\tpset opt=deltran collapse=minbrlen;\n"
                           "\tdset dcollapse distance=hky85 missdist=ignore rates=equal\n"
                           "\t\tpinvar=0;\n"
                           "\tdefaults nj bionj breakties=random;\n"
                           "\tdefaults upgma bionj breakties=random;\n"
                           "\tdefaults bootstrap grpfreq=no;\n"
                           "\tdefaults contree grpfreq=no;\n"
                           "\tdefaults hsearch addseq=random;\n"
                           "\tdefaults savedist triangle=both;\n"
                           "end;\n"
                           "\n";

// The sequence set of the NEXUS worked example: seq1 ACGTACGTACGT and s2 ACGTAC-TACGT.
const std::string example_fasta = ">seq1\nACGTACGTACGT\n>s2\nACGTAC-TACGT\n";

TEST(PhyloAlign, WorkedExampleInEveryLayout) {
  const std::string nexus_head = "#NEXUS\n\nbegin data;\n\tdimensions ntax= 2 nchar= 12;\n"
                                 "\tformat datatype=nucleotide gap=- missing=?;\n\tmatrix\n";
  struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"align", "--to=nexus-paup"},
       nexus_head +
           "[   \t        10        20]\n[   \t         .         .]\nseq1\tACGTACGTACGT\ns2  \tACGTAC-TACGT\n" +
           footer},
      {{"align", "--to=nexus-paup-quoted"},
       nexus_head +
           "[     \t        10        20]\n[     \t         .         .]\n'seq1'\tACGTACGTACGT\n's2'  "
           "\tACGTAC-TACGT\n" +
           footer},
      {{"align"}, " 2\t 12\nseq1\tACGTACGTACGT\ns2  \tACGTAC-TACGT\n"},
      {{"align", "-t", "relaxed"}, " 2\t 12\nseq1\tACGTACGTACGT\ns2  \tACGTAC-TACGT\n"},
      {{"align", "--to", "phylip"}, " 2\t 12\nseq1      \tACGTACGTACGT\ns2        \tACGTAC-TACGT\n"},
  };
  for (const auto &c : cases) {
    const run_result r = run(phylo_path, c.args, example_fasta);
    EXPECT_EQ(r.status, 0) << c.args.back();
    EXPECT_EQ(r.out, c.out) << c.args.back();
    EXPECT_EQ(r.err, "") << c.args.back();
  }
}

TEST(PhyloAlign, SequenceLinesAreJoinedAndPointsAreGaps) {
  // The same alignment wrapped, with blanks, a carriage return, an empty line and '.' for '-'.
  const std::string wrapped = ">seq1 \r\nACGT ACGT\n\nACGT\n>s2\nACGTAC.T\nACGT\n";
  const run_result r = run(phylo_path, {"align", "--to=phylip"}, wrapped);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, " 2\t 12\nseq1      \tACGTACGTACGT\ns2        \tACGTAC-TACGT\n");
}

TEST(PhyloAlign, OneMatrixPerFileAndStandardInputByDash) {
  scratch_dir d;
  const std::string a = d.file("a.fa", ">x\nAC\n>y\nAG\n");
  const run_result r = run(phylo_path, {"align", a, "-", a}, ">z\nT\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, " 2\t 2\nx\tAC\ny\tAG\n 1\t 1\nz\tT\n 2\t 2\nx\tAC\ny\tAG\n");
}

// Every refusal names the input, the line and the sequence; nothing of that input is written.
TEST(PhyloAlign, RefusalsNameTheSequenceAndTheLine) {
  const std::string codes = " is not a nucleotide code (A, C, G, T, the IUPAC codes R, Y, M, K, S, W, H, B, V, D, N "
                            "in either case, '-', '.' or '?')\n";
  struct {
    std::string fasta;
    std::string err;
  } cases[] = {
      {">a\nACGT\n>b\nACGU\n", "phylo: standard input:4: column 4: 'U' in sequence 'b'" + codes},
      {">a\nACGT\n>b\nAC\n  Ex\n", "phylo: standard input:5: column 3: 'E' in sequence 'b'" + codes},
      {">a\nAC\xe9T\n>b\nACGT\n", "phylo: standard input:2: column 3: \\xE9 in sequence 'a'" + codes},
      {"AXGT\n>a\nACGT\n", "phylo: standard input:1: column 2: 'X' in sequence 'a'" + codes},
      {">a\nACGT\n>b\nACG\n>c\nACGT\n",
       "phylo: standard input:3: sequence 'b' has 3 residues, but the first sequence, 'a', has 4: the sequences "
       "are not aligned\n"},
      {">a\nACGT\n>\nACGT\n", "phylo: standard input:3: sequence 2 has no label (its header line holds '>' alone)\n"},
      {">  \t\nACGT\n", "phylo: standard input:1: sequence 1 has no label (its header line holds '>' alone)\n"},
      {">a\n>b\nACGT\n", "phylo: standard input:1: sequence 'a' has no residues\n"},
      {">a\nACGT\n\n>b\n\n", "phylo: standard input:4: sequence 'b' has no residues\n"},
      {"ACGT\nACGT\n", "phylo: standard input:1: the sequence has no header line ('>' followed by its label)\n"},
      {"", "phylo: standard input: holds no sequences\n"},
      {" \n\n", "phylo: standard input: holds no sequences\n"},
  };
  for (const auto &c : cases) {
    for (const char *to : {"--to=phylip", "--to=nexus-paup"}) {
      const run_result r = run(phylo_path, {"align", to}, c.fasta);
      EXPECT_EQ(r.status, 1) << c.fasta;
      EXPECT_EQ(r.out, "") << c.fasta;
      EXPECT_EQ(r.err, c.err) << c.fasta;
    }
  }
}

TEST(PhyloAlign, TooManySequencesNamesTheFirstOneTooMany) {
  std::string fasta;
  for (int i = 1; i <= 5001; ++i) fasta += ">s" + std::to_string(i) + "\nAC\n";
  const run_result r = run(phylo_path, {"align"}, fasta);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "phylo: standard input:10001: sequence 's5001' is one more than the 5000 sequences allowed\n");
}

TEST(PhyloAlign, WarnsAboutLabelsTheLayoutWritesAlike) {
  const std::string fasta = ">Homo sapiens 1\nAC\n>Homo sapiens 2\nAG\n";
  run_result r = run(phylo_path, {"align", "--to=phylip"}, fasta);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, " 2\t 2\nHomo sapie\tAC\nHomo sapie\tAG\n");
  EXPECT_EQ(r.err,
            "phylo: standard input: warning: the labels 'Homo sapiens 1' and 'Homo sapiens 2' are written alike\n");
  EXPECT_EQ(run(phylo_path, {"align", "-q", "--to=phylip"}, fasta).err, "");
  EXPECT_EQ(run(phylo_path, {"align"}, fasta).err, ""); // whole labels differ
  r = run(phylo_path, {"align", "--to=nexus-paup"}, ">(x)\nAC\n>()\nAG\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "phylo: standard input: warning: the label '()' is written as nothing\n");
}

TEST(PhyloAlign, OutputFileOnlyWhenAllWentWell) {
  scratch_dir d;
  const std::string good = d.file("good.fa", example_fasta), bad = d.file("bad.fa", ">a\nAC\n>b\nA\n");
  const std::string out = d.path + "/out.phy";
  run_result r = run(phylo_path, {"align", "-o", out, good, bad});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(phylo::test::slurp(out), "");    // not created
  r = run(phylo_path, {"align", good, bad}); // on standard output the first matrix stays
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, " 2\t 12\nseq1\tACGTACGTACGT\ns2  \tACGTAC-TACGT\n");
  r = run(phylo_path, {"align", "--output=" + out, good});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(phylo::test::slurp(out), " 2\t 12\nseq1\tACGTACGTACGT\ns2  \tACGTAC-TACGT\n");
}

TEST(PhyloAlign, CommandLineMistakesAndFiles) {
  EXPECT_EQ(run(phylo_path, {"align", "--to=tsv"}).status, 2); // a distance layout
  EXPECT_EQ(run(phylo_path, {"align", "--frobnicate"}).status, 2);
  const run_result r = run(phylo_path, {"align", "/nonexistent/x.fa"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("/nonexistent/x.fa"), std::string::npos);
  const run_result help = run(phylo_path, {"align", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: phylo align [OPTION]... [FILE]...\n", 0), 0u);
  EXPECT_EQ(run(phylo_path, {"help", "align"}).out, help.out);
}

} // namespace

namespace {

TEST(PhyloCharCommands, HelpFitsEightyColumns) {
  for (const char *command : {"align", "dist", "count"}) {
    const run_result r = run(phylo_path, {command, "--help"});
    EXPECT_EQ(r.status, 0) << command;
    std::size_t start = 0;
    for (std::size_t end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1)
      EXPECT_LT(end - start, 80u) << command << ": " << r.out.substr(start, end - start);
    EXPECT_EQ(start, r.out.size()) << command << ": the help ends with a line end";
  }
}

} // namespace
