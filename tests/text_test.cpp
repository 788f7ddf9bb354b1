#include "phylo/text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

namespace text = phylo::text;
using phylo::char_map_type;
using phylo::char_set_type;
using text::ustr_vecs;

const char_set_type no_chars{};
const char_set_type blank = char_set_type::of(" ");
const char_set_type hyphen = char_set_type::of("-");
const char_set_type comma = char_set_type::of(",");
const char_map_type identity = char_map_type::identity();
const char_map_type lower_ascii =
    char_map_type::from_strings("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz");

// Runs f, which must raise exactly Error with the given message.
template <class Error, class F> void expect_error(F f, std::string_view message) {
  try {
    f();
    ADD_FAILURE() << "no error raised, expected \"" << message << "\"";
  } catch (const Error &e) {
    EXPECT_EQ(std::string(e.what()), message);
  }
}

// ---------------------------------------------------------------------------------------
// String utilities

TEST(Common, CountAndPrefix) {
  struct Case {
    std::string_view a, b;
    std::size_t count;
  };
  for (const Case &c : std::vector<Case>{{"abc", "abd", 2},
                                         {"ab", "abc", 2},
                                         {"abc", "ab", 2},
                                         {"", "abc", 0},
                                         {"abc", "", 0},
                                         {"", "", 0},
                                         {"xa", "ya", 0},
                                         {"same", "same", 4},
                                         {"\xe9t\xe9", "\xe9T", 1}}) {
    SCOPED_TRACE(std::string(c.a) + " / " + std::string(c.b));
    EXPECT_EQ(text::common(c.a, c.b), c.count);
    EXPECT_EQ(text::common<std::string>(c.a, c.b), c.a.substr(0, c.count));
  }
}

TEST(IsIn, Membership) {
  const char_set_type acgt = char_set_type::of("ACGT");
  EXPECT_TRUE(text::is_in("ACGT", acgt));
  EXPECT_TRUE(text::is_in("GGG", acgt));
  EXPECT_FALSE(text::is_in("ACGU", acgt));
  EXPECT_FALSE(text::is_in("xACGT", acgt));
  EXPECT_FALSE(text::is_in("acgt", acgt));
  EXPECT_TRUE(text::is_in("\xe9\xff", char_set_type::of("\xe9\xff")));
}

TEST(IsIn, Errors) {
  expect_error<phylo::length_error>([] { text::is_in("", no_chars); }, "phylo-text:46");
  expect_error<phylo::length_error>([] { text::is_in("", blank); }, "phylo-text:46");
  expect_error<phylo::pattern_error>([] { text::is_in("a", no_chars); }, "phylo-text:48");
}

TEST(Revstr, BothForms) {
  for (std::string_view s : {"abc", "", "a", "ab\xff", "abba"}) {
    const std::string reversed(s.rbegin(), s.rend());
    EXPECT_EQ(text::revstr(s), reversed);
    std::vector<char> buf(s.begin(), s.end());
    text::revstr(std::span<char>(buf));
    EXPECT_EQ(std::string(buf.begin(), buf.end()), reversed);
  }
  std::string part = "xabcx";
  text::revstr(std::span<char>(part).subspan(1, 3));
  EXPECT_EQ(part, "xcbax");
}

// The function form and the in-place form on a growable text give the same result.
struct SetCase {
  std::string_view in;
  char_set_type set;
  std::string_view out;
};

TEST(Remove, Results) {
  for (const SetCase &c : std::vector<SetCase>{{"a-b-c", hyphen, "abc"},
                                               {"---", hyphen, ""},
                                               {"", hyphen, ""},
                                               {"abc", hyphen, "abc"},
                                               {"-a\xe9-", char_set_type::of("-\xe9"), "a"}}) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(text::remove(c.in, c.set), c.out);
    std::string s(c.in);
    text::remove(s, c.set);
    EXPECT_EQ(s, c.out);
  }
}

