// karvel at the limits: the largest matrices in every layout, huge labels and lines, bytes of
// every value, binary input, missing and failing standard streams.
#include "launch.hpp"
#include "run_program.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using phylo::test::launch;
using phylo::test::launch_result;
using phylo::test::launch_setup;
using phylo::test::scratch_dir;

const std::string karvel = KARVEL_PATH;

launch_setup with_args(std::vector<std::string> args) {
  launch_setup def;
  def.args = std::move(args);
  return def;
}

// ---- The largest matrix, in every input layout to every output layout -------------------
//
// 5000 taxa named Taxon00001 ... Taxon05000 (ten characters, letters and digits only, so that
// every layout writes them alike); cell (i, j) of 0-based rows and columns holds the digit
// (3i + 7j) mod 10, which is asymmetric and places every row differently.

constexpr int big_n = 5000;

std::string big_label(int i) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "Taxon%05d", i + 1);
  return buf;
}
int big_cell(int i, int j) { return (3 * i + 7 * j) % 10; }

// The cells of row i depend on i mod 10 only: the ten kinds of row, each cell preceded by sep
// and written by `cell`.
template <class F> std::vector<std::string> row_kinds(const std::string &sep, F cell) {
  std::vector<std::string> kinds(10);
  for (int i = 0; i < 10; ++i)
    for (int j = 0; j < big_n; ++j) kinds[static_cast<std::size_t>(i)].append(sep).append(cell(big_cell(i, j)));
  return kinds;
}

// Writes the input text of the matrix in a layout ("p", "x" or "t").
void write_big_input(const std::string &path, const std::string &layout) {
  std::ofstream f(path, std::ios::binary);
  if (layout == "t") {
    std::string line;
    for (int i = 0; i < big_n; ++i) line += "\t" + big_label(i);
    f << line << '\n';
  } else {
    f << (layout == "p" ? "5000\n" : " 5000 taxa\n");
  }
  const auto kinds =
      row_kinds(layout == "p" ? " " : "\t", [](int d) { return std::string(1, static_cast<char>('0' + d)); });
  for (int i = 0; i < big_n; ++i) f << big_label(i) << kinds[static_cast<std::size_t>(i % 10)] << '\n';
}

// Compares what a pipe delivers with an expected text given piece by piece.
class stream_check {
public:
  explicit stream_check(int fd) : fd_(fd) {}
  void expect(std::string_view piece) {
    while (ok_ && !piece.empty()) {
      const std::size_t n = std::min(piece.size(), buf_.size());
      if (!read_exactly(n)) {
        ok_ = false;
        what_ = "the output ends early at byte " + std::to_string(offset_);
        return;
      }
      if (std::memcmp(buf_.data(), piece.data(), n) != 0) {
        std::size_t k = 0;
        while (buf_[k] == piece[k]) ++k;
        ok_ = false;
        what_ = "the output differs at byte " + std::to_string(offset_ + k);
        return;
      }
      offset_ += n;
      piece.remove_prefix(n);
    }
  }
  // True when the output ended exactly here; drains whatever follows.
  bool finish() {
    char c;
    if (ok_ && ::read(fd_, &c, 1) == 1) {
      ok_ = false;
      what_ = "the output goes on after byte " + std::to_string(offset_);
    }
    phylo::test::drain(fd_);
    return ok_;
  }
  const std::string &what() const { return what_; }

private:
  bool read_exactly(std::size_t n) {
    for (std::size_t got = 0; got < n;) {
      const ssize_t r = ::read(fd_, buf_.data() + got, n - got);
      if (r <= 0) return false;
      got += static_cast<std::size_t>(r);
    }
    return true;
  }
  int fd_;
  std::vector<char> buf_ = std::vector<char>(1 << 16);
  std::size_t offset_ = 0;
  bool ok_ = true;
  std::string what_;
};

const std::string nexus_trailer = phylo::test::paup_trailer;

std::string image(int digit) { return std::string(" ") + static_cast<char>('0' + digit) + ".00000E+00"; }

