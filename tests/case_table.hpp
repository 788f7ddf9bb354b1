// Tables of library cases kept as text in tests/data/lib/*.cases, one case a line:
//
//   PROBE ARGUMENT... => EXPECTED      # a comment line starts with '#'
//
// A word is bare or a "quoted text" with the escapes \n \t \r \" \\ \xHH. PROBE names a function
// of the test file that turns the arguments into a text; an error of the library that it lets
// through shows as !KIND. A failing case prints what the probe gave, quoted, ready to be checked
// and pasted.
#pragma once

#include "phylo/types.hpp"

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

inline std::string escaped(const std::string &s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '\n' || c == '\t' || c == '\r' || c == '"' || c == '\\') {
      out += '\\';
      out += c == '\n' ? 'n' : c == '\t' ? 't' : c == '\r' ? 'r' : static_cast<char>(c);
    } else if (c < 32 || c > 126) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
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
      std::string w;
      for (++p; p < line.size() && line[p] != '"'; ++p) {
        char c = line[p];
        if (c == '\\' && ++p < line.size()) {
          c = line[p];
          if (c == 'x') c = static_cast<char>(std::stoi(line.substr(p + 1, 2), nullptr, 16)), p += 2;
          else c = c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
        }
        w.push_back(c);
      }
      ++p;
      words.push_back(w);
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
    }
    EXPECT_EQ(got, words.back()) << file << ":" << number << ": " << line << "\n  gave " << escaped(got);
    ++ran;
  }
  EXPECT_GT(ran, 0) << file;
}

} // namespace phylo::test
