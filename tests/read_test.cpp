// The readers of distance matrices and their primitives, fed from in-memory texts.
#include "phylo/read.hpp"

#include "test_io.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

using namespace phylo;
using phylo::test::text_input;

enum class outcome { value, format, eof, range };

const char *name(outcome o) {
  switch (o) {
  case outcome::value: return "value";
  case outcome::format: return "format_error";
  case outcome::eof: return "end_of_input";
  case outcome::range: return "range_error";
  }
  return "?";
}

template <class F> outcome run(F f) {
  try {
    f();
    return outcome::value;
  } catch (const format_error &) {
    return outcome::format;
  } catch (const end_of_input &) {
    return outcome::eof;
  } catch (const range_error &) {
    return outcome::range;
  }
}

bool same_float(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(ReadReal, Numbers) {
  struct {
    const char *text;
    float value;
    const char *rest; // what the reader leaves unread
  } cases[] = {
      {"0.25", 0.25f, ""},
      {" \t\n 0.25 x", 0.25f, " x"},
      {"3", 3.0f, ""},
      {"+3", 3.0f, ""},
      {"-2.25e3", -2250.0f, ""},
      {"1E+2", 100.0f, ""},
      {"1e-2", 0.01f, ""},
      {" 2.50000E-01\t", 0.25f, "\t"},
      {"-0", -0.0f, ""},
      {"-0.0e5", -0.0f, ""},
      {"1e-50", 0.0f, ""},
      {"-1e-50", -0.0f, ""},
      {"1e-40", 1e-40f, ""},
      {"3.4028235e38", std::numeric_limits<float>::max(), ""},
      {"0.1", 0.1f, ""},
      {"16777217", 16777216.0f, ""}, // ties to even
      {"16777219", 16777220.0f, ""},
      {"1.00000005960464477539062500001", 1.0000001f, ""}, // just past halfway
      {"1.000000059604644775390625", 1.0f, ""},             // exactly halfway: to even
      {"0000000000000000000000000000000.5", 0.5f, ""},
      {"1e0000000000000000000000000000001", 10.0f, ""},
      {"5.0.3", 5.0f, ".3"},
      {"0.5,3", 0.5f, ",3"},
      {"7abc", 7.0f, "abc"},
      {"1.5\r\n", 1.5f, "\r\n"},
  };
  for (const auto &c : cases) {
    text_input in(c.text);
    float v = read::read_real();
    EXPECT_TRUE(same_float(v, c.value)) << '"' << c.text << "\" gave " << v;
    std::string rest;
    while (in.source.peek() >= 0) {
      rest.push_back(static_cast<char>(in.source.peek()));
      in.source.advance();
    }
    EXPECT_EQ(rest, c.rest) << c.text;
  }
}

// The exact decimal expansion of a double, as "d.ddd...e-xx".
std::string exact(double v) {
  char buf[256];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 150);
  std::string s(buf, r.ptr);
  std::size_t e = s.find('e');
  std::size_t last = s.find_last_not_of('0', e - 1);
  return s.substr(0, last + 1) + s.substr(e);
}

float read_text(const std::string &text) {
  text_input in(text);
  return read::read_real();
}

TEST(ReadReal, LongMantissasRoundCorrectly) {
  const float tiny = std::numeric_limits<float>::denorm_min();
  EXPECT_TRUE(same_float(read_text(exact(tiny)), tiny));
  // Exactly halfway between 0 and the smallest float goes to even (zero); a digit further
  // out, however far, decides for the smallest float.
  std::string half = exact(std::ldexp(1.0, -150));
  std::size_t e = half.find('e');
  EXPECT_TRUE(same_float(read_text(half), 0.0f)) << half;
  EXPECT_TRUE(same_float(read_text(half.substr(0, e) + std::string(2000, '0') + "1" + half.substr(e)), tiny));
  // Halfway between 1 and the next float, with the deciding digit far away.
  std::string one_half = exact(1.0 + std::ldexp(1.0, -24));
  e = one_half.find('e');
  EXPECT_TRUE(same_float(read_text(one_half), 1.0f));
  EXPECT_TRUE(same_float(read_text(one_half.substr(0, e) + std::string(900, '0') + "1" + one_half.substr(e)),
                         std::nextafter(1.0f, 2.0f)));
  EXPECT_TRUE(same_float(read_text("0." + std::string(5000, '3') + "9"), 1.0f / 3.0f));
  EXPECT_TRUE(same_float(read_text("0." + std::string(56, '0') + "1e60"), 1000.0f));
}