// The whole expected output of the matrix in an output layout (by its option letter).
void expect_big_output(stream_check &check, char layout) {
  std::string line;
  if (layout == 'O') {
    for (int i = 1; i < big_n; ++i) {
      line.clear();
      const std::string first = big_label(i) + "\t";
      for (int j = 0; j < i; ++j)
        line.append(first).append(big_label(j)).append("\t").append(image(big_cell(i, j))).append("\n");
      check.expect(line);
    }
    return;
  }
  if (layout == 'P' || layout == 'E') check.expect(" 5000\n");
  if (layout == 'T') {
    for (int i = 0; i < big_n; ++i) line += "\t" + big_label(i);
    check.expect(line + "\n");
  }
  if (layout == 'N' || layout == 'C')
    check.expect(
        "#NEXUS\n\nbegin distances;\n\tdimensions newtaxa ntax= 5000;\n\tformat triangle=both labels;\n\tmatrix\n");
  const auto kinds = row_kinds("\t", image);
  for (int i = 0; i < big_n; ++i) {
    line = layout == 'C' ? "'" + big_label(i) + "'" : big_label(i);
    check.expect(line.append(kinds[static_cast<std::size_t>(i % 10)]).append("\n"));
  }
  if (layout == 'N' || layout == 'C') check.expect(nexus_trailer);
}

class LargestMatrix : public ::testing::TestWithParam<std::tuple<std::string, char>> {};

TEST_P(LargestMatrix, ConvertsExactly) {
  const std::string input_layout = std::get<0>(GetParam());
  const char output_layout = std::get<1>(GetParam());
  scratch_dir dir;
  const std::string input = dir.path + "/big";
  write_big_input(input, input_layout);
  std::string what;
  launch_result r =
      launch(karvel, with_args({"-" + input_layout, std::string("-") + output_layout, input}), [&](int fd) {
        stream_check check(fd);
        expect_big_output(check, output_layout);
        check.finish();
        what = check.what();
      });
  EXPECT_EQ(what, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, LargestMatrix,
                         ::testing::Combine(::testing::Values("p", "x", "t"),
                                            ::testing::Values('P', 'E', 'T', 'N', 'C', 'O', 'R')),
                         [](const auto &info) {
                           return std::get<0>(info.param) + "_to_" + std::string(1, std::get<1>(info.param));
                         });

// ---- Other limits, through the real binary ----------------------------------------------

struct ran {
  launch_result r;
  std::string out;
};

ran run_karvel(launch_setup def) {
  ran x;
  x.r = launch(karvel, def, phylo::test::collect_into(x.out));
  return x;
}

ran run_karvel(std::vector<std::string> args, const std::string &stdin_path = "/dev/null") {
  launch_setup def = with_args(std::move(args));
  def.stdin_path = stdin_path;
  return run_karvel(def);
}

void expect_ran(const ran &x, int status, const std::string &out, const std::string &err) {
  EXPECT_EQ(x.r.signal, 0);
  EXPECT_EQ(x.r.status, status);
  EXPECT_EQ(x.out, out);
  EXPECT_EQ(x.r.err, err);
}

TEST(Limits, MoreThan5000TaxaAreRefusedWithNothingPrinted) {
  scratch_dir dir;
  std::string row = "A";
  for (int j = 0; j < 5001; ++j) row += "\t0";
  dir.file("count", "5001\n" + row + "\n");
  dir.file("count.tsv", std::string(5001, '\t') + "\n" + row + "\n");
  dir.file("huge", "2147483647\n");
  dir.file("larger", "2147483648\n");
  struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"-p", "count"}, "karvel: count:1: range_error: taxon count 5001 is outside 1 to 5000\n"},
      {{"-x", "count"}, "karvel: count:1: range_error: taxon count 5001 is outside 1 to 5000\n"},
      {{"-t", "count.tsv"},
       "karvel: count.tsv:2: range_error: the header line holds 5001 tabs; the taxon count must be 1 to 5000\n"},
      {{"huge"}, "karvel: huge:1: range_error: taxon count 2147483647 is outside 1 to 5000\n"},
      {{"larger"}, "Wrong file format.\n"},
  };
  for (const auto &c : cases) {
    std::vector<std::string> args = c.args;
    args[args.size() - 1] = dir.path + "/" + args.back();
    ran x = run_karvel(args);
    std::string err = c.err;
    if (err.rfind("karvel: ", 0) == 0) err.insert(8, dir.path + "/");
    expect_ran(x, 1, "", err);
  }
}

