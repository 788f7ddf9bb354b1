// The input primitives: characters, lines, words, and the end of the input.
#include "case_table.hpp"
#include "phylo/words.hpp"
#include "test_io.hpp"
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace phylo;
using phylo::test::text_input;

TEST(Primitives, ReadCharPassesOverLineEnds) {
  text_input in("a\n\nb\r");
  EXPECT_EQ(read::read_char(), 'a');
  EXPECT_EQ(read::read_char(), 'b');
  EXPECT_EQ(read::read_char(), '\r');
  EXPECT_THROW(read::read_char(), end_of_input);
}

TEST(Primitives, SkipLineAndAtEnd) {
  text_input in("abc\nde");
  EXPECT_FALSE(read::at_end_of_line());
  read::skip_line();
  EXPECT_EQ(read::read_char(), 'd');
  read::skip_line(); // the end of input counts as the line end
  EXPECT_TRUE(read::at_end_of_line());
  EXPECT_THROW(read::skip_line(), end_of_input);
  read::end_row();                               // quiet at the end
  text_input nul(std::string_view("\0x\nd", 4)); // a NUL byte is a character of the line
  read::skip_line();
  EXPECT_EQ(read::read_char(), 'd');
}

// at_end FORMAT TEXT: whether only blank lines are left before a header of FORMAT (P PHYLIP,
// X extended, T tab-separated), and what the input then holds.
TEST(Primitives, AtEndCases) {
  phylo::test::run_cases("words.cases", {{"at_end", [](const std::vector<std::string> &a) {
                                            text_input in(a[1]);
                                            const auto f = a[0] == "T"   ? dist_format_type::TAB
                                                           : a[0] == "P" ? dist_format_type::PHYLIP
                                                                         : dist_format_type::EXTENDED_PHYLIP;
                                            const std::string end = read::at_end(f) ? "end|" : "more|";
                                            return end + std::string(in.source.buffered());
                                          }}});
}

TEST(Words, GetWordAndSkipWord) {
  text_input in("  first second\nthird\n\n fourth");
  EXPECT_EQ(read::get_word(char_set_type::of(" ")), "first");
  EXPECT_EQ(read::read_char(), 's'); // the input stands at the start of the second word
  EXPECT_EQ(read::get_word(char_set_type::of(" ")), "econd");
  EXPECT_TRUE(read::at_end_of_line()); // a word ended by the line end leaves it unread
  read::skip_word(whitespace);
  EXPECT_EQ(read::get_word(whitespace), "fourth");
  EXPECT_THROW(read::get_word(whitespace), end_of_input);
}

TEST(Words, BlackHelpers) {
  text_input in(" \t\n\r x");
  EXPECT_EQ(read::get_black(whitespace), 'x');
  EXPECT_EQ(read::black_only("a c\tg\r", whitespace), "acg");
  std::string target = ">";
  read::append_black(target, " t t ", whitespace);
  EXPECT_EQ(target, ">tt");
}

} // namespace
