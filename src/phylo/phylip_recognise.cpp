// The rows of the recognising reader: matrices of the PHYLIP family whose label layout and
// shape are told from their first rows.
//
// A matrix is read in every way that the settings leave open (10-character labels or label
// words, and five shapes), but only over its first rows, under an input_mark: the buffer then
// holds those rows and nothing more. The way that fits is chosen, and the whole matrix is
// read that way from its first row; the ways of other label layouts that read the first rows
// alike are kept open, row by row, until a row that only one of them reads decides. A small
// matrix is read whole in every way, so that its end decides as well.
#include "phylo/phylip.hpp"

#include "fields.hpp"
#include "line_input.hpp"
#include "number_scan.hpp"
#include "phylo/chars.hpp"
#include "phylo/label.hpp"
#include "phylo/number.hpp"

#include "phylo/dna_dist.hpp"

#include <algorithm>
#include <optional>
#include <thread>

namespace phylo::read {
namespace {

// How the rows are read before a way is chosen: enough to tell every shape from every other
// (row 1 tells a square from a lower triangle, row 2 a square from an upper triangle with
// its diagonal), and one row to spare. A matrix of no more rows is read whole.
constexpr std::size_t first_rows = 3;

// COUNTED: a label that may hold blanks, told by the number of values that end its line.
enum class label_mode { PHYLIP, WORD, TAB, COUNTED };

constexpr dist_shape_type all_shapes[] = {dist_shape_type::SQUARE, dist_shape_type::LOWER,
                                          dist_shape_type::LOWER_DIAGONAL, dist_shape_type::UPPER,
                                          dist_shape_type::UPPER_DIAGONAL};

// One way of reading the rows.
struct way_type {
  label_mode labels;
  dist_shape_type shape;
};

// The columns that row i (from 0) of n holds: first .. first + count - 1.
struct row_span {
  std::size_t first, count;
};
row_span span_of(dist_shape_type shape, std::size_t i, std::size_t n) {
  switch (shape) {
  case dist_shape_type::LOWER: return {0, i};
  case dist_shape_type::LOWER_DIAGONAL: return {0, i + 1};
  case dist_shape_type::UPPER: return {i + 1, n - i - 1};
  case dist_shape_type::UPPER_DIAGONAL: return {i, n - i};
  default: return {0, n};
  }
}

// Why a way of reading failed, and where: of several failed ways, the one whose failure lies
// furthest into the input is reported.
struct row_failure {
  std::string why;
  bool range = false; // a value out of range rather than text that does not fit
  std::uint64_t offset = 0;
  input_position where;
};

[[noreturn]] void fail_at(const input_source &in, std::uint64_t offset, std::string why, bool range = false) {
  throw row_failure{std::move(why), range, offset, in.position_at(offset)};
}
[[noreturn]] void fail(const input_source &in, std::string why, bool range = false) {
  throw row_failure{std::move(why), range, in.offset(), in.position()};
}

std::string row_name(std::size_t i, const std::string &label) {
  return "row " + std::to_string(i + 1) + (label.empty() ? std::string() : " (" + quote_text(label) + ")");
}

// A character that can stand in a number: a digit, a sign, a point, an exponent letter.
bool number_char(int c) noexcept {
  return detail::is_digit(c) || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E';
}
// Whether a number starts with the characters `first` and `second`.
bool number_starts(int first, int second) noexcept {
  return detail::is_digit(first == '+' || first == '-' ? second : first);
}

// A label with blanks: what stands before the last `want` words of the line, which must not
// end in a word that reads as a number (the row would then fit another shape as well).
void read_counted_label(input_source &in, std::size_t i, std::size_t want, std::string &label) {
  const std::string row = "row " + std::to_string(i + 1);
  auto blank = [](int c) { return detail::is_blank<true>(c); };
  std::size_t end = 0;
  for (int c; (c = in.peek_at(end)) >= 0 && c != '\n';) ++end;
  std::size_t e = end;
  for (std::size_t t = 0; t < want; ++t) {
    while (e > 0 && blank(in.peek_at(e - 1))) --e;
    while (e > 0 && !blank(in.peek_at(e - 1))) --e;
  }
  std::size_t b = 0;
  while (b < e && blank(in.peek_at(b))) ++b;
  std::size_t last = e;
  while (last > b && blank(in.peek_at(last - 1))) --last;
  if (last == b) fail(in, row + " has no label before its " + std::to_string(want) + " values on its line");
  std::size_t w = last;
  while (w > b && !blank(in.peek_at(w - 1))) --w;
  label.clear();
  for (std::size_t k = b; k < last; ++k) label.push_back(static_cast<char>(in.peek_at(k)));
  if (w > b && parse_real(std::string_view(label).substr(w - b))) fail(in, row + ": the label would end in a number");
  in.consume(last);
}

// A tab-separated cell without the blanks around it.
void trim_cell(std::string &cell) {
  const std::size_t first = cell.find_first_not_of(' ');
  if (first == std::string::npos) return cell.clear();
  cell.erase(cell.find_last_not_of(' ') + 1);
  cell.erase(0, first);
}

// The label of row i, which begins at `start` and is followed by `want` values.
void read_row_label(input_source &in, label_mode mode, std::size_t i, std::uint64_t start, std::size_t want,
                    std::string &label) {
  if (mode == label_mode::COUNTED) return read_counted_label(in, i, want, label);
  const std::string row = "row " + std::to_string(i + 1);
  label.clear();
  if (mode == label_mode::PHYLIP) {
    // The first ten characters of the line. A shorter line is a row of a label alone, whose
    // writer did not pad it: it is one word.
    const bool short_line = detail::take_phylip_label(in, true, label) < 10;
    if (label.find('\t') != std::string::npos)
      fail_at(in, start, row + " has a tab within its first 10 characters, so they are no PHYLIP label");
    const std::string_view text = trim_phylip_label(label);
    if (text.empty()) fail_at(in, start, row + " has no label in its first 10 characters");
    if (short_line && text.find(' ') != std::string_view::npos)
      fail_at(in, start, row + " ends within the 10 characters of a PHYLIP label");
    // A label that ends in the first characters of a number that goes on after it ("x 0." and
    // "5") is a label word and a number that the 10-character rule would cut; a label padded
    // with blanks to its 10 characters ("Sample 1  ") cuts nothing.
    const std::size_t blank = text.rfind(' ');
    const bool fills_ten = text.data() + text.size() == label.data() + label.size();
    if (!short_line && fills_ten && blank != std::string_view::npos && number_char(in.peek())) {
      const std::string_view last = text.substr(blank + 1);
      if (std::all_of(last.begin(), last.end(), [](char ch) { return number_char(static_cast<unsigned char>(ch)); }))
        fail_at(in, start,
                row + ": its 10th character would cut the number " +
                    quote_text(std::string(last) + static_cast<char>(in.peek())) + "...");
    }
    label = std::string(text);
    return;
  }
  // A tab-separated label is its whole cell but the blanks around it (as scikit-bio reads it),
  // whatever else it holds (a pairs or CSV file may have given it control characters); a label
  // word ends at any ASCII blank or control character.
  static constexpr char_set_type cell_end = char_set_type::of("\t\r\n");
  const char_set_type &delimiters = mode == label_mode::TAB ? cell_end : ascii_whitespace;
  if (mode == label_mode::TAB && in.peek() == '\t') fail(in, row + " has no label: its line begins with a tab");
  if (!detail::take_word(in, {delimiters, false, false}, &label)) fail(in, row + " has no label");
  if (mode != label_mode::TAB) return;
  if (in.peek() == '\t') in.advance();
  trim_cell(label);
  if (label.empty()) fail_at(in, start, row + " has no label: its first cell holds nothing but blanks");
}

// Whether a row whose label word, `length` characters long, began the line reads alike with
// a 10-character label: only blanks follow the word up to the 10th character or the line end.
bool phylip_alike(input_source &in, std::size_t length) {
  if (length > 10) return false;
  for (std::size_t k = 0; k < 10 - length; ++k) {
    const int c = in.peek_at(k);
    if (c < 0 || c == '\n' || (c == '\r' && in.peek_at(k + 1) == '\n')) return true;
    if (c != ' ') return false;
  }
  return true;
}

[[noreturn, gnu::noinline, gnu::cold]] void fail_number(const input_source &in, std::uint64_t start, std::size_t i,
                                                        const std::string &label, const format_error &e) {
  fail_at(in, start, row_name(i, label) + ": " + e.what());
}

[[noreturn, gnu::noinline, gnu::cold]] void fail_negative(const input_source &in, std::size_t i,
                                                          const std::string &label, float v) {
  fail(in, row_name(i, label) + ": distance " + print::shortest_decimal(v) + " is negative", true);
}

// The number that starts at p in the buffered bytes begin .. end, as a value of row i.
inline float scan_value(input_source &in, const char *begin, const char *p, const char *end, std::size_t i,
                        const std::string &label) {
  const std::uint64_t start = in.offset() + static_cast<std::uint64_t>(p - begin);
  float v;
  try {
    v = detail::scan_real_at(in, begin, p, end);
  } catch (const format_error &e) {
    fail_number(in, start, i, label, e);
  }
  if (v < 0.0f) fail_negative(in, i, label, v);
  return v;
}

// Value k of the `want` values of row i, when no number starts within the buffered bytes
// after the space at the read position: space that runs on past them, a number cut by their
// end, or no number at all.
[[gnu::noinline]] float read_value_slowly(input_source &in, std::size_t i, const std::string &label, std::size_t k,
                                          std::size_t want) {
  const std::uint64_t before = in.offset();
  for (;;) {
    const std::string_view chunk = in.buffered();
    std::size_t s = 0;
    while (s < chunk.size() && (detail::is_blank<true>(static_cast<unsigned char>(chunk[s])) || chunk[s] == '\n')) ++s;
    in.consume(s);
    if (s < chunk.size() || chunk.empty()) break;
  }
  const int c = in.peek();
  if (c < 0)
    fail_at(in, before,
            "the input ends in " + row_name(i, label) + ", after " + std::to_string(k) + " of its " +
                std::to_string(want) + " values");
  if (!number_starts(c, in.peek_at(1)))
    fail(in, row_name(i, label) + " has " + std::to_string(k) + " values where " + std::to_string(want) +
                 " were expected: found " + describe_char(c) + " where a distance should be");
  const std::string_view chunk = in.buffered(); // the number, now whole or up to the end of the input
  return scan_value(in, chunk.data(), chunk.data(), chunk.data() + chunk.size(), i, label);
}

// Value k of the `want` values of row i; numbers may continue on the following lines.
inline float read_value(input_source &in, std::size_t i, const std::string &label, std::size_t k, std::size_t want) {
  const std::string_view chunk = in.buffered();
  const char *const begin = chunk.data(), *const end = begin + chunk.size();
  const char *p = begin;
  while (p != end && (detail::is_blank<true>(static_cast<unsigned char>(*p)) || *p == '\n')) ++p;
  if (end - p >= 2 && number_starts(static_cast<unsigned char>(p[0]), static_cast<unsigned char>(p[1])))
    return scan_value(in, begin, p, end, i, label);
  return read_value_slowly(in, i, label, k, want);
}

// What reading rows with label words tells of the other label layouts: whether they read
// alike with 10-character labels, and whether their values stand on their label's line (which
// labels with blanks need).
struct row_report {
  bool alike = true;
  bool one_line = true;
};

// Reads row i of n in one way: its label, then its values, each handed to put(k, value).
// *report (when given) is cleared of what the row does not keep. Throws row_failure.
template <class Put>
void read_row(input_source &in, way_type way, std::size_t n, std::size_t i, std::string &label, Put put,
              row_report *report) {
  detail::skip_blank_lines(in);
  if (in.peek() < 0)
    fail(in,
         "the input ends after " + std::to_string(i) + " of the " + std::to_string(n) + (n == 1 ? " row" : " rows"));
  const std::uint64_t start = in.offset();
  const std::size_t line = report && report->one_line ? in.line() : 0;
  const bool blank_first = detail::is_blank<true>(in.peek());
  const row_span span = span_of(way.shape, i, n);
  read_row_label(in, way.labels, i, start, span.count, label);
  if (report && report->alike) report->alike = !blank_first && phylip_alike(in, label.size());
  for (std::size_t k = 0; k < span.count; ++k) put(k, read_value(in, i, label, k, span.count));
  if (!detail::at_line_end<true>(in))
    fail(in, row_name(i, label) + " holds more than the " + std::to_string(span.count) + " values expected: found " +
                 describe_char(in.peek()));
  if (report && report->one_line) report->one_line = in.line() == line;
  if (in.peek() == '\n') in.advance();
}

// After the last row: the end of the input or the header of another matrix. Blank lines
// beyond `limit` bytes leave the question open (false).
bool expect_end(input_source &in, label_mode mode, std::size_t n, std::size_t limit = SIZE_MAX) {
  if (!detail::skip_blank_lines(in, limit)) return false;
  if (in.peek() < 0) return true;
  bool header;
  if (mode == label_mode::TAB) {
    header = in.peek() == '\t';
  } else {
    std::size_t k = 0;
    while (detail::is_blank<true>(in.peek_at(k))) ++k;
    header = detail::is_digit(in.peek_at(k));
    while (detail::is_digit(in.peek_at(k))) ++k;
    const int c = in.peek_at(k);
    header = header && (c < 0 || detail::is_blank<true>(c) || c == '\n');
  }
  if (header) return true;
  std::string rest; // of the line, as much as a message shows
  for (int c; rest.size() <= 40 && (c = in.peek_at(rest.size())) >= 0 && c != '\n';)
    rest.push_back(static_cast<char>(c));
  fail(in, (n == 1 ? std::string("after the 1 row comes ") : "after the " + std::to_string(n) + " rows comes ") +
               quote_text(rest) + ", which is neither a row nor the start of another matrix");
}

// The first rows of a matrix read in one way, or why they cannot be.
struct reading {
  way_type way;
  std::vector<std::string> labels;
  std::vector<std::vector<float>> rows; // the values of each row, as read
  bool ok = false;
  bool alike = false;    // read with label words, and alike with 10-character labels
  bool open_end = false; // all rows read, but blank lines ran on too long to see what follows
  row_failure failure;
  std::uint64_t end = 0; // where the reading stopped
};

reading try_reading(input_source &in, input_mark &mark, way_type way, std::size_t n, std::size_t rows) {
  mark.rewind();
  reading r{way, {}, {}, false, way.labels == label_mode::WORD, false, {}, 0};
  row_report report{r.alike, false}; // whether the rows keep to one line matters only where rows are told apart
  try {
    for (std::size_t i = 0; i < rows; ++i) {
      std::string label;
      std::vector<float> values;
      read_row(
          in, way, n, i, label, [&](std::size_t, float v) { values.push_back(v); }, &report);
      r.labels.push_back(std::move(label));
      r.rows.push_back(std::move(values));
    }
    r.alike = report.alike;
    if (rows == n) r.open_end = !expect_end(in, way.labels, n, detail::blank_lookahead);
    r.ok = true;
  } catch (row_failure &f) {
    r.failure = std::move(f);
  }
  r.end = in.offset();
  return r;
}

// Cell (i, j) as a reading gives it, when its rows tell it: read in its own row, mirrored
// from the other triangle, or a diagonal that the shape leaves out.
std::optional<float> cell_of(const reading &r, std::size_t n, std::size_t i, std::size_t j) {
  const std::size_t rows = r.rows.size();
  if (i < rows) {
    const row_span s = span_of(r.way.shape, i, n);
    if (j >= s.first && j - s.first < s.count) return r.rows[i][j - s.first];
  }
  if (r.way.shape != dist_shape_type::SQUARE && j < rows) {
    const row_span s = span_of(r.way.shape, j, n);
    if (i >= s.first && i - s.first < s.count) return r.rows[j][i - s.first];
  }
  if (i == j && r.way.shape != dist_shape_type::SQUARE) return 0.0f;
  return std::nullopt;
}

// The first label or cell in which two readings differ, as a message says it; empty when
// they agree wherever both tell.
std::string first_difference(const reading &a, const reading &b, std::size_t n) {
  for (std::size_t i = 0; i < a.labels.size(); ++i)
    if (a.labels[i] != b.labels[i])
      return "label " + std::to_string(i + 1) + " is " + quote_text(a.labels[i]) + " or " + quote_text(b.labels[i]);
  const std::size_t rows = a.rows.size();
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) {
      if (i >= rows && j >= rows) break; // only the columns of the rows read tell more
      const std::optional<float> x = cell_of(a, n, i, j), y = cell_of(b, n, i, j);
      if (x && y && *x != *y)
        return "cell (" + std::to_string(i + 1) + ", " + std::to_string(j + 1) + ") is " + print::shortest_decimal(*x) +
               " or " + print::shortest_decimal(*y);
    }
  return {};
}

bool has_duplicate(const reading &r) {
  std::vector<std::string_view> labels(r.labels.begin(), r.labels.end());
  std::sort(labels.begin(), labels.end());
  return std::adjacent_find(labels.begin(), labels.end()) != labels.end();
}

std::string describe_shape(dist_shape_type shape) {
  switch (shape) {
  case dist_shape_type::SQUARE: return "a square matrix";
  case dist_shape_type::LOWER: return "a lower triangle without diagonal";
  case dist_shape_type::LOWER_DIAGONAL: return "a lower triangle with diagonal";
  case dist_shape_type::UPPER: return "an upper triangle without diagonal";
  case dist_shape_type::UPPER_DIAGONAL: return "an upper triangle with diagonal";
  default: return "a matrix";
  }
}

std::string_view mode_name(label_mode mode) {
  switch (mode) {
  case label_mode::PHYLIP: return "10-character PHYLIP labels";
  case label_mode::WORD: return "label words";
  case label_mode::COUNTED: return "labels with blanks";
  default: return "tab-separated labels";
  }
}

dist_layout_type layout_of(label_mode mode) {
  switch (mode) {
  case label_mode::PHYLIP: return dist_layout_type::PHYLIP;
  case label_mode::WORD:
  case label_mode::COUNTED: return dist_layout_type::RELAXED;
  default: return dist_layout_type::TSV;
  }
}

// The count line of a PHYLIP or relaxed matrix: an integer, the rest of the line ignored.
std::size_t read_count(input_source &in, std::size_t max) {
  const int c = detail::skip_blanks<true>(in);
  if (!number_starts(c, in.peek_at(1)) || c == '+')
    throw format_error("expected the taxon count of a matrix, found " + describe_char(c), in.position());
  std::size_t n = 0;
  while (detail::is_digit(in.peek())) {
    if (n <= max) n = n * 10 + static_cast<std::size_t>(in.peek() - '0');
    in.advance();
  }
  if (in.peek() == '-' || n < 1 || n > max)
    throw range_error("taxon count " + (n > max ? "above " + std::to_string(max) : std::to_string(n)) +
                          " is outside 1 to " + std::to_string(max),
                      in.position());
  if (in.peek() == '.') throw format_error("the taxon count must be a whole number", in.position());
  detail::discard_line(in);
  return n;
}

// The labels of a tab-separated header, and where each begins.
struct tsv_header {
  std::vector<std::string> labels;
  std::vector<std::size_t> columns;
  std::size_t line = 0;
};

// Consumes the header line and keeps its cells from cell `first` on, `count` of them at most,
// each without the blanks around it (and the carriage return of a CR LF line end).
void read_header_cells(input_source &in, std::size_t first, std::size_t count, tsv_header &header) {
  header.line = in.line();
  std::size_t cell = 0, column = 1;
  std::string *text = nullptr;
  auto begin_cell = [&](std::size_t at) { // `at`: the column of the cell's first byte
    text = nullptr;
    if (cell >= first && cell - first < count) {
      header.labels.emplace_back();
      header.columns.push_back(at);
      text = &header.labels.back();
    }
  };
  begin_cell(1);
  for (;;) {
    const std::string_view chunk = in.buffered();
    if (chunk.empty()) break;
    std::size_t k = 0;
    for (; k < chunk.size() && chunk[k] != '\n'; ++k, ++column) {
      if (chunk[k] == '\t') {
        ++cell;
        begin_cell(column + 1);
      } else if (text) {
        text->push_back(chunk[k]);
      }
    }
    in.consume(k);
    if (k < chunk.size()) {
      in.advance();
      break;
    }
  }
  for (std::string &label : header.labels) {
    if (!label.empty() && label.back() == '\r') label.pop_back();
    trim_cell(label);
  }
}

// The header line of a tab-separated matrix: a corner cell (often empty), then a label per
// taxon; or, when the rows hold one field more than the header (R's write.table), a label per
// taxon alone.
std::size_t read_tsv_header(input_source &in, std::size_t max, tsv_header &header) {
  const input_position where = in.position();
  std::size_t n;
  bool corner = true;
  {
    input_mark mark(in);
    if (in.peek() == '\t') {
      n = detail::count_line_tabs(in);
    } else {
      detail::record_type head, row;
      detail::read_record(in, detail::field_delimiter::TAB, head);
      const bool more = detail::read_record(in, detail::field_delimiter::TAB, row, detail::blank_lookahead);
      corner = !(more && row.size == head.size + 1);
      n = corner ? head.size - 1 : head.size;
    }
    mark.rewind();
  }
  if (n < 1 || n > max)
    throw range_error("the header line names " + std::to_string(n) + " taxa; the taxon count must be 1 to " +
                          std::to_string(max),
                      where);
  read_header_cells(in, corner ? 1 : 0, n, header);
  // The count above reads quotes; the labels are the text between tabs, quotes and all.
  if (header.labels.size() != n)
    throw format_error("the header line's quotes hold a tab or a line end; tab-separated labels are read as they "
                       "stand, quotes and all",
                       where);
  return n;
}

// The header must name the rows, in their order.
void check_header(const tsv_header &header, const dist_mat_type &mat, const std::string &name) {
  for (std::size_t k = 0; k < mat.n_tax(); ++k)
    if (header.labels[k] != mat.labels[k])
      detail::fail_header_mismatch(k, mat.labels[k], header.labels[k],
                                   input_position{name, header.line, header.columns[k]});
}

// Copies each cell of the triangle that was read into the other one, in tiles so that both
// stay in cache, and zeroes the diagonal that the shape leaves out.
void complete_shape(dist_mat_type &mat, dist_shape_type shape) {
  if (shape == dist_shape_type::SQUARE) return;
  constexpr std::size_t tile = 64;
  const std::size_t n = mat.n_tax();
  float *c = mat.distances.data();
  const bool lower = shape == dist_shape_type::LOWER || shape == dist_shape_type::LOWER_DIAGONAL;
  for (std::size_t r0 = 0; r0 < n; r0 += tile)
    for (std::size_t c0 = 0; c0 <= r0; c0 += tile)
      for (std::size_t r = r0; r < std::min(n, r0 + tile); ++r)
        for (std::size_t k = c0; k < std::min(r, c0 + tile); ++k) {
          if (lower) c[k * n + r] = c[r * n + k];
          else c[r * n + k] = c[k * n + r];
        }
  if (shape == dist_shape_type::LOWER || shape == dist_shape_type::UPPER)
    for (std::size_t i = 0; i < n; ++i) c[i * n + i] = 0.0f;
}

// Rows that stand one to a line, read on several threads: a large matrix is mostly such rows.
// The whole lines buffered ahead (up to `batch` bytes) are cut into one part per thread at
// line ends; the lines before each part are counted, so that each part, read from a source
// of its own over the buffered bytes, knows the number of its first row. Each part must then
// read one row per line and end where it ends (or at row n): then it read exactly what the
// rows read one after the other read, and the lines are consumed. Anything else (a blank
// line, a row continued on the next line, an error, a label layout left open) leaves the
// bytes where they are, for the rows to be read one after the other from the first line of
// the batch on, with the messages and positions that reading gives; the rows written
// meanwhile are written again. Returns how many rows were read: 0 when the lines ahead are
// too few to be worth the threads, or do not read that way.
constexpr std::size_t batch = std::size_t{8} << 20, least_batch = std::size_t{1} << 20;

std::size_t read_rows_together(input_source &in, way_type way, std::size_t n, std::size_t first, dist_mat_type &mat,
                               unsigned threads) {
  // The lines ahead are buffered on one thread too, so that what buffering reports (a NUL
  // byte) is reported at the same point whatever the number of threads.
  in.peek_at(batch - 1);
  std::string_view ahead = in.buffered().substr(0, batch);
  ahead = ahead.substr(0, ahead.rfind('\n') + 1); // npos + 1: none
  if (ahead.size() < least_batch || threads < 2) return 0;
  struct part_type {
    std::string_view text;
    std::size_t first = 0, rows = 0; // the first row's number and the rows read
    std::size_t used = 0;            // the bytes read
    bool ok = false;
  };
  std::vector<part_type> parts(threads);
  std::size_t from = 0, row = first;
  for (unsigned p = 0; p < threads; ++p) {
    std::size_t to = ahead.size();
    if (p + 1 < threads) {
      to = ahead.find('\n', std::max(from, ahead.size() / threads * (p + 1)));
      to = to == std::string_view::npos ? ahead.size() : to + 1;
    }
    parts[p].text = ahead.substr(from, to - from);
    parts[p].first = row;
    row += detail::count_line_ends(parts[p].text.data(), parts[p].text.data() + parts[p].text.size());
    from = to;
  }
  auto read_part = [&](part_type &part) noexcept {
    try {
      input_source src = input_source::from_view(part.text, in.name());
      std::string label;
      std::size_t r = part.first;
      while (r < n && src.offset() < part.text.size()) {
        float *values = mat.distances.row(r) + span_of(way.shape, r, n).first;
        read_row(
            src, way, n, r, label, [values](std::size_t k, float v) { values[k] = v; }, nullptr);
        mat.labels[r] = label;
        ++r;
      }
      part.rows = r - part.first;
      part.used = static_cast<std::size_t>(src.offset());
      part.ok = true;
    } catch (...) {
      part.ok = false; // read again one row after the other, which reports it
    }
  };
  {
    std::vector<std::jthread> pool;
    pool.reserve(threads - 1);
    for (unsigned p = 1; p < threads; ++p) pool.emplace_back([&, p] { read_part(parts[p]); });
    read_part(parts[0]);
  }
  std::size_t used = 0, rows = 0;
  for (std::size_t p = 0; p < parts.size(); ++p) {
    const part_type &part = parts[p];
    const std::size_t lines = p + 1 < parts.size() ? parts[p + 1].first - part.first : part.rows;
    if (!part.ok) return 0;
    used += part.used;
    rows += part.rows;
    if (part.first + part.rows == n) break; // the matrix ends in this part
    if (part.rows != lines || part.used != part.text.size()) return 0;
  }
  in.consume(used);
  return rows;
}

} // namespace