TEST(Limits, HeaderPromising5000TaxaThenTheEnd) {
  scratch_dir dir;
  struct {
    std::string option, text, line, err;
  } cases[] = {
      {"-x", "5000\n", "1", "the input ends where a word was expected"},
      {"-p", "5000\n", "1", "the input ends where a character was expected"},
      {"-x", "5000\nA 0 1 2\n", "2", "the input ends where a number was expected"},
      {"-t", std::string(5000, '\t') + "\nA\t0\n", "2", "the input ends where a number was expected"},
  };
  for (const auto &c : cases) {
    const std::string f = dir.file("promise", c.text);
    ran x = run_karvel({c.option, f});
    expect_ran(x, 1, "", "karvel: " + f + ":" + c.line + ": end_of_input: " + c.err + "\n");
    // One matrix of 5000 x 5000 cells is 100 MB; the run must not take much more.
    EXPECT_LT(x.r.max_rss_kib, 400 * 1024);
  }
}

// A text of n bytes cycling through the letters.
std::string letters(std::size_t n) {
  std::string s(n, 'a');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
  return s;
}

TEST(Limits, LabelOfOneMebibyte) {
  scratch_dir dir;
  const std::string label = letters(1 << 20);
  const std::string ext = dir.file("m", "1\n" + label + " 0.5\n");
  const std::string tab = dir.file("m.tsv", "\t" + label + "\n" + label + "\t0.5\n");
  for (const std::string &f : {ext, tab}) {
    const std::string in = f == tab ? "-t" : "-x";
    expect_ran(run_karvel({in, f}), 0, " 1\n" + label + "\t 5.00000E-01\n", "");
    expect_ran(run_karvel({in, "-T", f}), 0, "\t" + label + "\n" + label + "\t 5.00000E-01\n", "");
    expect_ran(run_karvel({in, "-P", f}), 0, " 1\nabcdefghij\t 5.00000E-01\n", "");
    expect_ran(
        run_karvel({in, "-C", f}), 0,
        "#NEXUS\n\nbegin distances;\n\tdimensions newtaxa ntax= 1;\n\tformat triangle=both labels;\n\tmatrix\n'" +
            label + "'\t 5.00000E-01\n" + nexus_trailer,
        "");
  }
}

TEST(Limits, LineOf50Mebibytes) {
  scratch_dir dir;
  const std::size_t big = 50 << 20;
  const std::string long_word = letters(big), digits(big, '9'), zeros(big, '0');
  const std::string two_out = "A\t 0.00000E+00\t 1.00000E+00\nB\t 1.00000E+00\t 0.00000E+00\n";
  struct {
    std::string option;
    std::function<void(std::ofstream &)> write;
    int status;
    std::string out_head, err;
  } cases[] = {
      // The rest of a header line is ignored however long it is.
      {"-x", [&](std::ofstream &f) { f << "2 " << long_word << "\nA 0 1\nB 1 0\n"; }, 0, two_out, ""},
      // A tab-separated header of two column labels of 25 MiB each.
      {"-t",
       [&](std::ofstream &f) {
         f << "\t" << long_word.substr(big / 2) << "\t" << long_word.substr(big / 2) << "\nA\t0\t1\nB\t1\t0\n";
       },
       0, two_out, ""},
      // Numbers of 50 MiB of digits: leading zeros, a long fraction, too many digits.
      {"-x", [&](std::ofstream &f) { f << "1\nA " << zeros << "2.5\n"; }, 0, "A\t 2.50000E+00\n", ""},
      {"-x", [&](std::ofstream &f) { f << "1\nA 0." << zeros << "125e" << big + 1 << "\n"; }, 0, "A\t 1.25000E+00\n",
       ""},
      {"-x", [&](std::ofstream &f) { f << "1\nA 1." << digits << "\n"; }, 0, "A\t 2.00000E+00\n", ""},
      {"-x", [&](std::ofstream &f) { f << "1\nA " << digits << "\n"; }, 1, "", "Wrong file format.\n"},
      // A label of 50 MiB in a matrix of two.
      {"-x", [&](std::ofstream &f) { f << "2\n"
                                       << long_word << " 0 1\nB 1 0\n"; }, 0, long_word, ""},
  };
  for (const auto &c : cases) {
    const std::string path = dir.path + "/line";
    {
      std::ofstream f(path, std::ios::binary);
      c.write(f);
    }
    ran x = run_karvel({c.option, "-R", path});
    EXPECT_EQ(x.r.status, c.status);
    EXPECT_TRUE(x.out.compare(0, c.out_head.size(), c.out_head) == 0) << x.out.substr(0, 100);
    EXPECT_EQ(x.r.err, c.err);
  }
}