TEST(Squeeze, Results) {
  const char_set_type blank_tab = char_set_type::of(" \t");
  for (const SetCase &c : std::vector<SetCase>{{"a   b", blank, "a b"},
                                               {"---", hyphen, "-"},
                                               {"aab", blank, "aab"},
                                               {"", blank, ""},
                                               {"x \t\ty", blank_tab, "x y"},
                                               {"\t  x\t", blank_tab, "\tx\t"},
                                               {"a - -b", hyphen, "a - -b"}}) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(text::squeeze(c.in, c.set), c.out);
    std::string s(c.in);
    text::squeeze(s, c.set);
    EXPECT_EQ(s, c.out);
  }
}

TEST(RemoveSqueeze, EmptySetRaisesAndLeavesArgument) {
  for (std::string_view in : {"", "a-b"}) {
    expect_error<phylo::pattern_error>([&] { text::remove(in, no_chars); }, "phylo-text:101");
    expect_error<phylo::pattern_error>([&] { text::squeeze(in, no_chars); }, "phylo-text:143");
    std::string s(in);
    expect_error<phylo::pattern_error>([&] { text::remove(s, no_chars); }, "phylo-text:101");
    expect_error<phylo::pattern_error>([&] { text::squeeze(s, no_chars); }, "phylo-text:143");
    EXPECT_EQ(s, in);
  }
}

// Every form of cap and uncap: new value, text held in place, growable text in and out.
template <class Fn> void check_case_forms(Fn fn, std::string_view in, std::string_view out) {
  SCOPED_TRACE(in);
  EXPECT_EQ(fn(in), out);
  std::vector<char> buf(in.begin(), in.end());
  fn(std::span<char>(buf));
  EXPECT_EQ(std::string(buf.begin(), buf.end()), out);
  std::string s(in);
  fn(s);
  EXPECT_EQ(s, out);
}

TEST(Cap, AllForms) {
  struct Case {
    std::string_view in, out;
  };
  auto cap = [](auto &&t) { return text::cap(t); };
  for (const Case &c : std::vector<Case>{{"hELLO wORLD", "Hello world"},
                                         {" aBC", " abc"},
                                         {"x", "X"},
                                         {"X", "X"},
                                         {"", ""},
                                         {"1AB", "1ab"},
                                         {"\xe0\xc9", "\xc0\xe9"},                 // 224 -> 192, 201 -> 233
                                         {"\xfe\xde", "\xde\xfe"},                 // 254 <-> 222
                                         {"\xf8\xd8", "\xd8\xf8"},                 // 248 <-> 216
                                         {"\xdf\xff\xf7\xd7", "\xdf\xff\xf7\xd7"}, // no partners
                                         {"\xff", "\xff"},
                                         {"\xf7", "\xf7"}})
    check_case_forms(cap, c.in, c.out);
}

TEST(Uncap, AllForms) {
  struct Case {
    std::string_view in, out;
  };
  auto uncap = [](auto &&t) { return text::uncap(t); };
  for (const Case &c : std::vector<Case>{{"HELLO", "hELLO"},
                                         {"X", "x"},
                                         {"x", "x"},
                                         {"", ""},
                                         {"aBC", "aBC"},
                                         {"\xc0\xc0", "\xe0\xc0"},
                                         {"\xde", "\xfe"},
                                         {"\xd7", "\xd7"},
                                         {"\xdf", "\xdf"}})
    check_case_forms(uncap, c.in, c.out);
}

TEST(StringMap, SetForm) {
  struct Case {
    std::string_view in;
    char_set_type set;
    std::string_view replacement;
    bool all;
    std::string_view out;
  };
  for (const Case &c : std::vector<Case>{{"a  b  c", blank, "_", true, "a_b_c"},
                                         {"a  b  c", blank, "_", false, "a_b  c"},
                                         {"abc", blank, "_", true, "abc"},
                                         {" a ", blank, "_", true, "_a_"},
                                         {" a ", blank, "_", false, "_a "},
                                         {"", blank, "_", true, ""},
                                         {"a \t b", char_set_type::of(" \t"), "", true, "ab"},
                                         {"a b c", blank, "  ", true, "a  b  c"},
                                         {"   ", blank, "xy", false, "xy"}}) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(text::string_map(c.in, c.set, c.replacement, c.all), c.out);
    std::string s(c.in);
    text::string_map(s, c.set, c.replacement, c.all);
    EXPECT_EQ(s, c.out);
  }
}

