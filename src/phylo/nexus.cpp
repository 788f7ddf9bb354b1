// NEXUS: the reader of TAXA and DISTANCES blocks, and the writers of karvel's NEXUS layouts,
// of standard NEXUS distances and of the PAUP blocks.
#include "phylo/nexus.hpp"

#include "line_input.hpp"
#include "nexus_parts.hpp"
#include "number_scan.hpp"
#include "phylo/chars.hpp"
#include "phylo/dist_reader.hpp"
#include "phylo/io.hpp"
#include "phylo/label.hpp"
#include "phylo/number.hpp"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace phylo::detail {
namespace {

// The characters that are tokens of their own in NEXUS.
constexpr std::string_view punctuation = "()[]{}/\\,;:=*\"`+-<>";

struct token {
  std::string text;
  std::size_t line = 0, column = 0;
  bool quoted = false;
  bool end = false; // the end of the input
  char punct = 0;   // a punctuation token
};

bool is_space(int c) noexcept { return c >= 0 && c <= ' '; }

bool is_word(const token &tk, std::string_view word) {
  return !tk.quoted && !tk.punct && !tk.end && equal_ignoring_case(tk.text, word);
}

std::string show(const token &tk) {
  if (tk.end) return "the end of the input";
  return quote_text(tk.text);
}

// The input of a NEXUS text, token by token, with the line and column of the read position
// counted as it goes. A line ends in a line feed, a carriage return and a line feed, or a
// carriage return alone (as old Mac programs write NEXUS), which the input does not count as a
// line end: `lone_crs` counts those that came before, from one block to the next.
class lexer {
public:
  lexer(input_source &in, std::size_t max_taxa, std::size_t &lone_crs)
      : in_(in), max_taxa_(max_taxa), lone_crs_(lone_crs), line_(in.line() + lone_crs), column_(in.column()) {}

  std::size_t max_taxa() const noexcept { return max_taxa_; }
  std::size_t line() const noexcept { return line_; }
  // A token that stands for the read position in messages.
  token here() const {
    token tk;
    tk.line = line_;
    tk.column = column_;
    return tk;
  }

  template <class Error = format_error>
  [[noreturn]] void fail(std::size_t line, std::size_t column, const std::string &why) const {
    throw Error(why, input_position{in_.name(), line, column});
  }
  [[noreturn]] void fail(const token &at, const std::string &why) const { fail(at.line, at.column, why); }
  [[noreturn]] void fail_here(const std::string &why) const { fail(line_, column_, why); }

  int peek() { return in_.peek(); }
  // Whether the read position is at a line end: a line feed, or a carriage return alone.
  bool at_line_end() {
    const int ch = in_.peek();
    return ch == '\n' || (ch == '\r' && in_.peek_at(1) != '\n');
  }
  void advance() {
    const int ch = in_.peek();
    if (ch == '\n' || (ch == '\r' && in_.peek_at(1) != '\n')) {
      if (ch == '\r') ++lone_crs_;
      ++line_;
      column_ = 1;
    } else {
      ++column_;
    }
    in_.advance();
  }

  // Passes over white space and comments; with stop_at_line_end, stops before a line end.
  void skip_space(bool stop_at_line_end = false) {
    for (;;) {
      const int ch = peek();
      if (ch == '[') skip_comment();
      else if (is_space(ch) && !(stop_at_line_end && at_line_end())) advance();
      else return;
    }
  }

  token next() {
    skip_space();
    token tk;
    tk.line = line_;
    tk.column = column_;
    int ch = peek();
    if (ch < 0) {
      tk.end = true;
      return tk;
    }
    if (ch == '\'') {
      tk.quoted = true;
      advance();
      for (;;) {
        ch = peek();
        if (ch < 0) fail(tk, "a label that begins here in ' is never closed");
        advance();
        if (ch == '\'') {
          if (peek() != '\'') break;
          advance(); // a doubled apostrophe stands for one
        }
        tk.text.push_back(static_cast<char>(ch));
      }
      return tk;
    }
    if (punctuation.find(static_cast<char>(ch)) != std::string_view::npos) {
      tk.punct = static_cast<char>(ch);
      tk.text.assign(1, tk.punct);
      advance();
      return tk;
    }
    while ((ch = peek()) >= 0 && !is_space(ch) && ch != '\'' &&
           punctuation.find(static_cast<char>(ch)) == std::string_view::npos) {
      tk.text.push_back(ch == '_' ? ' ' : static_cast<char>(ch)); // an underscore in a bare word is a blank
      advance();
    }
    return tk;
  }

