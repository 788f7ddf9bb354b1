// The string utilities of phylo::text. The cases are in tests/data/lib/text.cases; each probe
// runs the function form and the in-place or appending form and shows where they differ.
#include "case_table.hpp"
#include "phylo/text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace text = phylo::text;
using phylo::char_map_type;
using phylo::char_set_type;
using text::ustr_vecs;
using args = std::vector<std::string>;

const char_map_type lower_ascii =
    char_map_type::from_strings("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz");
const char_map_type &map(const std::string &name) {
  static const char_map_type identity = char_map_type::identity();
  return name == "lower" ? lower_ascii : identity;
}

// The result of f, or the kind and message of its error.
template <class F> std::string shown(F f) {
  try {
    return f();
  } catch (const phylo::error &e) {
    return std::string("!") + e.kind() + " " + e.what();
  }
}

// The value form and the in-place form on a copy of the text; the in-place form must leave
// the text alone when it fails.
template <class Value, class InPlace> std::string both(const std::string &in, Value value, InPlace in_place) {
  const std::string v = shown([&] { return std::string(value(in)); });
  std::string s = in;
  const std::string p = shown([&] { return in_place(s), s; });
  if (p != v) return v + " / in place " + p;
  return v[0] == '!' && s != in ? v + " / changed to " + s : v;
}

std::string listed(const ustr_vecs &v) {
  std::string out;
  for (const auto &s : v) out += "[" + s + "]";
  return out;
}

// The vector form and the appending form onto a vector that holds "keep" first, which must
// stay (and stay alone after a failure).
template <class Value, class Append> std::string vectors(Value value, Append append) {
  const std::string v = shown([&] { return listed(value()); });
  ustr_vecs vec{"keep"};
  const std::string p = shown([&] { return append(vec), listed(vec).substr(6); });
  return p == v && (v[0] != '!' || vec == ustr_vecs{"keep"}) ? v : v + " / appended " + p + " " + listed(vec);
}

TEST(Text, Cases) {
  using S = char_set_type;
  phylo::test::run_cases(
      "text.cases",
      {{"common",
        [](const args &a) {
          return std::to_string(text::common(a[0], a[1])) + "|" + text::common<std::string>(a[0], a[1]);
        }},
       {"is_in", [](const args &a) { return shown([&] { return text::is_in(a[0], S::of(a[1])) ? "yes" : "no"; }); }},
       {"revstr",
        [](const args &a) {
          std::string s = a[0];
          text::revstr(std::span<char>(s));
          return s == text::revstr(a[0]) ? s : "forms differ";
        }},
       {"remove",
        [](const args &a) {
          return both(a[0], [&](auto &t) { return text::remove(t, S::of(a[1])); },
                      [&](std::string &t) { text::remove(t, S::of(a[1])); });
        }},
       {"squeeze",
        [](const args &a) {
          return both(a[0], [&](auto &t) { return text::squeeze(t, S::of(a[1])); },
                      [&](std::string &t) { text::squeeze(t, S::of(a[1])); });
        }},
       {"trim", [](const args &a) { return std::string(text::trim(a[0], S::of(a[1]))); }},
       {"cap",
        [](const args &a) {
          std::string s = a[0];
          text::cap(std::span<char>(s));
          return s == both(a[0], [](auto &t) { return text::cap(std::string_view(t)); },
                           [](std::string &t) { text::cap(t); })
                     ? s
                     : "forms differ";
        }},
       {"uncap",
        [](const args &a) {
          std::string s = a[0];
          text::uncap(std::span<char>(s));
          return s == both(a[0], [](auto &t) { return text::uncap(std::string_view(t)); },
                           [](std::string &t) { text::uncap(t); })
                     ? s
                     : "forms differ";
        }},
       {"map_set",
        [](const args &a) {
          const bool all = a[3] == "all";
          return both(a[0], [&](auto &t) { return text::string_map(std::string_view(t), S::of(a[1]), a[2], all); },
                      [&](std::string &t) { text::string_map(t, S::of(a[1]), a[2], all); });
        }},
       {"map_text",
        [](const args &a) {
          const bool all = a[3] == "all";
          return both(a[0], [&](auto &t) { return text::string_map(std::string_view(t), a[1], a[2], all, map(a[4])); },
                      [&](std::string &t) { text::string_map(t, a[1], a[2], all, map(a[4])); });
        }},
       {"scan",
        [](const args &a) {
          const S set = a.size() > 1 ? S::of(a[1]) : phylo::decimal_digits;
          return vectors([&] { return text::scan(a[0], set); }, [&](ustr_vecs &v) { text::scan(v, a[0], set); });
        }},
       {"split_width",
        [](const args &a) {
          const std::ptrdiff_t w = std::stoi(a[1]);
          return vectors([&] { return text::split(a[0], w); }, [&](ustr_vecs &v) { text::split(v, a[0], w); });
        }},
       {"split_set",
        [](const args &a) {
          return vectors([&] { return text::split(a[0], S::of(a[1])); },
                         [&](ustr_vecs &v) { text::split(v, a[0], S::of(a[1])); });
        }},
       {"split_text",
        [](const args &a) {
          return vectors([&] { return text::split(a[0], a[1], map(a[2])); },
                         [&](ustr_vecs &v) { text::split(v, a[0], a[1], map(a[2])); });
        }},
       {"join", [](const args &a) { return text::join(ustr_vecs(a.begin() + 1, a.end()), a[0]); }}});
  EXPECT_TRUE(text::empty_vector.empty());
}

} // namespace
