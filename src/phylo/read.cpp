#include "phylo/read.hpp"

#include "phylo/io.hpp"
#include "scan_number.hpp"

#include <charconv>
#include <cstring>

namespace phylo::read {
namespace {

[[noreturn]] void throw_eof(const char *where) {
  throw end_of_input(std::string("the input ends ") + where);
}

// Consumes the rest of the current line and its line end (or the rest of the input).
void discard_line(input_source &in) {
  for (;;) {
    std::string_view chunk = in.buffered();
    if (chunk.empty()) return;
    const void *hit = std::memchr(chunk.data(), '\n', chunk.size());
    if (hit) {
      in.consume(static_cast<std::size_t>(static_cast<const char *>(hit) - chunk.data()) + 1);
      return;
    }
    in.consume(chunk.size());
  }
}

char next_char(input_source &in) {
  for (;;) {
    int c = in.peek();
    if (c < 0) throw_eof("where a character was expected");
    in.advance();
    if (c != '\n') return static_cast<char>(c);
  }
}

// get_word and skip_word: `keep` is null when the word is discarded.
void take_word(input_source &in, const char_set_type &delimiters, std::string *keep) {
  bool taken = false;
  for (;;) {
    int c = in.peek();
    if (taken && (c < 0 || c == '\n')) return;
    if (c < 0) throw_eof("where a word was expected");
    in.advance();
    if (c == '\n') continue;
    if (delimiters.contains(static_cast<unsigned char>(c))) {
      if (taken) return;
      continue;
    }
    taken = true;
    if (keep) keep->push_back(static_cast<char>(c));
  }
}

label_format_type label_layout(dist_format_type format) {
  switch (format) {
  case dist_format_type::PHYLIP:
    return label_format_type::PHYLIP;
  case dist_format_type::TAB:
    return label_format_type::TAB_SEPARATED;
  case dist_format_type::EXTENDED_PHYLIP:
  case dist_format_type::NEXUS:
  case dist_format_type::NEXUS_ENCLOSED:
  case dist_format_type::ONE_COLUMN:
  case dist_format_type::RAW:
    return label_format_type::EXTENDED_PHYLIP;
  }
  throw range_error("distance format " + std::to_string(static_cast<int>(format)) + " is not a layout");
}

std::string image_of(float v) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

inline float read_distance(input_source &in) {
  float v = detail::scan_real(in);
  if (v < 0.0f) throw range_error("distance " + image_of(v) + " is negative");
  return v;
}

// Reads n labels and n x n cells into `cells`, row after row.
void read_rows(input_source &in, label_format_type labels_as, tax_lab_type &labels, float *cells,
               std::size_t n_cells) {
  const std::size_t n = labels.size();
  std::size_t k = 0;
  for (std::size_t i = 0; i < n; ++i) {
    labels[i] = read_label(labels_as);
    if (n > n_cells - k) {
      // The flat form ran out of cells: fill what fits, then complain at the first cell past it.
      for (std::size_t j = 0; j < n; ++j, ++k) {
        float v = read_distance(in);
        if (k >= n_cells) throw range_error("the matrix needs more than its " + std::to_string(n_cells) + " cells");
        cells[k] = v;
      }
    } else {
      float *row = cells + k;
      for (std::size_t j = 0; j < n; ++j) row[j] = read_distance(in);
      k += n;
    }
    detail::expect_row_end(in);
    end_row();
  }
}

} // namespace

char read_char() { return next_char(current_input()); }

std::int32_t read_integer() { return detail::scan_integer(current_input()); }

float read_real() { return detail::scan_real(current_input()); }

bool at_end_of_line() {
  int c = current_input().peek();
  return c < 0 || c == '\n';
}

void skip_line() {
  input_source &in = current_input();
  if (in.peek() < 0) throw_eof("where a line was expected");
  discard_line(in);
}

void end_row() { discard_line(current_input()); }

namespace {

inline bool is_blank_byte(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Whether nothing but blank bytes follows the first `keep` unread bytes. While it looks, it
// drops from the buffer the leading blanks after them that `may_drop` allows (up to the first
// it refuses), whenever it has seen all that is buffered: what the buffer holds stays bounded
// however long the run of blanks is.
template <class MayDrop> bool only_blanks_after(input_source &in, std::size_t keep, MayDrop may_drop) {
  std::size_t k = keep, droppable = keep; // scanned up to k; [keep, droppable) may be dropped
  bool dropping = true;
  for (;;) {
    if (in.peek_at(k) < 0) return true;
    const std::string_view view = in.buffered();
    for (; k < view.size(); ++k) {
      if (!is_blank_byte(view[k])) return false;
      if (dropping && may_drop(view[k])) droppable = k + 1;
      else dropping = false;
    }
    if (droppable > keep && in.drop_ahead(keep, droppable - keep)) {
      k -= droppable - keep;
      droppable = keep;
    }
  }
}

// Before read_dist_header(TAB), which counts the tabs of the whole next line (an empty line
// is a header of no taxa).
bool at_end_before_tab_header(input_source &in) {
  // Blanks and carriage returns before the line's first tab do not change its count.
  for (;;) {
    const std::string_view view = in.buffered();
    if (view.empty()) return true;
    std::size_t k = 0;
    while (k < view.size() && (view[k] == ' ' || view[k] == '\r')) ++k;
    in.consume(k);
    if (k < view.size()) break;
  }
  std::size_t k = 0, tabs = 0;
  for (;; ++k) {
    const int c = in.peek_at(k);
    if (c < 0) return true;
    if (c == '\n') break;
    if (!is_blank_byte(static_cast<char>(c))) return false;
    tabs += c == '\t';
  }
  // A blank line: it is the header if anything follows. With a count outside 1 .. 5000 the
  // header fails and nothing after it is read; otherwise the first row's label reader passes
  // over tabs, carriage returns and line ends, but takes blanks in.
  const bool refused = tabs < 1 || tabs > static_cast<std::size_t>(max_taxa);
  return only_blanks_after(in, k + 1, [refused](char c) { return refused || c != ' '; });
}

} // namespace

bool at_end() {
  input_source &in = current_input();
  for (;;) {
    const std::string_view view = in.buffered();
    if (view.empty()) return true;
    std::size_t k = 0;
    while (k < view.size() && (view[k] == ' ' || view[k] == '\t' || view[k] == '\n')) ++k;
    in.consume(k);
    if (k == view.size()) continue;
    if (view[k] != '\r') return false;
    // A carriage return, on which the number reader fails: it stays, and the blanks after it,
    // which no reader reaches, need not.
    return only_blanks_after(in, 1, [](char) { return true; });
  }
}

bool at_end(dist_format_type format) {
  return format == dist_format_type::TAB ? at_end_before_tab_header(current_input()) : at_end();
}

std::string get_word(const char_set_type &delimiters) {
  std::string word;
  take_word(current_input(), delimiters, &word);
  return word;
}

void skip_word(const char_set_type &delimiters) { take_word(current_input(), delimiters, nullptr); }

char get_black(const char_set_type &set) {
  input_source &in = current_input();
  for (;;) {
    char c = next_char(in);
    if (!set.contains(c)) return c;
  }
}

std::string black_only(std::string_view text, const char_set_type &set) {
  std::string out;
  append_black(out, text, set);
  return out;
}

void append_black(std::string &target, std::string_view text, const char_set_type &set) {
  for (char c : text)
    if (!set.contains(c)) target.push_back(c);
}

std::string read_label(label_format_type format) {
  input_source &in = current_input();
  switch (format) {
  case label_format_type::PHYLIP: {
    std::string label(10, ' ');
    for (char &c : label) c = next_char(in);
    return label;
  }
  case label_format_type::EXTENDED_PHYLIP:
    return get_word(whitespace);
  case label_format_type::COMMENTED_PHYLIP: {
    std::string label = get_word(whitespace);
    skip_word(whitespace);
    return label;
  }
  case label_format_type::TAB_SEPARATED:
    return get_word(controlchr);
  }
  throw range_error("label format " + std::to_string(static_cast<int>(format)) + " is not a layout");
}

int read_dist_header(dist_format_type format) {
  input_source &in = current_input();
  if (format == dist_format_type::TAB) {
    // The whole line, however long: its tabs count the taxa.
    if (in.peek() < 0) throw_eof("where a header line was expected");
    std::size_t tabs = 0;
    for (;;) {
      std::string_view chunk = in.buffered();
      if (chunk.empty()) break;
      const char *nl = static_cast<const char *>(std::memchr(chunk.data(), '\n', chunk.size()));
      std::size_t len = nl ? static_cast<std::size_t>(nl - chunk.data()) : chunk.size();
      for (std::size_t i = 0; i < len; ++i) tabs += chunk[i] == '\t';
      in.consume(nl ? len + 1 : len);
      if (nl) break;
    }
    if (tabs < 1 || tabs > static_cast<std::size_t>(max_taxa))
      throw range_error("the header line holds " + std::to_string(tabs) + " tabs; the taxon count must be 1 to " +
                        std::to_string(max_taxa));
    return static_cast<int>(tabs);
  }
  label_layout(format); // checks the enumeration value
  std::int32_t n = detail::scan_integer(in);
  if (n < 1 || n > max_taxa)
    throw range_error("taxon count " + std::to_string(n) + " is outside 1 to " + std::to_string(max_taxa));
  end_row();
  return n;
}

void read_dist_mat(dist_format_type format, dist_mat_type &mat) {
  label_format_type labels_as = label_layout(format);
  read_rows(current_input(), labels_as, mat.labels, mat.distances.data(), mat.n_tax() * mat.n_tax());
}

void read_fast_dist_mat(dist_format_type format, fast_dist_mat_type &mat) {
  label_format_type labels_as = label_layout(format);
  read_rows(current_input(), labels_as, mat.labels, mat.distances.data(), mat.n_cells());
}

} // namespace phylo::read
