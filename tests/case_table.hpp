// Tables of library cases in tests/data/lib/*.cases, one case a line: PROBE ARGUMENT... =>
// EXPECTED, a word bare or "quoted" (quoting.hpp), '#' starting a comment line. PROBE names a
// function of the test file that turns the arguments into a text; an error of the library that
// it lets through shows as !KIND, followed by LINE:COLUMN when it carries a position in an
// input. A failing case prints what the probe gave, ready to paste.
#pragma once

#include "phylo/types.hpp"
#include "quoting.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace phylo::test {

using probe = std::function<std::string(const std::vector<std::string> &)>;

// The place of a name in a list of names (an enumerator by its position): the list's size
// when it is not there.
template <class Enum = int> Enum named(const std::string &name, std::initializer_list<const char *> names) {
  int k = 0;
  for (const char *n : names) {
    if (name == n) break;
    ++k;
  }
  return static_cast<Enum>(k);
}

// The words of a case line.
inline std::vector<std::string> case_words(const std::string &line) {
  std::vector<std::string> words;
  for (std::size_t p = 0; p < line.size();) {
    if (line[p] == ' ' || line[p] == '\t') {
      ++p;
    } else if (line[p] != '"') {
      const std::size_t end = std::min(line.find_first_of(" \t", p), line.size());
      words.push_back(line.substr(p, end - p));
      p = end;
    } else {
      words.push_back(unquote(line, p));
    }
  }
  return words;
}

// Runs every case of tests/data/lib/FILE with the probes.
inline void run_cases(const std::string &file, const std::map<std::string, probe> &probes) {
  std::ifstream in(std::string(LIB_CASES_DIR) + "/" + file);
  ASSERT_TRUE(in) << "cannot read " << file;
  std::string line;
  int number = 0, ran = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;
    std::vector<std::string> words = case_words(line);
    const auto arrow = std::find(words.begin(), words.end(), "=>");
    const auto p = probes.find(words[0]);
    if (p == probes.end() || words.end() - arrow != 2) {
      ADD_FAILURE() << file << ":" << number << ": no probe " << words[0] << " or no '=> EXPECTED'";
      continue;
    }
    std::string got;
    try {
      got = p->second({words.begin() + 1, arrow});
    } catch (const phylo::error &e) {
      got = std::string("!") + e.kind();
      if (const phylo::input_position *at = e.where())
        got += " " + std::to_string(at->line) + ":" + std::to_string(at->column);
    }
    EXPECT_EQ(got, words.back()) << file << ":" << number << ": " << line << "\n  gave " << phylo::test::quoted(got);
    ++ran;
  }
  EXPECT_GT(ran, 0) << file;
}

} // namespace phylo::test
