// The input primitives: characters, lines, words, and the end of the input.
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
  read::end_row(); // quiet at the end

  // Before a header that begins with a number, at_end passes over what the number reader
  // would; a carriage return, which it refuses, stays. Before a tab-separated header the line
  // stays as it is, but for the blanks and carriage returns before its first tab.
  struct {
    const char *text;
    dist_format_type before;
    bool at_end;
    int next; // when not at the end: what the input then holds
  } cases[] = {
      {"", dist_format_type::PHYLIP, true, 0},
      {"\n\n\n", dist_format_type::PHYLIP, true, 0},
      {" \t\r\n \r\n", dist_format_type::EXTENDED_PHYLIP, true, 0},
      {"\n\n 1", dist_format_type::EXTENDED_PHYLIP, false, '1'},
      {"\n \r\n 1", dist_format_type::EXTENDED_PHYLIP, false, '\r'},
      {"\v", dist_format_type::PHYLIP, false, '\v'},
      {" \t\r\n \r\n", dist_format_type::TAB, true, 0},
      {"\n\tA", dist_format_type::TAB, false, '\n'},
      {" \r \t \tA", dist_format_type::TAB, false, '\t'},
      {"\t\t\n\n\t\n", dist_format_type::TAB, true, 0},
      {"\t\t\n \nA", dist_format_type::TAB, false, '\t'},
  };
  for (const auto &c : cases) {
    text_input t(c.text);
    EXPECT_EQ(read::at_end(c.before), c.at_end) << '"' << c.text << '"';
    if (!c.at_end) {
      EXPECT_EQ(t.source.peek(), c.next) << '"' << c.text << '"';
    }
  }
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
