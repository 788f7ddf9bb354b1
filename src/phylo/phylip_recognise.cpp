#include "phylo/dist_read.hpp"

#include "nexus_parts.hpp"
#include "phylo/chars.hpp"
#include "phylo/io.hpp"
#include "text_cursor.hpp"

#include <algorithm>
#include <cstring>
#include <optional>

namespace phylo::read {
namespace {

using detail::text_cursor;

enum class label_mode { PHYLIP, WORD, TAB };

constexpr dist_shape_type all_shapes[] = {dist_shape_type::SQUARE, dist_shape_type::LOWER,
                                          dist_shape_type::LOWER_DIAGONAL, dist_shape_type::UPPER,
                                          dist_shape_type::UPPER_DIAGONAL};

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

// One way of reading the rows, tried on a copy of the cursor.
struct attempt {
  label_mode labels;
  dist_shape_type shape;
  dist_mat_access mat;   // set when the reading succeeded
  text_cursor after;     // where it ended, or where it failed
  std::string why;       // why it failed
  bool range = false;    // the failure is a value out of range
  bool phylip_alike = false; // read with label words, and alike with 10-character labels
};

struct row_failure {
  std::string why;
  bool range = false;
};

[[noreturn]] void fail(const std::string &why) { throw row_failure{why}; }

std::string row_name(std::size_t i, const std::string &label) {
  return "row " + std::to_string(i + 1) + (label.empty() ? std::string() : " (" + detail::quote_text(label) + ")");
}

std::string read_row_label(text_cursor &c, label_mode mode, std::size_t i) {
  std::string label;
  if (mode == label_mode::PHYLIP) {
    // The first ten characters of the line. A shorter line is a row of a label alone, whose
    // writer did not pad it: it is one word.
    const text_cursor start = c;
    bool short_line = false;
    for (int k = 0; k < 10; ++k) {
      int ch = c.peek();
      if (ch < 0 || ch == '\n' || (ch == '\r' && c.peek_at(1) == '\n')) {
        short_line = true;
        break;
      }
      if (ch == '\t') {
        c = start;
        fail("row " + std::to_string(i + 1) + " has a tab within its first 10 characters, so they are no PHYLIP label");
      }
      label.push_back(static_cast<char>(ch));
      c.advance();
    }
    std::size_t first = label.find_first_not_of(' ');
    if (first == std::string::npos) {
      c = start;
      fail("row " + std::to_string(i + 1) + " has no label in its first 10 characters");
    }
    label.erase(0, first);
    label.erase(label.find_last_not_of(' ') + 1);
    if (short_line && label.find(' ') != std::string::npos) {
      c = start;
      fail("row " + std::to_string(i + 1) + " ends within the 10 characters of a PHYLIP label");
    }
    // A label that ends in the first characters of a number that goes on after it ("x 0." and
    // "5") is a label word and a number that the 10-character rule would cut.
    const std::size_t blank = label.rfind(' ');
    if (!short_line && blank != std::string::npos && detail::number_char(c.peek())) {
      std::string_view last = std::string_view(label).substr(blank + 1);
      bool numeric = true;
      for (char ch : last) numeric = numeric && detail::number_char(static_cast<unsigned char>(ch));
      if (numeric) {
        c = start;
        fail("row " + std::to_string(i + 1) + ": its 10th character would cut the number " +
             detail::quote_text(std::string(last) + static_cast<char>(c.peek_at(10))) + "...");
      }
    }
    return label;
  }
  const char_set_type &delimiters = mode == label_mode::TAB ? controlchr : whitespace;
  if (mode == label_mode::WORD) detail::skip_blanks(c);
  else
    while (c.peek() == '\t') c.advance();
  while (c.peek() >= 0 && !delimiters.contains(static_cast<unsigned char>(c.peek()))) {
    label.push_back(static_cast<char>(c.peek()));
    c.advance();
  }
  if (label.empty()) fail("row " + std::to_string(i + 1) + " has no label");
  if (mode == label_mode::TAB && c.peek() == '\t') c.advance();
  return label;
}

float read_value(text_cursor &c, std::size_t i, const std::string &label, std::size_t k, std::size_t want) {
  const text_cursor before = c;
  for (;;) { // numbers may continue on the following lines
    detail::skip_blanks(c);
    if (c.peek() != '\n') break;
    c.advance();
  }
  if (c.at_end()) {
    c = before;
    fail("the input ends in " + row_name(i, label) + ", after " + std::to_string(k) + " of its " +
         std::to_string(want) + " values");
  }
  if (!detail::number_starts(c))
    fail(row_name(i, label) + " has " + std::to_string(k) + " values where " + std::to_string(want) +
         " were expected: found " + detail::describe_char(c.peek()) + " where a distance should be");
  float v;
  try {
    v = detail::scan_real_text(c);
  } catch (const format_error &e) {
    fail(row_name(i, label) + ": " + e.what());
  }
  if (v < 0.0f) throw row_failure{row_name(i, label) + ": distance " + detail::float_text(v) + " is negative", true};
  return v;
}

// Reads n rows of one label mode and shape. Throws row_failure with the cursor where it failed.
// True when a row read with a label word at line_start reads alike with a 10-character label:
// the word begins the line, and only blanks follow it up to the 10th character or the line end.
bool phylip_alike(const char *line_start, std::size_t word_length, const text_cursor &c) {
  if (word_length > 10 || detail::is_blank(static_cast<unsigned char>(*line_start))) return false;
  for (const char *p = line_start + word_length; p < line_start + 10; ++p) {
    if (p >= c.end || *p == '\n' || (*p == '\r' && p + 1 < c.end && p[1] == '\n')) return true;
    if (*p != ' ') return false;
  }
  return true;
}

// Reads n rows of one label mode and shape. Throws row_failure with the cursor where it failed.
// For label words, *alike tells whether every row reads alike with 10-character labels.
dist_mat_access read_rows(text_cursor &c, std::size_t n, label_mode mode, dist_shape_type shape, bool *alike) {
  auto mat = std::make_unique<dist_mat_type>(n);
  *alike = mode == label_mode::WORD;
  for (std::size_t i = 0; i < n; ++i) {
    detail::skip_blank_lines(c);
    if (c.at_end())
      fail("the input ends after " + std::to_string(i) + " of the " + std::to_string(n) + " rows");
    const char *line_start = c.p;
    std::string label = read_row_label(c, mode, i);
    if (*alike) *alike = phylip_alike(line_start, label.size(), c);
    const row_span span = span_of(shape, i, n);
    for (std::size_t k = 0; k < span.count; ++k) {
      const std::size_t j = span.first + k;
      const float v = read_value(c, i, label, k, span.count);
      mat->distances(i, j) = v;
      if (shape != dist_shape_type::SQUARE) mat->distances(j, i) = v;
    }
    if (!detail::at_line_end(c))
      fail(row_name(i, label) + " holds more than the " + std::to_string(span.count) +
           " values expected: found " + detail::describe_char(c.peek()));
    if (c.peek() == '\n') c.advance();
    mat->labels[i] = std::move(label);
  }
  if (shape == dist_shape_type::LOWER || shape == dist_shape_type::UPPER)
    for (std::size_t i = 0; i < n; ++i) mat->distances(i, i) = 0.0f;
  return mat;
}

// After the last row: the end of the text or the header of another matrix.
bool next_is_header(text_cursor c, label_mode mode) {
  detail::skip_blank_lines(c);
  if (c.at_end()) return true;
  if (mode == label_mode::TAB) return c.peek() == '\t';
  detail::skip_blanks(c);
  if (!detail::number_starts(c) || c.peek() == '+' || c.peek() == '-') return false;
  while (c.peek() >= '0' && c.peek() <= '9') c.advance();
  return c.at_end() || detail::is_blank(c.peek()) || c.peek() == '\n';
}

bool has_duplicate(const dist_mat_type &m) {
  std::vector<std::string_view> labels(m.labels.begin(), m.labels.end());
  std::sort(labels.begin(), labels.end());
  return std::adjacent_find(labels.begin(), labels.end()) != labels.end();
}

std::string_view rest_of_line(const text_cursor &c) {
  const void *nl = std::memchr(c.p, '\n', static_cast<std::size_t>(c.end - c.p));
  const char *stop = nl ? static_cast<const char *>(nl) : c.end;
  return std::string_view(c.p, static_cast<std::size_t>(stop - c.p));
}

attempt try_reading(const text_cursor &start, std::size_t n, label_mode mode, dist_shape_type shape) {
  attempt a{mode, shape, nullptr, start, {}, false, false};
  try {
    dist_mat_access mat = read_rows(a.after, n, mode, shape, &a.phylip_alike);
    if (!next_is_header(a.after, mode)) {
      detail::skip_blank_lines(a.after);
      fail("after the " + std::to_string(n) + " rows comes " + detail::quote_text(rest_of_line(a.after)) +
           ", which is neither a row nor the start of another matrix");
    }
    a.mat = std::move(mat);
  } catch (const row_failure &f) {
    a.why = f.why;
    a.range = f.range;
  }
  return a;
}

bool same_matrix(const dist_mat_type &a, const dist_mat_type &b) {
  if (a.n_tax() != b.n_tax() || !(a.labels == b.labels)) return false;
  const std::size_t cells = a.n_tax() * a.n_tax();
  for (std::size_t k = 0; k < cells; ++k)
    if (a.distances.data()[k] != b.distances.data()[k]) return false;
  return true;
}

std::string describe_shape(dist_shape_type shape) {
  switch (shape) {
  case dist_shape_type::SQUARE: return "square matrix";
  case dist_shape_type::LOWER: return "lower triangle without diagonal";
  case dist_shape_type::LOWER_DIAGONAL: return "lower triangle with diagonal";
  case dist_shape_type::UPPER: return "upper triangle without diagonal";
  case dist_shape_type::UPPER_DIAGONAL: return "upper triangle with diagonal";
  default: return "matrix";
  }
}

std::string_view mode_name(label_mode mode) {
  switch (mode) {
  case label_mode::PHYLIP: return "10-character PHYLIP labels";
  case label_mode::WORD: return "label words";
  default: return "tab-separated labels";
  }
}

dist_layout_type layout_of(label_mode mode) {
  switch (mode) {
  case label_mode::PHYLIP: return dist_layout_type::PHYLIP;
  case label_mode::WORD: return dist_layout_type::RELAXED;
  default: return dist_layout_type::TSV;
  }
}

std::string first_difference(const dist_mat_type &a, const dist_mat_type &b) {
  for (std::size_t i = 0; i < a.n_tax(); ++i)
    if (a.labels[i] != b.labels[i])
      return "label " + std::to_string(i + 1) + " is " + detail::quote_text(a.labels[i]) + " or " +
             detail::quote_text(b.labels[i]);
  for (std::size_t i = 0; i < a.n_tax(); ++i)
    for (std::size_t j = 0; j < a.n_tax(); ++j)
      if (a.distances(i, j) != b.distances(i, j))
        return "cell (" + std::to_string(i + 1) + ", " + std::to_string(j + 1) + ") is " +
               detail::float_text(a.distances(i, j)) + " or " + detail::float_text(b.distances(i, j));
  return "they agree";
}

// The count line of a PHYLIP or relaxed matrix: an integer, the rest of the line ignored.
std::size_t read_count(text_cursor &c) {
  detail::skip_blanks(c);
  if (!detail::number_starts(c) || c.peek() == '+' || c.peek() == '.')
    throw format_error("expected the taxon count of a matrix, found " + detail::describe_char(c.peek()));
  long long n = 0;
  while (c.peek() >= '0' && c.peek() <= '9') {
    if (n <= max_taxa) n = n * 10 + (c.peek() - '0');
    c.advance();
  }
  if (c.peek() == '-' || n < 1 || n > max_taxa) {
    throw range_error("taxon count " + (n > max_taxa ? std::string("above ") + std::to_string(max_taxa) : std::to_string(n)) +
                      " is outside 1 to " + std::to_string(max_taxa));
  }
  if (c.peek() == '.') throw format_error("the taxon count must be a whole number");
  detail::skip_to_next_line(c);
  return static_cast<std::size_t>(n);
}

std::size_t read_tab_header(text_cursor &c) {
  std::size_t tabs = 0;
  while (c.peek() >= 0 && c.peek() != '\n') {
    tabs += c.peek() == '\t';
    c.advance();
  }
  if (c.peek() == '\n') c.advance();
  if (tabs < 1 || tabs > static_cast<std::size_t>(max_taxa))
    throw range_error("the header line holds " + std::to_string(tabs) + " tabs; the taxon count must be 1 to " +
                      std::to_string(max_taxa));
  return tabs;
}

// Reads one matrix of the PHYLIP family or TSV, recognising what is not given.
dist_mat_access read_rows_matrix(dist_text_type &t, text_cursor &c, dist_layout_type layout) {
  const std::size_t n = layout == dist_layout_type::TSV ? read_tab_header(c) : read_count(c);
  std::vector<label_mode> modes;
  switch (layout) {
  case dist_layout_type::TSV: modes = {label_mode::TAB}; break;
  case dist_layout_type::PHYLIP: modes = {label_mode::PHYLIP}; break;
  case dist_layout_type::RELAXED: modes = {label_mode::WORD}; break;
  default: modes = {label_mode::WORD, label_mode::PHYLIP}; break;
  }
  std::vector<dist_shape_type> shapes;
  if (t.shape == dist_shape_type::AUTO) shapes.assign(std::begin(all_shapes), std::end(all_shapes));
  else shapes = {t.shape};

  std::optional<attempt> chosen;
  std::optional<attempt> furthest_failure;
  for (label_mode mode : modes) {
    // Rows that read alike both ways need not be read twice.
    if (mode == label_mode::PHYLIP && chosen && chosen->phylip_alike) break;
    for (dist_shape_type shape : shapes) {
      attempt a = try_reading(c, n, mode, shape);
      if (!a.mat) {
        if (!furthest_failure || a.after.p > furthest_failure->after.p) furthest_failure = std::move(a);
        continue;
      }
      if (!chosen) {
        chosen = std::move(a);
        continue;
      }
      if (same_matrix(*chosen->mat, *a.mat)) continue;
      // Labels cut to 10 characters that make taxa of one name, where label words keep them
      // apart, are no reading of the matrix.
      if (chosen->labels != a.labels && has_duplicate(*a.mat) != has_duplicate(*chosen->mat)) {
        if (has_duplicate(*chosen->mat)) chosen = std::move(a);
        continue;
      }
      t.line = t.matrix_line;
      if (chosen->labels != a.labels)
        throw format_error("the rows read both with " + std::string(mode_name(chosen->labels)) + " and with " +
                           std::string(mode_name(a.labels)) + ", and the two readings differ (" +
                           first_difference(*chosen->mat, *a.mat) +
                           "); say --from=phylip or --from=relaxed");
      throw format_error("the rows fit both a " + describe_shape(chosen->shape) + " and a " +
                         describe_shape(a.shape) + ", and the two readings differ (" +
                         first_difference(*chosen->mat, *a.mat) + "); say --shape=" +
                         std::string(shape_name(chosen->shape)) + " or --shape=" + std::string(shape_name(a.shape)));
    }
  }
  if (!chosen) {
    attempt &f = *furthest_failure;
    t.line = f.after.reported_line();
    std::string how;
    if (modes.size() * shapes.size() > 1)
      how = " (read with " + std::string(mode_name(f.labels)) + " as a " + describe_shape(f.shape) +
            ", the reading that went furthest)";
    if (f.range) throw range_error(f.why + how);
    throw format_error(f.why + how);
  }
  c = chosen->after;
  t.found_layout = layout_of(chosen->labels);
  t.found_shape = chosen->shape;
  return std::move(chosen->mat);
}

} // namespace

std::string read_whole_input() {
  input_source &in = current_input();
  std::string all;
  for (;;) {
    std::string_view chunk = in.buffered();
    if (chunk.empty()) return all;
    all.append(chunk);
    in.consume(chunk.size());
  }
}

dist_layout_type recognise_layout(std::string_view text) {
  text_cursor c{text.data(), text.data() + text.size(), 1};
  if (text.size() >= 3 && std::memcmp(text.data(), "\xEF\xBB\xBF", 3) == 0) c.p += 3;
  detail::skip_blank_lines(c);
  const bool tab_first = c.peek() == '\t';
  detail::skip_blanks(c);
  if (c.end - c.p >= 6) {
    std::string head(c.p, 6);
    for (char &ch : head) ch = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
    if (head == "#NEXUS") return dist_layout_type::NEXUS;
  }
  if (tab_first) return dist_layout_type::TSV;
  if (c.peek() >= '0' && c.peek() <= '9') {
    text_cursor d = c;
    while (d.peek() >= '0' && d.peek() <= '9') d.advance();
    if (d.at_end() || detail::is_blank(d.peek()) || d.peek() == '\n') return dist_layout_type::PHYLIP;
  }
  throw format_error("cannot tell the layout: the first line is neither a taxon count (PHYLIP), a header line "
                     "that begins with a tab (tab-separated) nor #NEXUS; say --from=phylip, relaxed, tsv or nexus");
}

dist_mat_access read_dist_text(dist_text_type &t) {
  text_cursor c{t.text.data() + t.pos, t.text.data() + t.text.size(), t.line, t.text.data()};
  if (t.pos == 0 && t.text.size() >= 3 && std::memcmp(t.text.data(), "\xEF\xBB\xBF", 3) == 0) c.p += 3;
  auto commit = [&] {
    t.pos = static_cast<std::size_t>(c.p - t.text.data());
    t.line = c.line;
  };
  t.line = 0; // set by a reader that knows better where a problem lies
  try {
    dist_mat_access mat;
    if (!t.in_nexus) {
      detail::skip_blank_lines(c);
      if (c.at_end()) {
        commit();
        return nullptr;
      }
      t.matrix_line = c.line;
      dist_layout_type layout = t.layout;
      if (layout == dist_layout_type::AUTO) {
        layout = recognise_layout(std::string_view(c.p, static_cast<std::size_t>(c.end - c.p)));
        if (layout == dist_layout_type::PHYLIP) layout = dist_layout_type::AUTO; // PHYLIP or RELAXED
      }
      if (layout == dist_layout_type::NEXUS) {
        detail::start_nexus(t, c);
        t.in_nexus = true;
      } else {
        mat = read_rows_matrix(t, c, layout);
      }
    }
    if (t.in_nexus) {
      mat = detail::read_nexus_dist(t, c);
      if (mat) t.found_layout = dist_layout_type::NEXUS;
    }
    commit();
    return mat;
  } catch (...) {
    if (t.line == 0) t.line = c.reported_line();
    throw;
  }
}

std::string_view layout_name(dist_layout_type layout) {
  switch (layout) {
  case dist_layout_type::AUTO: return "auto";
  case dist_layout_type::PHYLIP: return "phylip";
  case dist_layout_type::RELAXED: return "relaxed";
  case dist_layout_type::TSV: return "tsv";
  case dist_layout_type::NEXUS: return "nexus";
  }
  return "?";
}

std::string_view shape_name(dist_shape_type shape) {
  switch (shape) {
  case dist_shape_type::AUTO: return "auto";
  case dist_shape_type::SQUARE: return "square";
  case dist_shape_type::LOWER: return "lower";
  case dist_shape_type::LOWER_DIAGONAL: return "lower-diagonal";
  case dist_shape_type::UPPER: return "upper";
  case dist_shape_type::UPPER_DIAGONAL: return "upper-diagonal";
  }
  return "?";
}

} // namespace phylo::read
