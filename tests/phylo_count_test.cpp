// phylo count run as a program: the quartet and triplet counts and their limits.
#include "run_program.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using phylo::test::run;
using phylo::test::run_result;

const std::string phylo_path = PHYLO_PATH;

TEST(PhyloCount, CountsWithinTheLimit) {
  struct {
    std::string what, n, out;
  } cases[] = {
      {"quartets", "4", "1\n"},
      {"quartets", "5", "5\n"},
      {"quartets", "10", "210\n"},
      {"quartets", "477", "2130031575\n"},
      {"triplets", "3", "1\n"},
      {"triplets", "10", "120\n"},
      {"triplets", "2345", "2146453540\n"},
      {"triplets", "0004", "4\n"},
  };
  for (const auto &c : cases) {
    const run_result r = run(phylo_path, {"count", c.what, c.n});
    EXPECT_EQ(r.status, 0) << c.what << " " << c.n;
    EXPECT_EQ(r.out, c.out) << c.what << " " << c.n;
    EXPECT_EQ(r.err, "") << c.what << " " << c.n;
  }
}

TEST(PhyloCount, CountsOutOfRangeGiveTheLibraryMessage) {
  struct {
    std::string what, n;
  } cases[] = {
      {"quartets", "478"},
      {"quartets", "3"},
      {"quartets", "0"},
      {"quartets", "5000"},
      {"quartets", "99999999999999999999"},
      {"triplets", "2346"},
      {"triplets", "2"},
      {"triplets", "0"},
      {"triplets", "2147483647"},
  };
  for (const auto &c : cases) {
    const run_result r = run(phylo_path, {"count", c.what, c.n});
    EXPECT_EQ(r.status, 1) << c.what << " " << c.n;
    EXPECT_EQ(r.out, "") << c.what << " " << c.n;
    EXPECT_EQ(r.err, c.what == "quartets" ? "Too many quartets.\n" : "Too many triplets.\n") << c.n;
  }
}

TEST(PhyloCount, CommandLineMistakes) {
  const std::vector<std::string> cases[] = {
      {"count"},
      {"count", "quartets"},
      {"count", "pairs", "5"},
      {"count", "quartets", "x"},
      {"count", "quartets", "5", "6"},
      {"count", "quartets", "-3"},
      {"count", "triplets", "1.5"},
      {"count", "quartets", ""},
  };
  for (const auto &args : cases) {
    const run_result r = run(phylo_path, args);
    EXPECT_EQ(r.status, 2) << args.back();
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Try 'phylo count --help'"), std::string::npos) << r.err;
  }
  const run_result help = run(phylo_path, {"count", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: phylo count quartets|triplets N\n", 0), 0u);
}

} // namespace