TEST(ReadReal, Failures) {
  struct {
    const char *text;
    outcome expected;
  } cases[] = {
      {"", outcome::eof},
      {" \n\t ", outcome::eof},
      {"x", outcome::format},
      {"-", outcome::format},
      {"+", outcome::format},
      {"- 1", outcome::format},
      {"1.", outcome::format},
      {"1.x", outcome::format},
      {"1e", outcome::format},
      {"1e+", outcome::format},
      {"1E-x", outcome::format},
      {".5", outcome::format},
      {"0,5", outcome::value}, // reads 0, the comma stays
      {",5", outcome::format},
      {"\r1", outcome::format},
      {"\v1", outcome::format},
      {"1e39", outcome::format},
      {"-1e39", outcome::format},
      {"3.4028236e38", outcome::format},
      {"1e99999999999999999999", outcome::format},
      {"inf", outcome::format},
      {"nan", outcome::format},
      {"1_000", outcome::value},
      {"16#FF#", outcome::value},
  };
  for (const auto &c : cases) {
    text_input in(c.text);
    EXPECT_STREQ(name(run([] { read::read_real(); })), name(c.expected)) << '"' << c.text << '"';
  }
}

TEST(ReadInteger, Counts) {
  struct {
    const char *text;
    outcome expected;
    int value;
  } cases[] = {
      {"3", outcome::value, 3},
      {"+3", outcome::value, 3},
      {"-3", outcome::value, -3},
      {"\n\n  12 taxa", outcome::value, 12},
      {"5.0", outcome::value, 5},
      {"007", outcome::value, 7},
      {"2147483647", outcome::value, 2147483647},
      {"-2147483648", outcome::value, -2147483647 - 1},
      {"2147483648", outcome::format, 0},
      {"-2147483649", outcome::format, 0},
      {"99999999999999999999999", outcome::format, 0},
      {"x", outcome::format, 0},
      {"", outcome::eof, 0},
      {"+", outcome::format, 0},
      {"\r3", outcome::format, 0},
  };
  for (const auto &c : cases) {
    text_input in(c.text);
    int v = 0;
    EXPECT_STREQ(name(run([&] { v = read::read_integer(); })), name(c.expected)) << '"' << c.text << '"';
    if (c.expected == outcome::value) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

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

TEST(Labels, EachLayout) {
  {
    text_input in("Homo sapiens 0.1\nBos\n taurus0.2");
    EXPECT_EQ(read::read_label(label_format_type::PHYLIP), "Homo sapie");
    EXPECT_THROW(read::read_real(), format_error); // "ns" follows the ten characters
  }
  {
    text_input in("Bos\ntaurus 0.2");
    EXPECT_EQ(read::read_label(label_format_type::PHYLIP), "Bostaurus ");
  }
  {
    text_input in("\n\n  Homo_sapiens\t0.1");
    EXPECT_EQ(read::read_label(label_format_type::EXTENDED_PHYLIP), "Homo_sapiens");
  }
  {
    text_input in("t1 [a note] 0 1");
    EXPECT_EQ(read::read_label(label_format_type::COMMENTED_PHYLIP), "t1");
    EXPECT_EQ(read::read_label(label_format_type::EXTENDED_PHYLIP), "note]");
  }
  {
    text_input in("\t\tHomo sapiens (human)\t0.1");
    EXPECT_EQ(read::read_label(label_format_type::TAB_SEPARATED), "Homo sapiens (human)");
    EXPECT_EQ(read::read_real(), 0.1f);
  }
}

// Reads one matrix in a layout and returns its labels and cells as text, or the error kind.
std::string read_matrix(const std::string &text, dist_format_type format) {
  text_input in(text);
  try {
    int n = read::read_dist_header(format);
    dist_mat_type m(static_cast<std::size_t>(n));
    read::read_dist_mat(format, m);
    std::string out;
    for (std::size_t i = 0; i < m.n_tax(); ++i) {
      out.append("[").append(m.labels[i]).append("]");
      for (std::size_t j = 0; j < m.n_tax(); ++j) out.append(" ").append(std::to_string(m.distances(i, j)));
      out.append("\n");
    }
    if (!read::at_end()) out += "(more)";
    return out;
  } catch (const phylo::error &e) {
    return e.kind();
  }
}

TEST(DistMat, Layouts) {
  using F = dist_format_type;
  struct {
    const char *text;
    F format;
    const char *expected;
  } cases[] = {
      // PHYLIP: labels are exactly ten characters, blanks included.
      {"3\nAlpha     0 1 2\nBeta gamma1 0 3\nG         2 3 0\n", F::PHYLIP,
       "[Alpha     ] 0.000000 1.000000 2.000000\n[Beta gamma] 1.000000 0.000000 3.000000\n[G         ] 2.000000 3.000000 0.000000\n"},
      {" 2 taxa\nAb0.5 0.5 0.5 0.5 0.5\n0.5 0.75 0.7\n", F::PHYLIP, "format_error"},
      {"2\nAb   0.5  0 1\nCd        1 0\n", F::PHYLIP, "[Ab   0.5  ] 0.000000 1.000000\n[Cd        ] 1.000000 0.000000\n"},
      // Extended PHYLIP: a word of any length; rows may run over several lines.
      {"\n\n 2\nA_long_label 0\n 0.5\nB 0.5 0 trailing words\n", F::EXTENDED_PHYLIP,
       "[A_long_label] 0.000000 0.500000\n[B] 0.500000 0.000000\n"},
      {"2\nHomo sapiens 0 1\nB 1 0\n", F::EXTENDED_PHYLIP, "format_error"},
      {"2\nA 0 1\nB 1 0", F::EXTENDED_PHYLIP, "[A] 0.000000 1.000000\n[B] 1.000000 0.000000\n"},
      {"2\r\nA 0 1\r\nB 1 0\r\n", F::EXTENDED_PHYLIP, "[A] 0.000000 1.000000\n[B] 1.000000 0.000000\n"},
      {"2\nA 0\r\n 1\nB 1 0\n", F::EXTENDED_PHYLIP, "format_error"},
      {"2\nA 0 1\nB 1", F::EXTENDED_PHYLIP, "end_of_input"},
      {"2\nA 0 -0.5\nB 1 0\n", F::EXTENDED_PHYLIP, "range_error"},
      {"2\nA 0 -0\nB 1 0\n", F::EXTENDED_PHYLIP, "[A] 0.000000 -0.000000\n[B] 1.000000 0.000000\n"},
      {"2\nA 0 -1e-50\nB 1 0\n", F::EXTENDED_PHYLIP, "[A] 0.000000 -0.000000\n[B] 1.000000 0.000000\n"},
      {"2\nA 0 -1e-40\nB 1 0\n", F::EXTENDED_PHYLIP, "range_error"},
      {"2\nA 0 1e39\nB 1 0\n", F::EXTENDED_PHYLIP, "format_error"},
      {"2\nA 0,5 0\nB 1 0\n", F::EXTENDED_PHYLIP, "format_error"},
      // A row's last number ends at a blank, a tab, a carriage return, a line end or the end.
      {"2\nA 0 0,5\nB 1 0\n", F::EXTENDED_PHYLIP, "format_error"},
      {"2\nA 0 1\nB 1 0.25.3\n", F::EXTENDED_PHYLIP, "format_error"},
      {"2\nA 0\n 0x1p3\nB 1 0\n", F::EXTENDED_PHYLIP, "format_error"},
      {"1\nA 1.5abc", F::EXTENDED_PHYLIP, "format_error"},
      {"2\nA         0 1\nB         1 0;\n", F::PHYLIP, "format_error"},
      {"\tA\tB\nA\t0\t1,5\nB\t1\t0\n", F::TAB, "format_error"},
      {"2\nA 0 1\tnote\nB 1 0\r\n", F::EXTENDED_PHYLIP, "[A] 0.000000 1.000000\n[B] 1.000000 0.000000\n"},
      {"1\nA 0\n\n1\nB 0\n", F::EXTENDED_PHYLIP, "[A] 0.000000\n(more)"},
      // Every non-TAB format other than PHYLIP reads rows as extended PHYLIP.
      {"1\nA_b 7\n", F::NEXUS, "[A_b] 7.000000\n"},
      {"1\nA_b 7\n", F::RAW, "[A_b] 7.000000\n"},
      // Header counts.
      {"5 taxa\n", F::EXTENDED_PHYLIP, "end_of_input"},
      {"0\n", F::EXTENDED_PHYLIP, "range_error"},
      {"5001\n", F::PHYLIP, "range_error"},
      {"-3\n", F::PHYLIP, "range_error"},
      {"+1\nA 0\n", F::EXTENDED_PHYLIP, "[A] 0.000000\n"},
      {"1\nA 0\n", F::PHYLIP, "end_of_input"}, // the label takes in "A 0" and runs out
      {"taxa 5\n", F::EXTENDED_PHYLIP, "format_error"},
      {"4294967297\n", F::EXTENDED_PHYLIP, "format_error"},
      // Tab-separated: the header's tabs count the taxa, labels keep their blanks.
      {"\tA a\tB b\nA a\t0\t0.5\nB b\t0.5\t0\n", F::TAB, "[A a] 0.000000 0.500000\n[B b] 0.500000 0.000000\n"},
      {"\tA\tB\n\t0\t0.5\nB\t0.5\t0\n", F::TAB, "format_error"}, // an empty label cell: "0" becomes the label
      {"no tabs here\nA\t0\n", F::TAB, "range_error"},
      {"\n\tA\nA\t0\n", F::TAB, "range_error"},
      {"\tA\nA\t0\n\n\tB\nB\t0\n", F::TAB, "[A] 0.000000\n(more)"},
  };
  for (const auto &c : cases) EXPECT_EQ(read_matrix(c.text, c.format), c.expected) << c.text;
}

TEST(DistMat, TabHeaderOfAnyLength) {
  // 5000 labels of 20 characters make a header line far beyond 10000 characters.
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "\ttaxon_with_long_name" ;
  text += "\n";
  text_input in(text);
  EXPECT_EQ(read::read_dist_header(dist_format_type::TAB), 5000);
  EXPECT_TRUE(read::at_end());
}

TEST(DistMat, TwoMatricesInOneInput) {
  text_input in("1\nA 0\n\n\n2\nB 0 1\nC 1 0\n\n");
  std::string labels;
  while (!read::at_end()) {
    int n = read::read_dist_header(dist_format_type::EXTENDED_PHYLIP);
    dist_mat_type m(static_cast<std::size_t>(n));
    read::read_dist_mat(dist_format_type::EXTENDED_PHYLIP, m);
    for (const auto &l : m.labels) labels += l;
  }
  EXPECT_EQ(labels, "ABC");
}

TEST(DistMat, FastForm) {
  {
    text_input in("2\nA 0 1\nB 2 0\n");
    ASSERT_EQ(read::read_dist_header(dist_format_type::EXTENDED_PHYLIP), 2);
    fast_dist_mat_type m(2, 5);
    m.distances[4] = 9.0f;
    read::read_fast_dist_mat(dist_format_type::EXTENDED_PHYLIP, m);
    EXPECT_EQ(m.labels[1], "B");
    EXPECT_EQ(m.distances[2], 2.0f);
    EXPECT_EQ(m.distances[4], 9.0f);
  }
  {
    text_input in("A 0 1\nB 2 0\n");
    fast_dist_mat_type m(2, 3);
    EXPECT_THROW(read::read_fast_dist_mat(dist_format_type::EXTENDED_PHYLIP, m), range_error);
    EXPECT_EQ(m.distances[2], 2.0f); // the cells that fit were read
  }
}

TEST(DistMat, FormatOutsideItsEnumeration) {
  text_input in("1\nA 0\n");
  EXPECT_THROW(read::read_dist_header(static_cast<dist_format_type>(9)), range_error);
  dist_mat_type m(1);
  EXPECT_THROW(read::read_dist_mat(static_cast<dist_format_type>(-1), m), range_error);
}

TEST(InputSource, LineNumbersAcrossRefills) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "line\n";
  text_input in(text);
  for (int i = 0; i < 50000; ++i) read::skip_line();
  EXPECT_EQ(in.source.line(), 50001u);
}

} // namespace

