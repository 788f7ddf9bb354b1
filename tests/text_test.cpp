// The string utilities of phylo::text. The cases are in tests/data/lib/text.cases; each probe
// runs the function form and the in-place or appending form and shows where they differ.
#include "case_table.hpp"
#include "phylo/text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace text = phylo::text;
using phylo::char_set_type;
using text::ustr_vecs;
using args = std::vector<std::string>;

const phylo::char_map_type &map(const std::string &name) {
  static const auto identity = phylo::char_map_type::identity();
  static const auto lower =
      phylo::char_map_type::from_strings("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz");
  return name == "lower" ? lower : identity;
}

// The result of f, or the kind and message of its error.
template <class F> std::string shown(F f) {
  try {
    return f();
  } catch (const phylo::error &e) {
    return std::string("!") + e.kind() + " " + e.what();
  }
}

// FUNCTION TEXT ARGUMENTS...: the value form, which must agree with the in-place form (and the
// form on a span of the text, for cap and uncap); a failing in-place form leaves the text.
std::string forms(const std::string &f, const args &a) {
  const char_set_type set = a.size() > 1 ? char_set_type::of(a[1]) : char_set_type{};
  auto value = [&](std::string_view t) -> std::string {
    if (f == "remove") return text::remove(t, set);
    if (f == "squeeze") return text::squeeze(t, set);
    if (f == "cap") return text::cap(t);
    if (f == "uncap") return text::uncap(t);
    if (f == "map_set") return text::string_map(t, set, a[2], a[3] == "all");
    return text::string_map(t, a[1], a[2], a[3] == "all", map(a[4]));
  };
  std::string s = a[0], span = a[0];
  const std::string v = shown([&] { return value(a[0]); }),
                    p = shown([&] {
                      if (f == "remove") text::remove(s, set);
                      else if (f == "squeeze") text::squeeze(s, set);
                      else if (f == "cap") text::cap(s), text::cap(std::span<char>(span));
                      else if (f == "uncap") text::uncap(s), text::uncap(std::span<char>(span));
                      else if (f == "map_set") text::string_map(s, set, a[2], a[3] == "all");
                      else text::string_map(s, a[1], a[2], a[3] == "all", map(a[4]));
                      return s;
                    });
  if (p != v || ((f == "cap" || f == "uncap") && span != s)) return v + " / in place " + p + " / span " + span;
  return v[0] == '!' && s != a[0] ? v + " / changed to " + s : v;
}

// FUNCTION TEXT ARGUMENTS...: the vector, [element] by element; the appending form onto a
// vector that holds "keep" must keep it first (and alone after a failure).
std::string vectors(const std::string &f, const args &a) {
  auto fill = [&](ustr_vecs *into) -> ustr_vecs {
    const char_set_type set = a.size() > 1 ? char_set_type::of(a[1]) : phylo::decimal_digits;
    if (f == "scan") return into ? text::scan(*into, a[0], set), *into : text::scan(a[0], set);
    if (f == "split_width")
      return into ? text::split(*into, a[0], std::stoi(a[1])), *into : text::split(a[0], std::stoi(a[1]));
    if (f == "split_set") return into ? text::split(*into, a[0], set), *into : text::split(a[0], set);
    return into ? text::split(*into, a[0], a[1], map(a[2])), *into : text::split(a[0], a[1], map(a[2]));
  };
  auto listed = [](const ustr_vecs &v, std::size_t from) {
    std::string out;
    for (std::size_t k = from; k < v.size(); ++k) out += "[" + v[k] + "]";
    return out;
  };
  ustr_vecs kept{"keep"};
  const std::string v = shown([&] { return listed(fill(nullptr), 0); });
  const std::string p = shown([&] { return listed(fill(&kept), 1); });
  return p == v && kept[0] == "keep" && (v[0] != '!' || kept.size() == 1) ? v : v + " / appended " + listed(kept, 0);
}

TEST(Text, Cases) {
  std::map<std::string, phylo::test::probe> probes{
      {"common",
       [](const args &a) {
         return std::to_string(text::common(a[0], a[1])) + "|" + text::common<std::string>(a[0], a[1]);
       }},
      {"is_in",
       [](const args &a) { return shown([&] { return text::is_in(a[0], char_set_type::of(a[1])) ? "yes" : "no"; }); }},
      {"revstr",
       [](const args &a) {
         std::string s = a[0];
         text::revstr(std::span<char>(s));
         return s == text::revstr(a[0]) ? s : "forms differ";
       }},
      {"trim", [](const args &a) { return std::string(text::trim(a[0], char_set_type::of(a[1]))); }},
      {"join", [](const args &a) { return text::join(ustr_vecs(a.begin() + 1, a.end()), a[0]); }}};
  for (const char *f : {"remove", "squeeze", "cap", "uncap", "map_set", "map_text"})
    probes[f] = [f](const args &a) { return forms(f, a); };
  for (const char *f : {"scan", "split_width", "split_set", "split_text"})
    probes[f] = [f](const args &a) { return vectors(f, a); };
  phylo::test::run_cases("text.cases", probes);
}

} // namespace
