#include "nexus_parts.hpp"

#include <cstring>

namespace phylo::detail {
namespace {

using read::dist_text_type;

// The characters that are tokens of their own in NEXUS.
constexpr std::string_view punctuation = "()[]{}/\\,;:=*\"`+-<>";

struct token {
  std::string text;
  std::size_t line = 0;
  bool quoted = false;
  bool end = false; // the end of the text
  char punct = 0;   // a punctuation token
};

[[noreturn]] void fail_at(dist_text_type &t, std::size_t line, const std::string &why) {
  t.line = line;
  throw format_error(why);
}

bool is_space(int c) noexcept { return c >= 0 && c <= ' '; }

char upper(char c) noexcept { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool iequals(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upper(a[i]) != upper(b[i])) return false;
  return true;
}

bool is_word(const token &tk, std::string_view word) { return !tk.quoted && !tk.punct && !tk.end && iequals(tk.text, word); }

std::string show(const token &tk) {
  if (tk.end) return "the end of the input";
  return quote_text(tk.text);
}

// Skips a comment whose '[' is at the cursor; comments nest.
void skip_comment(dist_text_type &t, text_cursor &c) {
  const std::size_t first_line = c.line;
  int depth = 0;
  do {
    int ch = c.peek();
    if (ch < 0) fail_at(t, first_line, "a comment that begins here is never closed with ']'");
    if (ch == '[') ++depth;
    if (ch == ']') --depth;
    c.advance();
  } while (depth > 0);
}

// Passes over white space and comments; with stop_at_line_end, stops before a line end.
void skip_space(dist_text_type &t, text_cursor &c, bool stop_at_line_end = false) {
  for (;;) {
    int ch = c.peek();
    if (ch == '[') skip_comment(t, c);
    else if (is_space(ch) && !(stop_at_line_end && ch == '\n')) c.advance();
    else return;
  }
}

token next_token(dist_text_type &t, text_cursor &c) {
  skip_space(t, c);
  token tk;
  tk.line = c.line;
  int ch = c.peek();
  if (ch < 0) {
    tk.end = true;
    return tk;
  }
  if (ch == '\'') {
    tk.quoted = true;
    c.advance();
    for (;;) {
      ch = c.peek();
      if (ch < 0) fail_at(t, tk.line, "a label that begins here in ' is never closed");
      c.advance();
      if (ch == '\'') {
        if (c.peek() != '\'') break;
        c.advance(); // a doubled apostrophe stands for one
      }
      tk.text.push_back(static_cast<char>(ch));
    }
    return tk;
  }
  if (punctuation.find(static_cast<char>(ch)) != std::string_view::npos) {
    tk.punct = static_cast<char>(ch);
    tk.text.assign(1, tk.punct);
    c.advance();
    return tk;
  }
  while ((ch = c.peek()) >= 0 && !is_space(ch) && ch != '\'' && punctuation.find(static_cast<char>(ch)) == std::string_view::npos) {
    tk.text.push_back(ch == '_' ? ' ' : static_cast<char>(ch)); // an underscore in a bare word is a blank
    c.advance();
  }
  return tk;
}

token peek_token(dist_text_type &t, const text_cursor &c) {
  text_cursor copy = c;
  return next_token(t, copy);
}

void expect_semicolon(dist_text_type &t, text_cursor &c, std::string_view after) {
  token tk = next_token(t, c);
  if (tk.punct != ';') fail_at(t, tk.line, "expected ';' after " + std::string(after) + ", found " + show(tk));
}

// Consumes the rest of a command up to and including its ';'.
void skip_command(dist_text_type &t, text_cursor &c, const token &start) {
  for (;;) {
    token tk = next_token(t, c);
    if (tk.end) fail_at(t, start.line, "the command " + show(start) + " that begins here never ends with ';'");
    if (tk.punct == ';') return;
  }
}

// Skips a block up to and including END; (or ENDBLOCK;).
void skip_block(dist_text_type &t, text_cursor &c, const token &name) {
  for (;;) {
    token tk = next_token(t, c);
    if (tk.end) fail_at(t, name.line, "the block " + show(name) + " that begins here has no END;");
    if (is_word(tk, "END") || is_word(tk, "ENDBLOCK")) {
      expect_semicolon(t, c, "END");
      return;
    }
  }
}

// A whole positive number after "NAME =".
std::size_t read_count_value(dist_text_type &t, text_cursor &c, std::string_view name) {
  token eq = next_token(t, c);
  if (eq.punct != '=') fail_at(t, eq.line, "expected '=' after " + std::string(name) + ", found " + show(eq));
  token v = next_token(t, c);
  std::size_t n = 0;
  bool digits = !v.text.empty() && !v.quoted;
  for (char ch : v.text) {
    if (ch < '0' || ch > '9') digits = false;
    else if (n <= static_cast<std::size_t>(max_taxa)) n = n * 10 + static_cast<std::size_t>(ch - '0');
  }
  if (!digits) fail_at(t, v.line, "expected a number after " + std::string(name) + "=, found " + show(v));
  return n;
}

std::size_t read_ntax(dist_text_type &t, text_cursor &c) {
  std::size_t n = read_count_value(t, c, "NTAX");
  if (n < 1 || n > static_cast<std::size_t>(max_taxa)) {
    t.line = c.line;
    throw range_error("NTAX=" + (n > static_cast<std::size_t>(max_taxa) ? "above " + std::to_string(max_taxa) : std::to_string(n)) +
                      " is outside 1 to " + std::to_string(max_taxa));
  }
  return n;
}

// TAXLABELS: exactly n labels and ';'.
std::vector<std::string> read_taxlabels(dist_text_type &t, text_cursor &c, std::size_t n, std::size_t command_line) {
  std::vector<std::string> labels;
  for (;;) {
    token tk = next_token(t, c);
    if (tk.punct == ';') break;
    if (tk.end) fail_at(t, command_line, "TAXLABELS never ends with ';'");
    if (tk.punct)
      fail_at(t, tk.line, "TAXLABELS holds " + show(tk) +
                              ", which is no label: a label with blanks or punctuation must be enclosed in single quotes");
    if (labels.size() == n)
      fail_at(t, tk.line, "TAXLABELS lists more labels than the " + std::to_string(n) + " taxa of NTAX (" + show(tk) +
                              " is one too many): a label with a blank inside must be enclosed in single quotes");
    labels.push_back(std::move(tk.text));
  }
  if (labels.size() < n)
    fail_at(t, c.line, "TAXLABELS lists " + std::to_string(labels.size()) + " labels, but NTAX is " + std::to_string(n));
  return labels;
}

void read_taxa_block(dist_text_type &t, text_cursor &c, const token &name) {
  std::size_t n = 0;
  bool have_labels = false;
  for (;;) {
    token cmd = next_token(t, c);
    if (cmd.end) fail_at(t, name.line, "the TAXA block that begins here has no END;");
    if (cmd.punct == ';') continue;
    if (is_word(cmd, "END") || is_word(cmd, "ENDBLOCK")) {
      expect_semicolon(t, c, "END");
      break;
    }
    if (is_word(cmd, "DIMENSIONS")) {
      token item = next_token(t, c);
      if (!is_word(item, "NTAX")) fail_at(t, item.line, "expected NTAX in DIMENSIONS, found " + show(item));
      n = read_ntax(t, c);
      expect_semicolon(t, c, "DIMENSIONS");
    } else if (is_word(cmd, "TAXLABELS")) {
      if (n == 0) fail_at(t, cmd.line, "TAXLABELS comes before DIMENSIONS NTAX");
      t.nexus_taxa = read_taxlabels(t, c, n, cmd.line);
      have_labels = true;
    } else {
      skip_command(t, c, cmd);
    }
  }
  if (!have_labels) fail_at(t, name.line, "the TAXA block has no TAXLABELS");
}

enum class triangle_type { LOWER, UPPER, BOTH };

struct matrix_format {
  triangle_type triangle = triangle_type::LOWER;
  bool diagonal = true;
  bool labels = true;
  bool interleave = false;
  std::string missing = "?";
};

void read_format(dist_text_type &t, text_cursor &c, matrix_format &f) {
  for (;;) {
    token item = next_token(t, c);
    if (item.punct == ';') return;
    if (item.end || item.punct || item.quoted) fail_at(t, item.line, "expected a FORMAT item, found " + show(item));
    auto value = [&]() {
      token eq = next_token(t, c);
      if (eq.punct != '=') fail_at(t, eq.line, "expected '=' after " + item.text + ", found " + show(eq));
      token v = next_token(t, c);
      if (v.end || v.punct == ';') fail_at(t, v.line, "expected a value after " + item.text + "=, found " + show(v));
      return v;
    };
    if (is_word(item, "TRIANGLE")) {
      token v = value();
      if (is_word(v, "LOWER")) f.triangle = triangle_type::LOWER;
      else if (is_word(v, "UPPER")) f.triangle = triangle_type::UPPER;
      else if (is_word(v, "BOTH")) f.triangle = triangle_type::BOTH;
      else fail_at(t, v.line, "TRIANGLE must be LOWER, UPPER or BOTH, not " + show(v));
    } else if (is_word(item, "DIAGONAL")) {
      f.diagonal = true;
    } else if (is_word(item, "NODIAGONAL")) {
      f.diagonal = false;
    } else if (is_word(item, "LABELS")) {
      f.labels = true;
    } else if (is_word(item, "NOLABELS")) {
      f.labels = false;
    } else if (is_word(item, "INTERLEAVE")) {
      f.interleave = true;
      if (peek_token(t, c).punct == '=') {
        token v = value();
        if (is_word(v, "NO")) f.interleave = false;
        else if (!is_word(v, "YES")) fail_at(t, v.line, "INTERLEAVE must be YES or NO, not " + show(v));
      }
    } else if (is_word(item, "MISSING")) {
      token v = value();
      if (v.text.size() != 1) fail_at(t, v.line, "MISSING must be one character, not " + show(v));
      f.missing = v.text;
    } else {
      fail_at(t, item.line, "unknown FORMAT item " + show(item) +
                                " (known: TRIANGLE=, DIAGONAL, NODIAGONAL, LABELS, NOLABELS, MISSING=, INTERLEAVE)");
    }
  }
}

// The columns of row i (from 0) of n: first, count; the diagonal is skipped when absent.
struct row_cells {
  std::size_t first, count;
  bool skips_diagonal;
};
row_cells cells_of(const matrix_format &f, std::size_t i, std::size_t n) {
  const std::size_t d = f.diagonal ? 1 : 0;
  switch (f.triangle) {
  case triangle_type::LOWER: return {0, i + d, false};
  case triangle_type::UPPER: return {i + 1 - d, n - i - 1 + d, false};
  default: return {0, n - 1 + d, !f.diagonal};
  }
}
std::size_t column_of(const row_cells &r, std::size_t i, std::size_t k) {
  std::size_t j = r.first + k;
  if (r.skips_diagonal && j >= i) ++j;
  return j;
}

struct matrix_reader {
  dist_text_type &t;
  text_cursor &c;
  const matrix_format &f;
  dist_mat_type &mat;