TEST(StringMap, PatternForm) {
  struct Case {
    std::string_view in, pattern, replacement;
    bool all;
    const char_map_type &map;
    std::string_view out;
  };
  for (const Case &c : std::vector<Case>{{"aXbXc", "X", "--", true, identity, "a--b--c"},
                                         {"aXbXc", "X", "--", false, identity, "a--bXc"},
                                         {"aaa", "aa", "b", true, identity, "ba"},
                                         {"aaaa", "aa", "b", true, identity, "bb"},
                                         {"aXbXc", "X", "X", true, identity, "aXbXc"},
                                         {"ABC", "b", "-", true, lower_ascii, "A-C"},
                                         {"ABC", "b", "b", true, lower_ascii, "ABC"},
                                         {"abc", "B", "-", true, lower_ascii, "abc"},
                                         {"", "x", "y", true, identity, ""},
                                         {"abab", "ab", "", true, identity, ""},
                                         {"xyz", "xyzw", "-", true, identity, "xyz"},
                                         {"aa", "a", "aa", true, identity, "aaaa"},
                                         {"no match", "q", "-", true, identity, "no match"}}) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(text::string_map(c.in, c.pattern, c.replacement, c.all, c.map), c.out);
    std::string s(c.in);
    text::string_map(s, c.pattern, c.replacement, c.all, c.map);
    EXPECT_EQ(s, c.out);
  }
}

TEST(StringMap, ErrorsLeaveArgument) {
  for (std::string_view in : {"", "a b"}) {
    expect_error<phylo::pattern_error>([&] { text::string_map(in, no_chars, "_", true); }, "phylo-text:313");
    expect_error<phylo::pattern_error>([&] { text::string_map(in, "", "_", true, identity); }, "phylo-text:363");
    std::string s(in);
    expect_error<phylo::pattern_error>([&] { text::string_map(s, no_chars, "_", false); }, "phylo-text:313");
    expect_error<phylo::pattern_error>([&] { text::string_map(s, "", "_", false, identity); }, "phylo-text:363");
    EXPECT_EQ(s, in);
  }
}

// ---------------------------------------------------------------------------------------
// Scanning, splitting and joining

// Checks a function's vector and its appending form onto a vector that already holds an
// element, which must stay first.
template <class Fn, class Append> void check_vector_forms(Fn fn, Append append, const ustr_vecs &expected) {
  EXPECT_EQ(fn(), expected);
  ustr_vecs vec{"keep"};
  append(vec);
  ustr_vecs with_keep{"keep"};
  with_keep.insert(with_keep.end(), expected.begin(), expected.end());
  EXPECT_EQ(vec, with_keep);
}

TEST(Scan, Runs) {
  struct Case {
    std::string_view in;
    ustr_vecs out;
  };
  for (const Case &c : std::vector<Case>{
           {"a1b22", {"1", "22"}}, {"ab12cd345", {"12", "345"}}, {"123", {"123"}}, {"abc", {}}, {"", {}}}) {
    SCOPED_TRACE(c.in);
    check_vector_forms([&] { return text::scan(c.in, phylo::decimal_digits); },
                       [&](ustr_vecs &v) { text::scan(v, c.in, phylo::decimal_digits); }, c.out);
  }
}

TEST(Scan, EmptySetRaisesAndLeavesVector) {
  for (std::string_view in : {"", "a1"}) {
    expect_error<phylo::pattern_error>([&] { text::scan(in, no_chars); }, "phylo-text:418");
    ustr_vecs vec{"keep"};
    expect_error<phylo::pattern_error>([&] { text::scan(vec, in, no_chars); }, "phylo-text:418");
    EXPECT_EQ(vec, ustr_vecs{"keep"});
  }
}

