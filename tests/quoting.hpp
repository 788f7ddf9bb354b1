// Texts quoted as the case files write them: "..." with the escapes \n \t \r \0 \" \\ \xHH.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

namespace phylo::test {

// The quoted text that starts at line[p]; p moves past its closing quote.
inline std::string unquote(std::string_view line, std::size_t &p) {
  std::string out;
  for (++p; p < line.size() && line[p] != '"'; ++p) {
    char c = line[p];
    if (c == '\\' && ++p < line.size()) {
      c = line[p];
      if (c == 'x') c = static_cast<char>(std::stoi(std::string(line.substr(p + 1, 2)), nullptr, 16)), p += 2;
      else c = c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c == '0' ? '\0' : c;
    }
    out.push_back(c);
  }
  if (p++ >= line.size()) throw std::invalid_argument("a quoted text without its closing quote");
  return out;
}

// A text quoted, cut after `most` bytes.
inline std::string quoted(std::string_view s, std::size_t most = std::string_view::npos) {
  std::string out = "\"";
  for (const char c : s.substr(0, most)) {
    const unsigned char u = static_cast<unsigned char>(c);
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", u);
    out += c == '\n'           ? "\\n"
           : c == '\t'         ? "\\t"
           : c == '\r'         ? "\\r"
           : c == '"'          ? "\\\""
           : c == '\\'         ? "\\\\"
           : u < 32 || u > 126 ? hex
                               : std::string(1, c);
  }
  return out + (s.size() > most ? "\"..." : "\"");
}

} // namespace phylo::test