  std::string who(std::size_t i) const {
    return !mat.labels[i].empty() ? quote_text(mat.labels[i]) : "taxon " + std::to_string(i + 1);
  }

  bool label_matches(const token &tk, std::size_t i) const {
    const std::string &want = mat.labels[i];
    return tk.text == want || (!tk.end && !tk.punct && iequals(tk.text, want)) ||
           (!tk.quoted && tk.text == std::to_string(i + 1));
  }

  // The label of row i: it names the taxon when the taxa have no labels yet; otherwise it
  // must be the taxon's label (in any case) or its number.
  void read_label(std::size_t i) {
    token tk = next_token(t, c);
    if (tk.end || tk.punct)
      fail_at(t, tk.line, "expected the label of row " + std::to_string(i + 1) + " of the matrix, found " + show(tk) +
                              (tk.punct == ';' ? " (the matrix has fewer rows than its " + std::to_string(mat.n_tax()) + " taxa)" : ""));
    if (mat.labels[i].empty()) {
      mat.labels[i] = std::move(tk.text);
    } else if (!label_matches(tk, i)) {
      fail_at(t, tk.line, "row " + std::to_string(i + 1) + " of the matrix is labelled " + show(tk) + ", but taxon " +
                              std::to_string(i + 1) + " is " + quote_text(mat.labels[i]) +
                              (tk.quoted ? "" : " (a label with a blank inside must be enclosed in single quotes)"));
    }
  }

