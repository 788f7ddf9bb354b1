// The current input and output at their edges, and karvel's run in-process.
#include "phylo/io.hpp"
#include "phylo/phylo.hpp"
#include "run.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

// An empty std::string_view holds a null pointer; it must read and write as empty text (it
// once reached memcpy, which is undefined for a null pointer even with a length of 0).
TEST(InputOutput, EmptyViewsWithoutAPointer) {
  phylo::input_source in = phylo::input_source::from_text(std::string_view{});
  EXPECT_EQ(in.peek(), -1);
  EXPECT_TRUE(in.buffered().empty());
  std::string target = "kept";
  {
    phylo::output_sink out = phylo::output_sink::to_string(target);
    out.write(std::string_view{});
    out.write("");
    out.flush();
  }
  EXPECT_EQ(target, "kept");
}

TEST(KarvelRun, InProcess) {
  struct {
    std::vector<std::string> args;
    std::string input;
    int status;
    std::string out, err;
  } cases[] = {
      {{"-R", "-"}, "2\nA 0 1\nB 1 0\n", 0, "A\t 0.00000E+00\t 1.00000E+00\nB\t 1.00000E+00\t 0.00000E+00\n", ""},
      {{"-t", "-O", "-"}, "\tA B\tC\nA B\t0\t1\nC\t1\t0\n", 0, "C\tA B\t 1.00000E+00\n", ""},
      {{"-"}, "2\nA 0,5 0\nB 0.5 0\n", 1, "", "Wrong file format.\n"},
      {{"-", "-"}, "1\nA 0\n", 0, " 1\nA\t 0.00000E+00\n", ""}, // the second "-" finds the input at its end
      {{"-l", "-"}, "2\nA 0 1\nB 1 0\n", 1, "",
       "prog: standard input:3: range_error: cell (1, 2), D = 1: -log(1-D) of D = 1 is infinite\n"},
  };
  for (const auto &c : cases) {
    std::string out, err;
    phylo::input_source in = phylo::input_source::from_text(c.input, "standard input");
    phylo::output_sink out_sink = phylo::output_sink::to_string(out), err_sink = phylo::output_sink::to_string(err);
    EXPECT_EQ(karvel::run("/bin/prog", c.args, in, out_sink, err_sink), c.status);
    out_sink.flush();
    err_sink.flush();
    EXPECT_EQ(out, c.out);
    EXPECT_EQ(err, c.err);
  }
}

} // namespace
