// karvel at the limits: the largest matrices in every layout, huge labels and lines, bytes of
// every value, binary input, missing and failing standard streams.
#include "launch.hpp"
#include "run_program.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using phylo::test::launch;
using phylo::test::launch_result;
using phylo::test::launch_spec;
using phylo::test::scratch_dir;

const std::string karvel = KARVEL_PATH;

launch_spec with_args(std::vector<std::string> args) {
  launch_spec spec;
  spec.args = std::move(args);
  return spec;
}

// ---- The largest matrix, in every input layout to every output layout -------------------
//
// 5000 taxa named Taxon00001 ... Taxon05000 (ten characters, letters and digits only, so that
// every layout writes them alike); cell (i, j) of 0-based rows and columns holds the digit
// (3i + 7j) mod 10, which is asymmetric and places every row differently.

constexpr int big_n = 5000;

std::string big_label(int i) {
  char buf[16];
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
  const auto kinds = row_kinds(layout == "p" ? " " : "\t", [](int d) { return std::string(1, static_cast<char>('0' + d)); });
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

const char *const nexus_trailer = "\t;\nend;\n\nbegin paup;\n"
                                  "\tset torder=left tcompress taxlabels=full outroot=monophyl\n"
                                  "\t\tautoclose maxtrees=1000 increase=auto autoinc=1000\n"
                                  "\t\tstoretreewts storebrlens rootmethod=outgroup\n"
                                  "\t\twarnroot=no;\n"
                                  "\tdefaults nj bionj breakties=random;\n"
                                  "\tdefaults upgma bionj breakties=random;\n"
                                  "\tdefaults contree grpfreq=no;\n"
                                  "\tdefaults hsearch addseq=random;\n"
                                  "\tdefaults savedist triangle=both;\n"
                                  "end;\n\n";

std::string image(int digit) { return std::string(" ") + static_cast<char>('0' + digit) + ".00000E+00"; }

// The whole expected output of the matrix in an output layout (by its option letter).
void expect_big_output(stream_check &check, char layout) {
  std::string line;
  if (layout == 'O') {
    for (int i = 1; i < big_n; ++i) {
      line.clear();
      const std::string first = big_label(i) + "\t";
      for (int j = 0; j < i; ++j) line.append(first).append(big_label(j)).append("\t").append(image(big_cell(i, j))).append("\n");
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
    check.expect("#NEXUS\n\nbegin distances;\n\tdimensions newtaxa ntax= 5000;\n\tformat triangle=both labels;\n\tmatrix\n");
  const auto kinds = row_kinds("\t", image);
  for (int i = 0; i < big_n; ++i) {
    line = layout == 'C' ? "'" + big_label(i) + "'" : big_label(i);
    check.expect(line.append(kinds[static_cast<std::size_t>(i % 10)]).append("\n"));
  }
  if (layout == 'N' || layout == 'C') check.expect(nexus_trailer);
}

class LargestMatrix : public ::testing::TestWithParam<std::tuple<std::string, char>> {};

TEST_P(LargestMatrix, ConvertsExactly) {
  const auto &[input_layout, output_layout] = GetParam();
  scratch_dir dir;
  const std::string input = dir.path + "/big";
  write_big_input(input, input_layout);
  std::string what;
  launch_result r = launch(karvel, with_args({"-" + input_layout, std::string("-") + output_layout, input}), [&](int fd) {
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

} // namespace