TEST(Split, ByWidth) {
  struct Case {
    std::string_view in;
    std::ptrdiff_t width;
    ustr_vecs out;
  };
  for (const Case &c : std::vector<Case>{{"abcdefgh", 3, {"abc", "def", "gh"}},
                                         {"abcdef", 3, {"abc", "def"}},
                                         {"", 3, {}},
                                         {"ab", 5, {"ab"}},
                                         {"abc", 1, {"a", "b", "c"}}}) {
    SCOPED_TRACE(c.in);
    check_vector_forms([&] { return text::split(c.in, c.width); }, [&](ustr_vecs &v) { text::split(v, c.in, c.width); },
                       c.out);
  }
}

TEST(Split, WidthBelowOneRaisesAndLeavesVector) {
  for (std::ptrdiff_t width : {0, -1}) {
    const std::string message = "split width " + std::to_string(width) + " is less than 1";
    expect_error<phylo::range_error>([&] { text::split("abc", width); }, message);
    expect_error<phylo::range_error>([&] { text::split("", width); }, message);
    ustr_vecs vec{"keep"};
    expect_error<phylo::range_error>([&] { text::split(vec, "abc", width); }, message);
    EXPECT_EQ(vec, ustr_vecs{"keep"});
  }
}

TEST(Split, BySet) {
  struct Case {
    std::string_view in;
    char_set_type set;
    ustr_vecs out;
  };
  for (const Case &c : std::vector<Case>{{"a,,b", comma, {"a", "b"}},
                                         {",a", comma, {"", "a"}},
                                         {"a,", comma, {"a", ""}},
                                         {",", comma, {"", ""}},
                                         {",,a,,", comma, {"", "a", ""}},
                                         {"ab", comma, {"ab"}},
                                         {"a, b,c", char_set_type::of(", "), {"a", "b", "c"}},
                                         {"", comma, {}},
                                         {"ab", no_chars, {"a", "b"}},
                                         {"", no_chars, {}}}) {
    SCOPED_TRACE(c.in);
    check_vector_forms([&] { return text::split(c.in, c.set); }, [&](ustr_vecs &v) { text::split(v, c.in, c.set); },
                       c.out);
  }
}

TEST(Split, BySeparatorText) {
  struct Case {
    std::string_view in, separator;
    const char_map_type &map;
    ustr_vecs out;
  };
  for (const Case &c : std::vector<Case>{{"a,,b", ",", identity, {"a", "", "b"}},
                                         {"a,", ",", identity, {"a", ""}},
                                         {",", ",", identity, {"", ""}},
                                         {"a--b--", "--", identity, {"a", "b", ""}},
                                         {"---", "--", identity, {"", "-"}},
                                         {"ab", ",", identity, {"ab"}},
                                         {"aXb", "x", lower_ascii, {"a", "b"}},
                                         {"AxBXC", "x", lower_ascii, {"A", "B", "C"}},
                                         {"aXb", "X", lower_ascii, {"aXb"}},
                                         {"", ",", identity, {}},
                                         {"ab", "", identity, {"a", "b"}}}) {
    SCOPED_TRACE(c.in);
    check_vector_forms([&] { return text::split(c.in, c.separator, c.map); },
                       [&](ustr_vecs &v) { text::split(v, c.in, c.separator, c.map); }, c.out);
  }
}

TEST(Join, Results) {
  struct Case {
    ustr_vecs in;
    std::string_view separator, out;
  };
  for (const Case &c : std::vector<Case>{{{"a", "b", "c"}, ", ", "a, b, c"},
                                         {{"a"}, ", ", "a"},
                                         {{}, ", ", ""},
                                         {{"a", "b"}, "", "ab"},
                                         {{"", ""}, ",", ","}}) {
    SCOPED_TRACE(c.out);
    EXPECT_EQ(text::join(c.in, c.separator), c.out);
  }
  EXPECT_TRUE(text::empty_vector.empty());
  EXPECT_EQ(text::join(text::split("a,b,,c", ",", identity), ","), "a,b,,c");
}

TEST(Trim, BothEndsOnly) {
  EXPECT_EQ(text::trim("  a b  ", blank), "a b");
  EXPECT_EQ(text::trim("   ", blank), "");
  EXPECT_EQ(text::trim("", blank), "");
  EXPECT_EQ(text::trim("-a-", no_chars), "-a-");
}

} // namespace