// Runs of 64 MiB of blanks before a header, between matrices and at the end: the reader looks
// past them without holding them (before, 64 MiB of blank lines took 130 MiB), and the lines
// that a diagnostic names after them are still right. The texts are written piece by piece:
// the test process must stay small, since the child's peak memory counts it until the exec.
TEST(Limits, LongRunsOfBlanks) {
  scratch_dir dir;
  const std::size_t n = 64 << 20;
  using text = std::vector<std::pair<std::string, std::size_t>>; // pieces and their repeat counts
  const std::string one = "A\t 0.00000E+00\n";
  struct {
    std::string option;
    text pieces;
    int status;
    std::string out, err; // err: what follows "karvel: standard input:"
  } cases[] = {
      {"-x", {{"\n", n}, {"1\nA 0\n", 1}}, 0, one, ""},
      {"-x",
       {{"\n", n}, {"2\nA 0 1\nB -1 0\n", 1}},
       1,
       "",
       std::to_string(n + 3) + ": range_error: distance -1 is negative"},
      {"-x", {{" ", n}, {"1\nA 0\n", 1}}, 0, one, ""},
      {"-x", {{"1\nA 0\n", 1}, {" \t\r\n", n / 4}}, 0, one, ""},
      {"-x", {{"\r\n", n / 2}, {"1\nA 0\n", 1}}, 1, "", "Wrong file format."},
      {"-t",
       {{"\tA\nA\t0\n", 1}, {"\n", n}, {"\tB\nB\t0\n", 1}},
       1,
       one,
       "4: range_error: the header line holds 0 tabs; the taxon count must be 1 to 5000"},
      {"-t", {{" ", n}, {"\tA\nA\t0\n", 1}, {"\n", n}}, 0, one, ""},
      {"-t",
       {{"\t\t\n", 1}, {"\t\r\n", n / 3}, {"A\t0\t1\nB\t-1\t0\n", 1}},
       1,
       "",
       std::to_string(n / 3 + 3) + ": range_error: distance -1 is negative"},
  };
  for (const auto &c : cases) {
    const std::string path = dir.path + "/blanks";
    {
      std::ofstream f(path, std::ios::binary);
      for (const auto &[piece, count] : c.pieces) {
        std::string block;
        for (std::size_t k = 0; k < std::min<std::size_t>(count, 4096); ++k) block += piece;
        for (std::size_t k = 0; k < count; k += 4096)
          f.write(block.data(), static_cast<std::streamsize>(piece.size() * std::min<std::size_t>(4096, count - k)));
      }
    }
    ran x = run_karvel({c.option, "-R", "-"}, path);
    const std::string err = c.err.empty()     ? ""
                            : c.err[0] == 'W' ? c.err + "\n"
                                              : "karvel: standard input:" + c.err + "\n";
    expect_ran(x, c.status, c.out, err);
    EXPECT_LT(x.r.max_rss_kib, 64 * 1024) << c.option << " " << c.err; // less than the run itself
  }
}

TEST(Limits, EveryByteValueInLabels) {
  scratch_dir dir;
  using namespace std::string_literals;
  // PHYLIP labels are ten characters of any value but the line feed.
  const std::string a = "A\0\x80\xff\xe9 \x9f\xa0ZQ"s, b = "B\0\0\0\0\0\0\0\0\0"s;
  const std::string phy = dir.file("m.phy", "2\n" + a + " 0 1\n" + b + " 1 0\n");
  const std::string cells_a = "\t 0.00000E+00\t 1.00000E+00\n", cells_b = "\t 1.00000E+00\t 0.00000E+00\n";
  expect_ran(run_karvel({"-p", "-P", phy}), 0, " 2\n" + a + cells_a + b + cells_b, "");
  expect_ran(run_karvel({"-p", "-T", phy}), 0, "\t" + a + "\t" + b + "\n" + a + cells_a + b + cells_b, "");
  expect_ran(run_karvel({"-p", "-E", phy}), 0, " 2\nA\0\x80\xff\xe9_\x9f\xa0ZQ"s + cells_a + b + cells_b, "");
  // NEXUS: control characters (0, 128 to 159) and the blank are cut from the ends and made '_'
  // inside; 160 to 255 are kept.
  const std::string head =
      "#NEXUS\n\nbegin distances;\n\tdimensions newtaxa ntax= 2;\n\tformat triangle=both labels;\n\tmatrix\n";
  expect_ran(run_karvel({"-p", "-N", phy}), 0,
             head + "A__\xff\xe9__\xa0ZQ" + cells_a + "B         " + cells_b + nexus_trailer, "");
  expect_ran(run_karvel({"-p", "-O", phy}), 0, b + "\t" + a + "\t 1.00000E+00\n", "");
  // Extended and tab-separated labels keep 160 to 255 and end at control characters.
  const std::string latin = "caf\xe9\xa0\xff\xdf";
  const std::string ext = dir.file("m", "1\n" + latin + " 0\n");
  expect_ran(run_karvel({"-R", ext}), 0, latin + "\t 0.00000E+00\n", "");
  const std::string tab = dir.file("m.tsv", "\t" + latin + " x\n" + latin + " x\t0\n");
  expect_ran(run_karvel({"-t", "-R", tab}), 0, latin + " x\t 0.00000E+00\n", "");
  for (const std::string &text : {"1\nA\x85"
                                  "B 0\n"s,
                                  "1\nA\0B 0\n"s}) {
    expect_ran(run_karvel({"-R", dir.file("split", text)}), 1, "", "Wrong file format.\n");
    expect_ran(run_karvel({"-t", "-R", dir.file("split.tsv", "\tA\n" + text.substr(2))}), 1, "",
               "Wrong file format.\n");
  }
}