  // The next token, left unread.
  token peek_token() {
    input_mark mark(in_);
    const std::size_t line = line_, column = column_, lone_crs = lone_crs_;
    token tk = next();
    mark.rewind();
    line_ = line;
    column_ = column;
    lone_crs_ = lone_crs;
    return tk;
  }

  // The text of one value: up to white space, a comment, ';' or ','.
  std::string value_text() {
    std::string text;
    int ch;
    while ((ch = peek()) >= 0 && !is_space(ch) && ch != ';' && ch != '[' && ch != ',') {
      text.push_back(static_cast<char>(ch));
      advance();
    }
    return text;
  }

private:
  // Skips a comment whose '[' is at the read position; comments nest.
  void skip_comment() {
    const std::size_t first_line = line_, first_column = column_;
    if (!skip_bracket_comment(*this))
      fail(first_line, first_column, "a comment that begins here is never closed with ']'");
  }

  input_source &in_;
  std::size_t max_taxa_;
  std::size_t &lone_crs_;
  std::size_t line_, column_;
};

void expect_semicolon(lexer &lx, std::string_view after) {
  const token tk = lx.next();
  if (tk.punct != ';') lx.fail(tk, "expected ';' after " + std::string(after) + ", found " + show(tk));
}

// Consumes the rest of a command up to and including its ';'.
void skip_command(lexer &lx, const token &start) {
  for (;;) {
    const token tk = lx.next();
    if (tk.end) lx.fail(start, "the command " + show(start) + " that begins here never ends with ';'");
    if (tk.punct == ';') return;
  }
}

// Skips a block up to and including END; (or ENDBLOCK;).
void skip_block(lexer &lx, const token &name) {
  for (;;) {
    const token tk = lx.next();
    if (tk.end) lx.fail(name, "the block " + show(name) + " that begins here has no END;");
    if (is_word(tk, "END") || is_word(tk, "ENDBLOCK")) {
      expect_semicolon(lx, "END");
      return;
    }
  }
}

// A whole positive number after "NAME ="; *where, when given, is set to where it stands.
std::size_t read_count_value(lexer &lx, std::string_view name, token *where = nullptr) {
  const token eq = lx.next();
  if (eq.punct != '=') lx.fail(eq, "expected '=' after " + std::string(name) + ", found " + show(eq));
  const token v = lx.next();
  std::size_t n = 0;
  bool digits = !v.text.empty() && !v.quoted;
  for (char ch : v.text) {
    if (ch < '0' || ch > '9') digits = false;
    else if (n <= lx.max_taxa()) n = n * 10 + static_cast<std::size_t>(ch - '0');
  }
  if (!digits) lx.fail(v, "expected a number after " + std::string(name) + "=, found " + show(v));
  if (where) *where = v;
  return n;
}

std::size_t read_ntax(lexer &lx) {
  token at;
  const std::size_t n = read_count_value(lx, "NTAX", &at);
  if (n < 1 || n > lx.max_taxa())
    lx.fail<range_error>(at.line, at.column,
                         "NTAX=" + (n > lx.max_taxa() ? "above " + std::to_string(lx.max_taxa()) : std::to_string(n)) +
                             " is outside 1 to " + std::to_string(lx.max_taxa()));
  return n;
}

// TAXLABELS: exactly n labels and ';'.
std::vector<std::string> read_taxlabels(lexer &lx, std::size_t n, const token &command) {
  std::vector<std::string> labels;
  for (;;) {
    token tk = lx.next();
    if (tk.punct == ';') break;
    if (tk.end) lx.fail(command, "TAXLABELS never ends with ';'");
    if (tk.punct)
      lx.fail(tk, "TAXLABELS holds " + show(tk) +
                      ", which is no label: a label with blanks or punctuation must be enclosed in single quotes");
    if (labels.size() == n)
      lx.fail(tk, "TAXLABELS lists more labels than the " + std::to_string(n) + " taxa of NTAX (" + show(tk) +
                      " is one too many): a label with a blank inside must be enclosed in single quotes");
    if (tk.text.empty()) lx.fail(tk, "TAXLABELS holds an empty label ''");
    labels.push_back(std::move(tk.text));
  }
  if (labels.size() < n)
    lx.fail_here("TAXLABELS lists " + std::to_string(labels.size()) + " labels, but NTAX is " + std::to_string(n));
  return labels;
}

// The taxon count may not change once the labels are known.
[[noreturn]] void fail_changed_ntax(lexer &lx, const token &item, std::size_t count, std::size_t labels) {
  lx.fail(item, "DIMENSIONS NTAX=" + std::to_string(count) + " after TAXLABELS changes the number of taxa from " +
                    std::to_string(labels));
}

void read_taxa_block(lexer &lx, const token &name, std::vector<std::string> &taxa) {
  std::size_t n = 0;
  bool have_labels = false;
  for (;;) {
    const token cmd = lx.next();
    if (cmd.end) lx.fail(name, "the TAXA block that begins here has no END;");
    if (cmd.punct == ';') continue;
    if (is_word(cmd, "END") || is_word(cmd, "ENDBLOCK")) {
      expect_semicolon(lx, "END");
      break;
    }
    if (is_word(cmd, "DIMENSIONS")) {
      const token item = lx.next();
      if (!is_word(item, "NTAX")) lx.fail(item, "expected NTAX in DIMENSIONS, found " + show(item));
      const std::size_t count = read_ntax(lx);
      if (have_labels && count != taxa.size()) fail_changed_ntax(lx, item, count, taxa.size());
      n = count;
      expect_semicolon(lx, "DIMENSIONS");
    } else if (is_word(cmd, "TAXLABELS")) {
      if (n == 0) lx.fail(cmd, "TAXLABELS comes before DIMENSIONS NTAX");
      taxa = read_taxlabels(lx, n, cmd);
      have_labels = true;
    } else {
      skip_command(lx, cmd);
    }
  }
  // Without TAXLABELS (as some programs write it for SplitsTree), the matrix gives the labels.
  if (!have_labels) {
    if (n == 0) lx.fail(name, "the TAXA block has neither DIMENSIONS NTAX= nor TAXLABELS");
    taxa.assign(n, std::string());
  }
}

enum class triangle_type { LOWER, UPPER, BOTH };

struct matrix_format {
  triangle_type triangle = triangle_type::LOWER;
  bool diagonal = true;
  bool labels = true;
  bool interleave = false;
  std::string missing = "?";
};

// The FORMAT items of a DISTANCES block, as the NEXUS standard has them (TRIANGLE=, [NO]DIAGONAL,
// [NO]LABELS, MISSING=, INTERLEAVE) and as SplitsTree writes them: LABELS=LEFT or LABELS=NO,
// DIAGONAL=YES or NO, and NO DIAGONAL, NO LABELS in two words. Several FORMAT commands add up.
void read_format(lexer &lx, matrix_format &f) {
  for (;;) {
    token item = lx.next();
    if (item.punct == ';') return;
    if (item.end || item.punct || item.quoted) lx.fail(item, "expected a FORMAT item, found " + show(item));
    auto value = [&]() {
      const token eq = lx.next();
      if (eq.punct != '=') lx.fail(eq, "expected '=' after " + item.text + ", found " + show(eq));
      token v = lx.next();
      if (v.end || v.punct == ';') lx.fail(v, "expected a value after " + item.text + "=, found " + show(v));
      return v;
    };
    // KEYWORD, or KEYWORD=YES or KEYWORD=NO (LABELS=LEFT too).
    auto yes_or_no = [&](std::string_view keyword) {
      if (lx.peek_token().punct != '=') return true;
      const bool left = keyword == "LABELS";
      const token v = value();
      if (is_word(v, "YES") || (left && is_word(v, "LEFT"))) return true;
      if (is_word(v, "NO")) return false;
      if (left && is_word(v, "RIGHT"))
        lx.fail(v, "LABELS=RIGHT (labels after the distances) is not read; the labels must stand on the left");
      lx.fail(v, std::string(keyword) + " must be " + (left ? "LEFT, YES or NO" : "YES or NO") + ", not " + show(v));
    };
    bool no = false; // NO before DIAGONAL or LABELS
    if (is_word(item, "NO")) {
      no = true;
      item = lx.next();
      if (!is_word(item, "DIAGONAL") && !is_word(item, "LABELS"))
        lx.fail(item, "expected DIAGONAL or LABELS after NO in FORMAT, found " + show(item));
    }
    if (is_word(item, "TRIANGLE")) {
      const token v = value();
      if (is_word(v, "LOWER")) f.triangle = triangle_type::LOWER;
      else if (is_word(v, "UPPER")) f.triangle = triangle_type::UPPER;
      else if (is_word(v, "BOTH")) f.triangle = triangle_type::BOTH;
      else lx.fail(v, "TRIANGLE must be LOWER, UPPER or BOTH, not " + show(v));
    } else if (is_word(item, "DIAGONAL")) {
      f.diagonal = !no && yes_or_no("DIAGONAL");
    } else if (is_word(item, "NODIAGONAL")) {
      f.diagonal = false;
    } else if (is_word(item, "LABELS")) {
      f.labels = !no && yes_or_no("LABELS");
    } else if (is_word(item, "NOLABELS")) {
      f.labels = false;
    } else if (is_word(item, "INTERLEAVE")) {
      f.interleave = yes_or_no("INTERLEAVE");
    } else if (is_word(item, "MISSING")) {
      const token v = value();
      if (v.text.size() != 1) lx.fail(v, "MISSING must be one character, not " + show(v));
      f.missing = v.text;
    } else {
      lx.fail(item, "unknown FORMAT item " + show(item) +
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
  lexer &lx;
  const matrix_format &f;
  dist_mat_type &mat;
  std::optional<float> fill; // the distance of a missing cell; none: a missing cell is an error

  std::string who(std::size_t i) const {
    return !mat.labels[i].empty() ? quote_text(mat.labels[i]) : "taxon " + std::to_string(i + 1);
  }

  bool label_matches(const token &tk, std::size_t i) const {
    const std::string &want = mat.labels[i];
    return tk.text == want || (!tk.end && !tk.punct && equal_ignoring_case(tk.text, want)) ||
           (!tk.quoted && tk.text == std::to_string(i + 1));
  }

  // The label of row i: it names the taxon when the taxa have no labels yet; otherwise it
  // must be the taxon's label (in any case) or its number.
  void read_label(std::size_t i) {
    token tk = lx.next();
    if (tk.end || tk.punct)
      lx.fail(tk,
              "expected the label of row " + std::to_string(i + 1) + " of the matrix, found " + show(tk) +
                  (tk.punct == ';' ? " (the matrix has fewer rows than its " + std::to_string(mat.n_tax()) + " taxa)"
                                   : ""));
    if (tk.text.empty()) lx.fail(tk, "row " + std::to_string(i + 1) + " of the matrix has an empty label ''");
    if (mat.labels[i].empty()) {
      mat.labels[i] = std::move(tk.text);
    } else if (!label_matches(tk, i)) {
      lx.fail(tk, "row " + std::to_string(i + 1) + " of the matrix is labelled " + show(tk) + ", but taxon " +
                      std::to_string(i + 1) + " is " + quote_text(mat.labels[i]) +
                      (tk.quoted ? "" : " (a label with a blank inside must be enclosed in single quotes)"));
    }
  }

  void read_value(std::size_t i, std::size_t j, std::size_t k, std::size_t count) {
    lx.skip_space(f.interleave);
    const token at = lx.here();
    const std::string text = lx.value_text();
    if (text.empty())
      lx.fail(at, "row " + who(i) + " of the matrix has " + std::to_string(k) + " values where " +
                      std::to_string(count) + " were expected: found " + describe_char(lx.peek()));
    float value = 0;
    if (text == f.missing) {
      if (!fill)
        lx.fail<read::missing_pair_error>(at.line, at.column,
                                          "the distance between " + who(i) + " and " + who(j) + " is missing (" +
                                              quote_text(f.missing) + ")");
      value = *fill;
    } else if (const std::optional<float> v = read::parse_real(text)) {
      value = *v;
    } else {
      lx.fail(at, quote_text(text) + " in row " + who(i) + " is no distance" +
                      (k == 0 && f.labels ? "" : " (or the row has fewer than " + std::to_string(count) + " values)"));
    }
    if (value < 0.0f)
      lx.fail<range_error>(at.line, at.column, "distance " + quote_text(text) + " in row " + who(i) + " is negative");
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

  // ---- Interleaved matrices ----
  //
  // The matrix comes in blocks of columns, each line of a block continuing one row. A row that
  // has no cells in a block is left out of it (an upper triangle leaves the last rows out of the
  // first blocks, a lower one the first rows out of the last blocks), or stands as its label
  // alone or, without labels, as an empty line. With labels each line names its row, and a
  // label that comes again (or an earlier one) begins the next block; without labels a line's
  // row is told by its place: the rows that have cells in the block, in order.

  std::vector<std::size_t> filled; // the cells read of each row
  std::vector<std::size_t> seen;   // the block in which each row was last read (from 1)

  bool complete(std::size_t i) const { return filled[i] == cells_of(f, i, mat.n_tax()).count; }
  // The column of the next cell of row i; SIZE_MAX once it is complete.
  std::size_t next_column(std::size_t i) const {
    const row_cells r = cells_of(f, i, mat.n_tax());
    return filled[i] < r.count ? column_of(r, i, filled[i]) : SIZE_MAX;
  }

  // A block: where it begins, and what its rows tell of the column where it ends (from 0, one
  // past its last column): at least lo and at most hi.
  struct block_type {
    std::size_t id = 0, line = 0;
    std::size_t lo = 0, hi = SIZE_MAX;
  };

  std::string block_name(const block_type &b) const {
    return "the block of the interleaved matrix that begins on line " + std::to_string(b.line);
  }

  // Reads the values on the rest of the line into row i, and narrows the block's end.
  void read_segment(std::size_t i, block_type &b) {
    const row_cells r = cells_of(f, i, mat.n_tax());
    const std::size_t before = filled[i];
    const token start = lx.here();
    for (;;) {
      lx.skip_space(true);
      const int c = lx.peek();
      if (c < 0 || c == ';' || lx.at_line_end()) break;
      if (filled[i] == r.count)
        lx.fail_here("row " + who(i) + " of the matrix holds more than its " + std::to_string(r.count) + " values");
      read_value(i, column_of(r, i, filled[i]), filled[i], r.count);
      ++filled[i];
    }
    seen[i] = b.id;
    const std::size_t next = next_column(i);
    if (filled[i] == before) { // a row with no cells in the block
      if (next < b.lo)
        lx.fail(start, "row " + who(i) + " gives none of its distances in " + block_name(b) +
                           ", whose earlier rows reach column " + std::to_string(b.lo));
      b.hi = std::min(b.hi, next);
      return;
    }
    // The block ends past the last cell read, and, when the row goes on, at its next cell at most.
    const std::size_t end = column_of(r, i, filled[i] - 1) + 1;
    if (end > b.hi || next < b.lo)
      lx.fail(start, "row " + who(i) + " ends at column " + std::to_string(end) + " in " + block_name(b) +
                         ", whose earlier rows end at column " + std::to_string(end > b.hi ? b.hi : b.lo));
    b.lo = std::max(b.lo, end);
    b.hi = std::min(b.hi, next);
  }

  // The next cell of row i in words.
  std::string next_cell(std::size_t i) const {
    const std::size_t j = next_column(i);
    return j == i ? "the distance of " + who(i) + " to itself" : "the distance between " + who(i) + " and " + who(j);
  }

  // At the end of a block: every row that has cells in it had a line.
  void close_block(const block_type &b) const {
    for (std::size_t i = 0; i < mat.n_tax(); ++i)
      if (seen[i] != b.id && next_column(i) < b.lo)
        lx.fail(b.line, 0, block_name(b) + " has no line for row " + who(i) + ", which should give " + next_cell(i));
  }

  // At the end of the matrix: every row is complete.
  void expect_complete() {
    for (std::size_t i = 0; i < mat.n_tax(); ++i)
      if (!complete(i)) {
        lx.skip_space();
        lx.fail_here("the interleaved matrix ends without " + next_cell(i));
      }
  }

  // The row that a label names: a taxon's label (in any case) or its number; while the taxa have
  // no labels, a new label names the next taxon.
  std::unordered_map<std::string, std::size_t> by_label, by_upper;
  std::size_t named = 0; // the taxa that have a label
  std::size_t find_row(const token &tk, std::size_t expected) {
    const std::size_t n = mat.n_tax();
    if (tk.text.empty()) lx.fail(tk, "a row of the matrix has an empty label ''");
    if (expected < named && (tk.text == mat.labels[expected] || equal_ignoring_case(tk.text, mat.labels[expected])))
      return expected;
    std::string upper = tk.text;
    for (char &ch : upper) ch = ascii_upper_map(ch);
    auto exact = by_label.find(tk.text);
    if (exact != by_label.end()) return exact->second;
    auto folded = by_upper.find(upper);
    if (folded != by_upper.end()) return folded->second;
    if (!tk.quoted) {
      std::size_t number = 0;
      bool digits = true;
      for (char ch : tk.text) {
        if (ch < '0' || ch > '9') digits = false;
        else if (number <= n) number = number * 10 + static_cast<std::size_t>(ch - '0');
      }
      if (digits && number >= 1 && number <= named) return number - 1;
    }
    if (named == n)
      lx.fail(tk, "the matrix has a row labelled " + show(tk) + ", which is none of its " + std::to_string(n) +
                      " taxa" + (tk.quoted ? "" : " (a label with a blank inside must be enclosed in single quotes)"));
    mat.labels[named] = tk.text;
    name(named);
    return named - 1;
  }
  void name(std::size_t i) {
    by_label.emplace(mat.labels[i], i);
    std::string upper = mat.labels[i];
    for (char &ch : upper) ch = ascii_upper_map(ch);
    by_upper.emplace(std::move(upper), i);
    named = i + 1;
  }

  void read_interleaved() {
    const std::size_t n = mat.n_tax();
    filled.assign(n, 0);
    seen.assign(n, 0);
    block_type b;
    if (f.labels) {
      while (named < n && !mat.labels[named].empty()) name(named);
      std::size_t last = SIZE_MAX; // the row of the last line of the block
      for (;;) {
        const token ahead = lx.peek_token();
        if (ahead.punct == ';' || ahead.end) break;
        const token tk = lx.next();
        if (tk.punct) lx.fail(tk, "expected the label of a row of the interleaved matrix, found " + show(tk));
        const std::size_t i = find_row(tk, last == SIZE_MAX ? 0 : last + 1);
        if (b.id == 0 || i <= last) {
          if (b.id != 0) close_block(b);
          b = block_type{b.id + 1, tk.line};
        }
        last = i;
        read_segment(i, b);
      }
      if (b.id != 0) close_block(b);
      return expect_complete();
    }
    for (;;) {
      b = block_type{b.id + 1, 0};
      bool any = false;
      for (std::size_t i = 0; i < n; ++i) {
        if (complete(i) || next_column(i) >= b.hi) continue;
        lx.skip_space();
        if (lx.peek() < 0 || lx.peek() == ';') return expect_complete();
        if (!any) b.line = lx.line();
        any = true;
        read_segment(i, b);
      }
      if (!any) return;
    }
  }
};

dist_mat_access read_distances_block(lexer &lx, const token &name, const std::vector<std::string> &taxa,
                                     std::optional<float> fill) {
  std::size_t n = 0;
  bool newtaxa = false;
  matrix_format f;
  std::vector<std::string> own_labels;
  dist_mat_access mat;
  for (;;) {
    const token cmd = lx.next();
    if (cmd.end) lx.fail(name, "the DISTANCES block that begins here has no END;");
    if (cmd.punct == ';') continue;
    if (is_word(cmd, "END") || is_word(cmd, "ENDBLOCK")) {
      expect_semicolon(lx, "END");
      break;
    }
    if (mat) {
      skip_command(lx, cmd);
    } else if (is_word(cmd, "DIMENSIONS")) {
      for (;;) {
        const token item = lx.next();
        if (item.punct == ';') break;
        if (is_word(item, "NEWTAXA")) newtaxa = true;
        else if (is_word(item, "NTAX")) {
          const std::size_t count = read_ntax(lx);
          if (!own_labels.empty() && count != own_labels.size()) fail_changed_ntax(lx, item, count, own_labels.size());
          n = count;
        } else if (is_word(item, "NCHAR")) read_count_value(lx, "NCHAR");
        else lx.fail(item, "expected NEWTAXA, NTAX= or NCHAR= in DIMENSIONS, found " + show(item));
      }
    } else if (is_word(cmd, "FORMAT")) {
      read_format(lx, f);
    } else if (is_word(cmd, "TAXLABELS")) {
      if (n == 0) lx.fail(cmd, "TAXLABELS comes before DIMENSIONS NTAX");
      own_labels = read_taxlabels(lx, n, cmd);
    } else if (is_word(cmd, "MATRIX")) {
      const bool own_taxa = newtaxa || taxa.empty();
      if (!own_taxa && n != 0 && n != taxa.size())
        lx.fail(cmd, "DIMENSIONS NTAX=" + std::to_string(n) + " differs from the " + std::to_string(taxa.size()) +
                         " taxa of the TAXA block (say NEWTAXA for taxa of its own)");
      if (n == 0) {
        if (own_taxa)
          lx.fail(cmd, "the matrix has no taxon count: neither DIMENSIONS NTAX= nor a TAXA block gives one");
        n = taxa.size();
      }
      const std::vector<std::string> *known = nullptr;
      if (!own_labels.empty()) known = &own_labels;
      else if (!own_taxa) known = &taxa;
      if ((!known || (*known)[0].empty()) && !f.labels)
        lx.fail(cmd, "the taxa have no labels: the matrix has NOLABELS and there is no TAXLABELS");
      mat = new_dist_mat(n);
      if (known)
        for (std::size_t i = 0; i < n; ++i) mat->labels[i] = (*known)[i];
      for (std::size_t i = 0; i < n; ++i) mat->distances(i, i) = 0.0f;
      matrix_reader r{lx, f, *mat, fill, {}, {}, {}, {}, 0};
      if (f.interleave) r.read_interleaved();
      else r.read_sequential();
      const token end = lx.next();
      if (end.punct != ';')
        lx.fail(end, "expected ';' after the " + std::to_string(n) + (n == 1 ? " row" : " rows") +
                         " of the matrix, found " + show(end));
    } else {
      skip_command(lx, cmd);
    }
  }
  if (!mat) lx.fail(name, "the DISTANCES block that begins here has no MATRIX");
  return mat;
}

} // namespace

void start_nexus(input_source &in) {
  skip_blank_lines(in);
  skip_blanks<true>(in);
  const input_position where = in.position();
  std::string head;
  for (int k = 0; k < 6 && in.peek() >= 0 && in.peek() != '\n'; ++k) {
    head.push_back(ascii_upper_map(static_cast<char>(in.peek())));
    in.advance();
  }
  if (head != "#NEXUS") throw format_error("a NEXUS text must begin with #NEXUS", where);
}

dist_mat_access read_nexus_dist(input_source &in, std::vector<std::string> &taxa, std::size_t &lone_crs,
                                std::size_t max_taxa, std::optional<float> fill, std::size_t &matrix_line) {
  lexer lx(in, max_taxa, lone_crs);
  for (;;) {
    const token tk = lx.next();
    if (tk.end) return nullptr;
    // NEXUS texts one after the other (as a conversion of several matrices writes them): the
    // taxa of one are not those of the next.
    if (is_word(tk, "#NEXUS")) {
      taxa.clear();
      continue;
    }
    if (!is_word(tk, "BEGIN")) lx.fail(tk, "expected BEGIN of a NEXUS block, found " + show(tk));
    const token name = lx.next();
    if (name.end || name.punct) lx.fail(name, "expected the name of a block after BEGIN, found " + show(name));
    expect_semicolon(lx, "BEGIN " + name.text);
    if (is_word(name, "TAXA")) {
      read_taxa_block(lx, name, taxa);
    } else if (is_word(name, "DISTANCES")) {
      matrix_line = tk.line;
      return read_distances_block(lx, name, taxa, fill);
    } else {
      skip_block(lx, name);
    }
  }
}

void print_nexus_distances_head(output_sink &out, std::size_t n_tax) {
  out.write("#NEXUS\n\nbegin distances;\n\tdimensions newtaxa ntax=");
  out.write(print::integer_image(static_cast<long long>(n_tax)));
  out.write(";\n\tformat triangle=both labels;\n\tmatrix\n");
}

void print_nexus_data_head(output_sink &out, std::size_t n_tax, std::size_t n_char, bool symbols) {
  out.write("begin data;\n\tdimensions ntax=");
  out.write(print::integer_image(static_cast<long long>(n_tax)));
  out.write(" nchar=");
  out.write(print::integer_image(static_cast<long long>(n_char)));
  out.write(symbols ? ";\n\tformat datatype=nucleotide gap=- missing=?;\n\tmatrix\n"
                    : ";\n\tformat datatype=numerical missing=?;\n\tmatrix\n");
}

} // namespace phylo::detail

namespace phylo::print {
namespace {

// The lines of both PAUP blocks in order; each block writes the lines that it holds.
struct paup_line {
  std::string_view text;
  bool distances, data;
};
constexpr paup_line paup_lines[] = {
    {"\t;\n", true, true},
    {"end;\n", true, true},
    {"\n", true, true},
    {"begin paup;\n", true, true},
    {"\tset torder=left tcompress taxlabels=full outroot=monophyl\n", true, true},
    {"\t\tautoclose maxtrees=1000 increase=auto autoinc=1000\n", true, true},
    {"\t\tstoretreewts storebrlens rootmethod=outgroup\n", true, true},
    {"\t\twarnroot=no;\n", true, true},
    {"\tpset opt=deltran collapse=minbrlen;\n", false, true},
    {"\tdset dcollapse distance=hky85 missdist=ignore rates=equal\n", false, true},
    {"\t\tpinvar=0;\n", false, true},
    {"\tdefaults nj bionj breakties=random;\n", true, true},
    {"\tdefaults upgma bionj breakties=random;\n", true, true},
    {"\tdefaults bootstrap grpfreq=no;\n", false, true},
    {"\tdefaults contree grpfreq=no;\n", true, true},
    {"\tdefaults hsearch addseq=random;\n", true, true},
    {"\tdefaults savedist triangle=both;\n", true, true},
    {"end;\n", true, true},
    {"\n", true, true},
};

} // namespace

void print_paup_block(paup_block_type after) { print_paup_block(current_output(), after); }

void print_paup_block(output_sink &out, paup_block_type after) {
  for (const paup_line &line : paup_lines)
    if (after == paup_block_type::DISTANCES ? line.distances : line.data) out.write(line.text);
}

void print_nexus_dist_mat(const dist_mat_type &dist) { print_nexus_dist_mat(current_output(), dist); }

void print_nexus_dist_mat(output_sink &out, const dist_mat_type &dist) {
  const std::size_t n = dist.n_tax();
  const std::string count = std::to_string(n);
  out.write("#NEXUS\n\nbegin taxa;\n\tdimensions ntax=" + count + ";\n\ttaxlabels\n");
  for (std::size_t i = 0; i < n; ++i) {
    out.write("\t\t");
    out.write(to_quoted_nexus_label(dist.labels[i]));
    out.put('\n');
  }
  out.write("\t;\nend;\n\nbegin distances;\n\tdimensions ntax=" + count +
            ";\n\tformat triangle=lower diagonal labels missing=?;\n\tmatrix\n");
  for (std::size_t i = 0; i < n; ++i) {
    out.write("\t\t");
    out.write(to_quoted_nexus_label(dist.labels[i]));
    const float *row = dist.distances.row(i);
    for (std::size_t j = 0; j <= i; ++j) {
      char *p = out.reserve(66);
      *p++ = '\t';
      out.commit(write_plain_decimal(row[j], p));
    }
    out.put('\n');
  }
  out.write("\t;\nend;\n");
}

} // namespace phylo::print

namespace phylo::read {

dist_mat_access nexus_dist_reader::next() {
  if (!started_) {
    detail::start_nexus(in_);
    started_ = true;
  }
  return detail::read_nexus_dist(in_, taxa_, lone_crs_, max_taxa_, fill_, matrix_line_);
}

} // namespace phylo::read