rows_matrix read_rows_dist_mat(input_source &in, dist_layout_type layout, dist_shape_type asked_shape,
                               std::size_t max_taxa, unsigned threads) {
  const input_position matrix_start = in.position();
  tsv_header header;
  const std::size_t n =
      layout == dist_layout_type::TSV ? read_tsv_header(in, max_taxa, header) : read_count(in, max_taxa);
  std::vector<label_mode> modes;
  switch (layout) {
  case dist_layout_type::TSV: modes = {label_mode::TAB}; break;
  case dist_layout_type::PHYLIP: modes = {label_mode::PHYLIP}; break;
  case dist_layout_type::RELAXED: modes = {label_mode::WORD, label_mode::COUNTED}; break;
  default: modes = {label_mode::WORD, label_mode::PHYLIP, label_mode::COUNTED}; break;
  }
  std::vector<dist_shape_type> shapes;
  if (asked_shape == dist_shape_type::AUTO) shapes.assign(std::begin(all_shapes), std::end(all_shapes));
  else shapes = {asked_shape};
  const std::size_t plainmodes = static_cast<std::size_t>(
      std::count_if(modes.begin(), modes.end(), [](label_mode m) { return m != label_mode::COUNTED; }));
  const bool several = plainmodes * shapes.size() > 1;
  auto how = [&](way_type way) {
    return several ? " (read with " + std::string(mode_name(way.labels)) + " as " + describe_shape(way.shape) +
                         ", the reading that went furthest)"
                   : std::string();
  };
  auto raise = [&](const row_failure &f, way_type way) -> rows_matrix {
    if (f.range) throw range_error(f.why + how(way), f.where);
    throw format_error(f.why + how(way), f.where);
  };

  const std::size_t rows = std::min(n, first_rows);
  std::optional<reading> chosen, furthest_failure;
  // The readings in other label layouts that read the first rows as the chosen one does, in its
  // shape: while they agree, a later row that only one of them reads decides.
  std::vector<reading> agreeing;
  bool phylip_alike = false; // a reading with 10-character labels would agree too
  {
    input_mark mark(in);
    for (label_mode mode : modes) {
      // Rows that read alike both ways need not be read twice.
      if (mode == label_mode::PHYLIP && chosen && chosen->alike) {
        phylip_alike = true;
        continue;
      }
      for (dist_shape_type shape : shapes) {
        // Labels with blanks are told only in square rows: in a triangle, whose rows hold ever
        // more or fewer values, the words of a label could pass for the values of a row.
        if (mode == label_mode::COUNTED && shape != dist_shape_type::SQUARE) continue;
        reading a = try_reading(in, mark, {mode, shape}, n, rows);
        if (!a.ok) {
          if (!furthest_failure || a.failure.offset > furthest_failure->failure.offset) furthest_failure = std::move(a);
          continue;
        }
        if (!chosen) {
          chosen = std::move(a);
          continue;
        }
        const std::string difference = first_difference(*chosen, a, n);
        if (difference.empty()) {
          if (a.way.labels != chosen->way.labels && a.way.shape == chosen->way.shape) agreeing.push_back(std::move(a));
          continue;
        }
        // Labels with blanks have nothing to tell where label words fit.
        if (a.way.labels == label_mode::COUNTED && chosen->way.labels == label_mode::WORD) continue;
        // Labels cut to 10 characters that make taxa of one name, where label words keep them
        // apart, are no reading of the matrix.
        if (chosen->way.labels != a.way.labels && has_duplicate(a) != has_duplicate(*chosen)) {
          if (has_duplicate(*chosen)) {
            chosen = std::move(a);
            phylip_alike = false;
            std::erase_if(agreeing, [&](const reading &r) {
              return r.way.shape != chosen->way.shape || r.way.labels == chosen->way.labels ||
                     !first_difference(*chosen, r, n).empty();
            });
          }
          continue;
        }
        if (chosen->way.labels != a.way.labels)
          throw undecided_error(undecided_type::LABELS,
                                "the rows read both with " + std::string(mode_name(chosen->way.labels)) + " and with " +
                                    std::string(mode_name(a.way.labels)) + ", and the two readings differ (" +
                                    difference + ")",
                                matrix_start);
        throw undecided_error(undecided_type::SHAPE,
                              "the rows fit both " + describe_shape(chosen->way.shape) + " and " +
                                  describe_shape(a.way.shape) + ", and the two readings differ (" + difference + ")",
                              matrix_start, chosen->way.shape, a.way.shape);
      }
    }
    if (!chosen) return raise(furthest_failure->failure, furthest_failure->way);
    if (rows == n) mark.seek(chosen->end);
    else mark.rewind();
  }

  way_type way = chosen->way;
  auto mat = new_dist_mat(n);
  if (rows == n) { // read whole
    if (chosen->open_end) try {
        expect_end(in, way.labels, n);
      } catch (const row_failure &f) {
        throw format_error(f.why, f.where);
      }
    for (std::size_t i = 0; i < n; ++i) {
      mat->labels[i] = std::move(chosen->labels[i]);
      for (std::size_t j = 0; j < n; ++j) mat->distances(i, j) = cell_of(*chosen, n, i, j).value_or(0.0f);
    }
    if (layout == dist_layout_type::TSV) check_header(header, *mat, in.name());
    return {std::move(mat), layout_of(way.labels), way.shape};
  }
  std::vector<way_type> others; // the other readings left open
  if (phylip_alike) others.push_back({label_mode::PHYLIP, way.shape});
  for (const reading &r : agreeing) others.push_back(r.way);
  std::sort(others.begin(), others.end(), [](way_type x, way_type y) { return x.labels < y.labels; });
  chosen.reset();
  agreeing.clear();
  try {
    std::string label, other_label;
    std::vector<float> values;
    // After the first row, the read position is at the start of a line (or at the end).
    // Label words with labels with blanks left open (a square matrix whose rows read both
    // ways) read alike while each row stands on one line and no label reads as a number: rows
    // that the threads read one to a line keep that reading open unless a label does.
    auto only_counted = [&] {
      return others.empty() ||
             (way.labels == label_mode::WORD &&
              std::all_of(others.begin(), others.end(), [](way_type w) { return w.labels == label_mode::COUNTED; }));
    };
    bool together = threads != 1 && only_counted();
    for (std::size_t i = 0; i < n; ++i) {
      if (together && i > 0) {
        const std::size_t rows = read_rows_together(in, way, n, i, *mat, threads ? threads : dna::available_cpus());
        if (!others.empty() && std::any_of(mat->labels.begin() + static_cast<std::ptrdiff_t>(i),
                                           mat->labels.begin() + static_cast<std::ptrdiff_t>(i + rows),
                                           [](const std::string &l) { return parse_real(l).has_value(); }))
          others.clear();
        together = rows != 0 && only_counted();
        if (i += rows; i == n) break;
      }
      float *row = mat->distances.row(i) + span_of(way.shape, i, n).first;
      auto put = [row](std::size_t k, float v) { row[k] = v; };
      if (others.empty()) {
        read_row(in, way, n, i, label, put, nullptr);
        mat->labels[i] = label;
        continue;
      }
      input_mark mark(in);
      // The row in another layout: its label and values, or the failure.
      auto read_other = [&](way_type other) -> std::optional<row_failure> {
        mark.rewind();
        values.clear();
        try {
          read_row(
              in, other, n, i, other_label, [&](std::size_t, float v) { values.push_back(v); }, nullptr);
        } catch (row_failure &f) {
          return std::move(f);
        }
        return std::nullopt;
      };
      auto differ = [&](way_type a, way_type b) {
        const std::string difference = label != other_label ? "label " + std::to_string(i + 1) + " is " +
                                                                  quote_text(label) + " or " + quote_text(other_label)
                                                            : "row " + std::to_string(i + 1) + " reads otherwise";
        throw undecided_error(undecided_type::LABELS,
                              "the rows read both with " + std::string(mode_name(a.labels)) + " and with " +
                                  std::string(mode_name(b.labels)) + ", and the two readings differ (" + difference +
                                  ")",
                              matrix_start);
      };
      auto same = [&](std::uint64_t end) {
        return other_label == label && in.offset() == end && std::equal(values.begin(), values.end(), row);
      };
      row_report report{way.labels == label_mode::WORD, true};
      std::optional<row_failure> failed;
      try {
        read_row(in, way, n, i, label, put, &report);
      } catch (row_failure &f) {
        failed = std::move(f);
      }
      std::uint64_t end = in.offset();
      if (!failed) {
        // The other readings that read the row alike stay open; one that reads it otherwise
        // leaves the matrix undecided.
        const std::size_t blank = label.rfind(' ');
        const bool counted_alike = report.one_line && !parse_real(std::string_view(label).substr(blank + 1));
        std::erase_if(others, [&](way_type other) {
          if (way.labels == label_mode::WORD && other.labels == label_mode::PHYLIP) return !report.alike;
          if (way.labels == label_mode::WORD && other.labels == label_mode::COUNTED) return !counted_alike;
          if (read_other(other)) return true;
          if (!same(end)) differ(way, other);
          return false;
        });
        mark.seek(end);
        mat->labels[i] = label;
        continue;
      }
      // The row does not read in this layout: one of the others that reads it takes over, and
      // when none does, the reading that went furthest tells why.
      std::optional<way_type> next;
      row_failure furthest = std::move(*failed);
      way_type furthest_way = way;
      std::erase_if(others, [&](way_type other) {
        std::optional<row_failure> f = read_other(other);
        if (f) {
          if (f->offset > furthest.offset) {
            furthest = std::move(*f);
            furthest_way = other;
          }
          return true;
        }
        if (!next) {
          next = other;
          end = in.offset();
          label = other_label;
          std::copy(values.begin(), values.end(), row);
          return true;
        }
        if (!same(end)) differ(*next, other);
        return false;
      });
      if (!next) return raise(furthest, furthest_way);
      way = *next;
      mark.seek(end);
      mat->labels[i] = label;
    }
    expect_end(in, way.labels, n);
  } catch (const row_failure &f) {
    return raise(f, way);
  }
  if (layout == dist_layout_type::TSV) check_header(header, *mat, in.name());
  complete_shape(*mat, way.shape);
  return {std::move(mat), layout_of(way.labels), way.shape};
}

} // namespace phylo::read