  // The text of one value: up to white space, a comment, ';' or ','.
  std::string_view value_text() {
    const char *start = c.p;
    int ch;
    while ((ch = c.peek()) >= 0 && !is_space(ch) && ch != ';' && ch != '[' && ch != ',') c.advance();
    return std::string_view(start, static_cast<std::size_t>(c.p - start));
  }

  void read_value(std::size_t i, std::size_t j, std::size_t k, std::size_t count) {
    skip_space(t, c, f.interleave);
    const std::size_t line = c.line;
    std::string_view text = value_text();
    if (text.empty())
      fail_at(t, line, "row " + who(i) + " of the matrix has " + std::to_string(k) + " values where " +
                           std::to_string(count) + " were expected: found " + describe_char(c.peek()));
    if (text == f.missing)
      fail_at(t, line, "the distance between " + who(i) + " and " + who(j) + " is missing (" + f.missing +
                           "); a matrix with missing distances cannot be converted");
    text_cursor v{text.data(), text.data() + text.size(), line};
    float value = 0;
    try {
      value = scan_real_text(v);
    } catch (const format_error &) {
      v.p = text.data();
    }
    if (v.p != v.end || text.empty())
      fail_at(t, line, quote_text(text) + " in row " + who(i) + " is no distance" +
                           (k == 0 && f.labels ? "" : " (or the row has fewer than " + std::to_string(count) + " values)"));
    if (value < 0.0f) {
      t.line = line;
      throw range_error("distance " + quote_text(text) + " in row " + who(i) + " is negative");
    }
    mat.distances(i, j) = value;
    if (f.triangle != triangle_type::BOTH) mat.distances(j, i) = value;
  }