namespace {

// Random floats written with random digit counts and layouts read back exactly as
// std::from_chars reads them.
TEST(ReadReal, AgreesWithFromChars) {
  std::mt19937_64 rng(7);
  const char *formats[] = {"%.*e", "%.*E", "%.*f", "%.*g"};
  for (int i = 0; i < 200000; ++i) {
    double v;
    switch (i % 3) {
    case 0: v = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 300) - 200); break;
    case 1: v = static_cast<double>(rng() % 1000000) / 1000000.0; break;
    default: v = std::uniform_real_distribution<double>(0, 0.75)(rng); break;
    }
    if (!(v < 3e38)) continue;
    char text[512];
    const int precision = static_cast<int>(rng() % 25);
    const char *format = formats[rng() % 4];
    if (format[3] == 'f' && (v > 1e30 || v < 1e-30)) format = formats[0];
    std::snprintf(text, sizeof text, format, precision, v);
    if (std::strchr(text, '.') && text[std::strlen(text) - 1] == '.') continue; // "%.0e" never ends in a point
    float expected = 0;
    auto r = std::from_chars(text, text + std::strlen(text), expected);
    if (r.ec != std::errc()) continue; // underflow: covered elsewhere
    phylo::test::text_input in(text);
    float got = phylo::read::read_real();
    ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << text;
  }
}

} // namespace
