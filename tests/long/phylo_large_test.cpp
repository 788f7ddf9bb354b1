// phylo convert beyond karvel's 5000 taxa: a square of 12,000 and a lower triangle of 20,000
// taxa read and written whole, with memory for the matrix and little more.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// The distance between taxa i and j (from 0), small enough to be written as one digit.
int cell(std::size_t i, std::size_t j) { return i == j ? 0 : static_cast<int>((i + j) % 9 + 1); }

std::string label(std::size_t i) { return "t" + std::to_string(i + 1); }

// Writes the matrix in the relaxed layout: all of it, or its lower triangle.
void write_input(const std::string &path, std::size_t n, bool lower) {
  std::FILE *f = std::fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::string row;
  std::fprintf(f, "%zu\n", n);
  for (std::size_t i = 0; i < n; ++i) {
    row = label(i);
    for (std::size_t j = 0; j < (lower ? i : n); ++j) {
      row += ' ';
      row += static_cast<char>('0' + cell(i, j));
    }
    row += '\n';
    std::fwrite(row.data(), 1, row.size(), f);
  }
  ASSERT_EQ(std::fclose(f), 0);
}

// Reads phylo's lower triangle in the relaxed layout from a pipe and checks every row.
std::string check_lower_output(std::FILE *from, std::size_t n) {
  std::string pending, problem;
  std::size_t line = 0;
  char buf[1 << 16];
  auto check_line = [&](const std::string &text) {
    if (!problem.empty()) return;
    if (line == 0) {
      if (text != " " + std::to_string(n)) problem = "count line: " + text;
      return;
    }
    const std::size_t i = line - 1;
    std::string want = label(i);
    want.resize(label(n - 1).size(), ' ');
    for (std::size_t j = 0; j < i; ++j) want += "\t " + std::to_string(cell(i, j)) + ".00000E+00";
    if (text != want) problem = "row " + std::to_string(i + 1) + " differs: " + text.substr(0, 60);
  };
  for (std::size_t got; (got = std::fread(buf, 1, sizeof buf, from)) > 0;) {
    pending.append(buf, static_cast<std::size_t>(got));
    std::size_t start = 0;
    for (std::size_t nl; (nl = pending.find('\n', start)) != std::string::npos; start = nl + 1, ++line)
      check_line(pending.substr(start, nl - start));
    pending.erase(0, start);
  }
  if (problem.empty() && (line != n + 1 || !pending.empty()))
    problem = std::to_string(line) + " lines where " + std::to_string(n + 1) + " were expected";
  return problem;
}

TEST(PhyloLarge, MatricesBeyond5000Taxa) {
  struct {
    std::size_t n;
    bool lower;
  } cases[] = {{12000, false}, {20000, true}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.n);
    const std::string input =
        (std::filesystem::temp_directory_path() / ("phylo_large_" + std::to_string(::getpid()) + ".dist")).string();
    write_input(input, c.n, c.lower);
    const std::string command = std::string(PHYLO_PATH) + " convert --to=relaxed-lower " + input + " 2>&1";
    std::FILE *from = ::popen(command.c_str(), "r");
    ASSERT_NE(from, nullptr);
    const std::string problem = check_lower_output(from, c.n);
    const int status = ::pclose(from);
    std::filesystem::remove(input);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(problem, "");
    // The matrix and little more: 4 n^2 bytes and 64 MiB (the largest child so far is this run).
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    EXPECT_LE(usage.ru_maxrss, static_cast<long>((4 * c.n * c.n + (std::size_t{64} << 20)) / 1024));
  }
}

} // namespace