  void read_sequential() {
    const std::size_t n = mat.n_tax();
    for (std::size_t i = 0; i < n; ++i) {
      if (f.labels) read_label(i);
      const row_cells r = cells_of(f, i, n);
      for (std::size_t k = 0; k < r.count; ++k) read_value(i, column_of(r, i, k), k, r.count);
    }
  }

  // Each line holds the next values of one row. The first pass has a line for every row;
  // later passes only for the rows that are not yet complete.
  void read_interleaved() {
    const std::size_t n = mat.n_tax();
    std::vector<std::size_t> filled(n, 0);
    std::size_t remaining = 0;
    for (std::size_t i = 0; i < n; ++i) remaining += cells_of(f, i, n).count;
    for (std::size_t pass = 0;; ++pass) {
      const std::size_t before = remaining;
      for (std::size_t i = 0; i < n; ++i) {
        const row_cells r = cells_of(f, i, n);
        if (filled[i] == r.count) {
          // A row without values may have a line of its own in the first pass.
          if (pass == 0 && f.labels && (mat.labels[i].empty() || label_matches(peek_token(t, c), i))) read_label(i);
          continue;
        }
        if (f.labels) read_label(i);
        for (;;) {
          skip_space(t, c, true);
          if (c.peek() < 0 || c.peek() == '\n' || c.peek() == ';') break;
          if (filled[i] == r.count)
            fail_at(t, c.line, "row " + who(i) + " of the matrix holds more than its " + std::to_string(r.count) + " values");
          read_value(i, column_of(r, i, filled[i]), filled[i], r.count);
          ++filled[i];
          --remaining;
        }
      }
      if (remaining == 0) return;
      if (remaining == before) fail_at(t, c.line, "the interleaved matrix gives no further values");
    }
  }
};

dist_mat_access read_distances_block(dist_text_type &t, text_cursor &c, const token &name) {
  std::size_t n = 0;
  bool newtaxa = false;
  matrix_format f;
  std::vector<std::string> own_labels;
  dist_mat_access mat;
  for (;;) {
    token cmd = next_token(t, c);
    if (cmd.end) fail_at(t, name.line, "the DISTANCES block that begins here has no END;");
    if (cmd.punct == ';') continue;
    if (is_word(cmd, "END") || is_word(cmd, "ENDBLOCK")) {
      expect_semicolon(t, c, "END");
      break;
    }
    if (mat) {
      skip_command(t, c, cmd);
    } else if (is_word(cmd, "DIMENSIONS")) {
      for (;;) {
        token item = next_token(t, c);
        if (item.punct == ';') break;
        if (is_word(item, "NEWTAXA")) newtaxa = true;
        else if (is_word(item, "NTAX")) n = read_ntax(t, c);
        else if (is_word(item, "NCHAR")) read_count_value(t, c, "NCHAR");
        else fail_at(t, item.line, "expected NEWTAXA, NTAX= or NCHAR= in DIMENSIONS, found " + show(item));
      }
    } else if (is_word(cmd, "FORMAT")) {
      read_format(t, c, f);
    } else if (is_word(cmd, "TAXLABELS")) {
      if (n == 0) fail_at(t, cmd.line, "TAXLABELS comes before DIMENSIONS NTAX");
      own_labels = read_taxlabels(t, c, n, cmd.line);
    } else if (is_word(cmd, "MATRIX")) {
      const bool own_taxa = newtaxa || t.nexus_taxa.empty();
      if (!own_taxa && n != 0 && n != t.nexus_taxa.size())
        fail_at(t, cmd.line, "DIMENSIONS NTAX=" + std::to_string(n) + " differs from the " +
                                 std::to_string(t.nexus_taxa.size()) + " taxa of the TAXA block (say NEWTAXA for taxa of its own)");
      if (n == 0) {
        if (own_taxa) fail_at(t, cmd.line, "the matrix has no taxon count: neither DIMENSIONS NTAX= nor a TAXA block gives one");
        n = t.nexus_taxa.size();
      }
      const std::vector<std::string> *known = nullptr;
      if (!own_labels.empty()) known = &own_labels;
      else if (!own_taxa) known = &t.nexus_taxa;
      if (!known && !f.labels)
        fail_at(t, cmd.line, "the taxa have no labels: the matrix has NOLABELS and there is no TAXLABELS");
      mat = std::make_unique<dist_mat_type>(n);
      if (known)
        for (std::size_t i = 0; i < n; ++i) mat->labels[i] = (*known)[i];
      for (std::size_t i = 0; i < n; ++i) mat->distances(i, i) = 0.0f;
      matrix_reader r{t, c, f, *mat};
      if (f.interleave) r.read_interleaved();
      else r.read_sequential();
      token end = next_token(t, c);
      if (end.punct != ';')
        fail_at(t, end.line, "expected ';' after the " + std::to_string(n) + " rows of the matrix, found " + show(end));
    } else {
      skip_command(t, c, cmd);
    }
  }
  if (!mat) fail_at(t, name.line, "the DISTANCES block that begins here has no MATRIX");
  return mat;
}

} // namespace

void start_nexus(dist_text_type &t, text_cursor &c) {
  skip_blank_lines(c);
  skip_blanks(c);
  const std::size_t line = c.line;
  std::string head;
  for (int k = 0; k < 6 && c.peek() >= 0 && c.peek() != '\n'; ++k) {
    head.push_back(upper(static_cast<char>(c.peek())));
    c.advance();
  }
  if (head != "#NEXUS") fail_at(t, line, "a NEXUS text must begin with #NEXUS");
}

dist_mat_access read_nexus_dist(dist_text_type &t, text_cursor &c) {
  for (;;) {
    token tk = next_token(t, c);
    if (tk.end) return nullptr;
    if (!is_word(tk, "BEGIN")) fail_at(t, tk.line, "expected BEGIN of a NEXUS block, found " + show(tk));
    token name = next_token(t, c);
    if (name.end || name.punct) fail_at(t, name.line, "expected the name of a block after BEGIN, found " + show(name));
    expect_semicolon(t, c, "BEGIN " + name.text);
    if (is_word(name, "TAXA")) {
      read_taxa_block(t, c, name);
    } else if (is_word(name, "DISTANCES")) {
      t.matrix_line = tk.line;
      return read_distances_block(t, c, name);
    } else {
      skip_block(t, c, name);
    }
  }
}

} // namespace phylo::detail