TEST(Limits, BinaryInput) {
  scratch_dir dir;
  std::string noise(1 << 20, '\0');
  std::uint32_t x = 2463534242u; // xorshift
  for (char &c : noise) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    c = static_cast<char>(x);
  }
  const std::string random = dir.file("random", noise);
  for (const std::string &f : {random, karvel})
    for (const char *layout : {"-p", "-x", "-t"}) {
      ran x = run_karvel({layout, f});
      EXPECT_EQ(x.r.signal, 0);
      EXPECT_EQ(x.r.status, 1) << f << " " << layout;
      ASSERT_FALSE(x.r.err.empty());
      EXPECT_EQ(std::count(x.r.err.begin(), x.r.err.end(), '\n'), 1) << x.r.err;
    }
}

TEST(Limits, EmptyAndClosedStandardInput) {
  scratch_dir dir;
  const std::string f = dir.file("m", "1\nA 0\n");
  expect_ran(run_karvel({"-"}, dir.file("empty", "")), 0, "", "");
  launch_setup closed = with_args({"-"});
  closed.close_stdin = true;
  // A closed standard input cannot be read: it is reported like a file that cannot be used.
  expect_ran(run_karvel(closed), 1, "", "Invalid filename.\n");
  // Unused, it does not matter; and no file opened takes its place.
  closed.args = {"-R", f, f};
  expect_ran(run_karvel(closed), 0, "A\t 0.00000E+00\nA\t 0.00000E+00\n", "");
}

TEST(Limits, OutputThatCannotBeWritten) {
  scratch_dir dir;
  const std::string small = dir.file("m", "1\nA 0\n");
  std::string text = "1000\n";
  for (int i = 0; i < 1000; ++i) {
    text += "T" + std::to_string(i);
    for (int j = 0; j < 1000; ++j) text += " 1";
    text += "\n";
  }
  const std::string big = dir.file("big", text); // 13 MB of output: the sink fills up mid-run
  for (const std::string &f : {small, big}) {
    launch_setup full = with_args({f});
    full.stdout_path = "/dev/full";
    launch_result r = launch(karvel, full);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "karvel: standard output: write error: No space left on device\n");
    launch_setup closed = with_args({f});
    closed.close_stdout = true;
    r = launch(karvel, closed);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "karvel: standard output: write error: Bad file descriptor\n");
    // With standard error closed too there is nobody to tell: the status says it.
    closed.close_stderr = true;
    r = launch(karvel, closed);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 1);
  }
}

TEST(Limits, ReaderThatGoesAwayEndsTheRunQuietly) {
  scratch_dir dir;
  std::string text = "1000\n";
  for (int i = 0; i < 1000; ++i) {
    text += "T" + std::to_string(i);
    for (int j = 0; j < 1000; ++j) text += " 1";
    text += "\n";
  }
  const std::string big = dir.file("big", text);
  // karvel big | head -1, with SIGPIPE as the parent left it: default or ignored.
  for (bool ignored : {false, true}) {
    launch_setup def = with_args({big});
    def.ignore_sigpipe = ignored;
    std::string first;
    launch_result r = launch(karvel, def, [&](int fd) {
      char c;
      while (::read(fd, &c, 1) == 1 && c != '\n') first += c;
    });
    EXPECT_EQ(first, " 1000");
    EXPECT_EQ(r.signal, SIGPIPE);
    EXPECT_EQ(r.err, "");
  }
}

} // namespace
