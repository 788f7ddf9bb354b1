// Character matrices: the reader of their rows, and the writers of matrices and of aligned
// sequence sets.
#include "phylo/char_matrix.hpp"

#include "line_input.hpp"
#include "nexus_parts.hpp"
#include "number_scan.hpp"
#include "phylo/fasta.hpp"
#include "phylo/io.hpp"
#include "phylo/label.hpp"
#include "phylo/nexus.hpp"
#include "phylo/number.hpp"
#include "phylo/text.hpp"

#include <charconv>
#include <cstring>
#include <string>

namespace phylo::read {
namespace {

label_format_type label_layout(char_format_type format) {
  switch (format) {
  case char_format_type::PHYLIP: return label_format_type::PHYLIP;
  case char_format_type::COMMENTED_PHYLIP: return label_format_type::COMMENTED_PHYLIP;
  case char_format_type::EXTENDED_PHYLIP:
  case char_format_type::NEXUS:
  case char_format_type::NEXUS_ENCLOSED: return label_format_type::EXTENDED_PHYLIP;
  }
  throw range_error("character format " + std::to_string(static_cast<int>(format)) + " is not a layout");
}

// After a line end inside row i: the row goes on only on a line that begins with a blank or a
// tab (empty lines between are passed); a line that begins otherwise holds the next row.
void expect_continuation(input_source &in, std::size_t i, const std::string &label, std::size_t j, std::size_t n) {
  for (;;) {
    const int c = in.peek();
    if (c == ' ' || c == '\t' || c < 0) return;
    if (c == '\n') in.advance();
    else if (c == '\r' && in.peek_at(1) == '\n') in.consume(2);
    else
      detail::fail_at<format_error>(in, "row " + std::to_string(i + 1) + " (" + quote_text(label) + ") ends after " +
                                            std::to_string(j) + " of its " + std::to_string(n) +
                                            " symbols (a row goes on over a line that begins with a blank)");
  }
}

// Fills `row` i with the next n symbols: every character that is not whitespace is one
// symbol; with BLANK_START a row goes on only over the lines that begin with a blank.
void read_symbols(input_source &in, char *row, std::size_t n, std::size_t i, const std::string &label,
                  row_wrap_type wrap) {
  std::size_t j = 0;
  while (j < n) {
    const std::string_view chunk = in.buffered();
    if (chunk.empty())
      detail::fail_at<end_of_input>(in, "the input ends after " + std::to_string(j) + " of " + std::to_string(n) +
                                            " symbols of a row");
    std::size_t k = 0;
    bool line_end = false;
    const bool stop_at_line_ends = wrap == row_wrap_type::BLANK_START;
    for (; k < chunk.size() && j < n && !line_end; ++k) {
      if (!whitespace.contains(chunk[k])) row[j++] = chunk[k];
      else line_end = stop_at_line_ends && chunk[k] == '\n';
    }
    in.consume(k);
    if (line_end && j < n) expect_continuation(in, i, label, j, n);
  }
}

void read_counts(input_source &in, std::int32_t *row, std::size_t n, std::size_t taxon) {
  for (std::size_t j = 0; j < n; ++j) {
    const std::int32_t v = detail::scan_integer(in);
    if (v < 0)
      detail::fail_at<range_error>(in, "count " + std::to_string(v) + " of taxon " + std::to_string(taxon + 1) +
                                           ", character " + std::to_string(j + 1) + " is negative");
    row[j] = v;
  }
}

void read_values(input_source &in, float *row, std::size_t n) {
  for (std::size_t j = 0; j < n; ++j) row[j] = detail::scan_real<false>(in);
}

} // namespace

char_mat_size read_header() { return read_header(current_input()); }

char_mat_size read_header(input_source &in) {
  detail::skip_number_space<false>(in);
  const std::size_t line = in.line();
  const std::int32_t n_tax = detail::scan_integer(in);
  if (n_tax < 1 || n_tax > max_taxa)
    detail::fail_at<range_error>(in, "taxon count " + std::to_string(n_tax) + " is outside 1 to " +
                                         std::to_string(max_taxa));
  const std::int32_t n_char = detail::scan_integer(in);
  if (n_char < 1 || n_char > max_chars)
    detail::fail_at<range_error>(in, "character count " + std::to_string(n_char) + " is outside 1 to " +
                                         std::to_string(max_chars));
  detail::discard_line(in);
  return {n_tax, n_char, line};
}

void read_char_mat(char_format_type format, char_mat_type &mat, row_wrap_type wrap) {
  read_char_mat(current_input(), format, mat, wrap);
}

void read_char_mat(input_source &in, char_format_type format, char_mat_type &mat, row_wrap_type wrap) {
  const label_format_type labels_as = label_layout(format);
  const std::size_t n = mat.n_tax(), m = mat.n_char();
  for (std::size_t i = 0; i < n; ++i) {
    mat.labels[i] = read_label(in, labels_as);
    switch (mat.kind()) {
    case matrix_type::QUANT:
      read_values(in, mat.quant_data().row(i), m);
      if (m > 0) detail::expect_row_end(in);
      break;
    case matrix_type::DISCR: read_symbols(in, mat.discr_data().row(i), m, i, mat.labels[i], wrap); break;
    case matrix_type::CNTCH:
      read_counts(in, mat.count_data().row(i), m, i);
      if (m > 0) detail::expect_row_end(in);
      break;
    }
    detail::discard_line(in);
  }
}

char_mat_access read_char_mat(input_source &in, char_format_type format, const char_mat_size &size, matrix_type kind) {
  const input_position header{in.name(), size.line, 1};
  const auto cells = static_cast<unsigned long long>(size.n_tax) * static_cast<unsigned long long>(size.n_char);
  if (const auto left = in.known_size_left(); left && cells > in.offset() + *left)
    throw format_error("the header announces " + std::to_string(size.n_tax) + " taxa of " +
                           std::to_string(size.n_char) + " characters, more than the text holds",
                       header);
  auto mat = std::make_unique<char_mat_type>(size.n_tax, size.n_char, kind);
  read_char_mat(in, format, *mat, row_wrap_type::BLANK_START);
  if (format == char_format_type::PHYLIP) {
    for (std::size_t i = 0; i < mat->n_tax(); ++i) {
      std::string &label = mat->labels[i];
      label = std::string(trim_phylip_label(label));
      if (label.empty())
        throw format_error("taxon " + std::to_string(i + 1) + " has no label: its first 10 characters are blank",
                           header);
    }
  }
  return mat;
}

} // namespace phylo::read

namespace phylo::print {
namespace {

// Tab, blank and the square brackets: what is trimmed from the ends of a comment.
constexpr char_set_type comment_trim_set = char_set_type::of("\t []");

bool is_nexus(char_format_type format) {
  return format == char_format_type::NEXUS || format == char_format_type::NEXUS_ENCLOSED;
}

// The width of the label column, computed before anything is written; range_error for an
// empty label (every layout but PHYLIP) or a value outside the enumeration.
template <class Labels> std::size_t label_width(const Labels &labels, char_format_type format) {
  switch (format) {
  case char_format_type::PHYLIP: return 10;
  case char_format_type::EXTENDED_PHYLIP:
  case char_format_type::NEXUS:
  case char_format_type::COMMENTED_PHYLIP: return max_label_length(labels);
  case char_format_type::NEXUS_ENCLOSED: return max_label_length(labels) + 2;
  }
  throw range_error("output format " + std::to_string(static_cast<int>(format)) + " is not a layout");
}

void write_mapped(output_sink &out, std::string_view text, const char_map_type &map) {
  char *p = out.reserve(text.size());
  for (char c : text) *p++ = map(c);
  out.commit(p);
}

void write_counts(output_sink &out, std::size_t n_tax, std::size_t n_char) {
  out.write(integer_image(static_cast<long long>(n_tax)));
  out.put('\t');
  out.write(integer_image(static_cast<long long>(n_char)));
}

// "[" fitted to width, then a tab.
void write_ruler_start(output_sink &out, std::size_t width) {
  if (width > 0) {
    char *p = out.reserve(width);
    *p = '[';
    std::memset(p + 1, ' ', width - 1);
    out.commit(p + width);
  }
  out.put('\t');
}

void write_count_row(output_sink &out, const std::int32_t *row, std::size_t m) {
  constexpr std::size_t cell = 13; // a tab, a blank or sign, up to 11 characters
  char *p = out.reserve(m * cell);
  for (std::size_t j = 0; j < m; ++j) {
    *p++ = '\t';
    if (row[j] >= 0) *p++ = ' ';
    p = std::to_chars(p, p + 11, row[j]).ptr;
  }
  out.commit(p);
}

} // namespace

void print_char_nums(std::size_t n_char, std::size_t width) { print_char_nums(current_output(), n_char, width); }

void print_char_nums(output_sink &out, std::size_t n_char, std::size_t width) {
  const std::size_t m = n_char / 10 + 1;
  write_ruler_start(out, width);
  for (std::size_t k = 1; k <= m; ++k) {
    char digits[24];
    const char *end = std::to_chars(digits, digits + sizeof digits, 10 * k).ptr;
    const std::size_t len = static_cast<std::size_t>(end - digits);
    const std::size_t pad = len < 10 ? 10 - len : 0;
    char *p = out.reserve(pad + len);
    std::memset(p, ' ', pad);
    std::memcpy(p + pad, digits, len);
    out.commit(p + pad + len);
  }
  out.write("]\n");
  write_ruler_start(out, width);
  for (std::size_t k = 1; k <= m; ++k) out.write("         .");
  out.write("]\n");
}

void print_footer(char_format_type format) { print_footer(current_output(), format); }

void print_footer(output_sink &out, char_format_type format) {
  if (is_nexus(format)) print_paup_block(out, paup_block_type::DATA);
}

void print_char_mat(const char_mat_type &mat, char_format_type format) {
  print_char_mat(current_output(), mat, format);
}

void print_char_mat(output_sink &out, const char_mat_type &mat, char_format_type format) {
  const std::size_t w = label_width(mat.labels, format);
  const std::size_t n = mat.n_tax(), m = mat.n_char();

  switch (format) {
  case char_format_type::PHYLIP:
  case char_format_type::EXTENDED_PHYLIP:
    write_counts(out, n, m);
    out.put('\n');
    break;
  case char_format_type::COMMENTED_PHYLIP: {
    write_counts(out, n, m);
    const std::string_view comment = text::trim(mat.comment, comment_trim_set);
    if (!comment.empty()) {
      out.write("\t[");
      out.write(comment);
      out.put(']');
    }
    out.put('\n');
    break;
  }
  case char_format_type::NEXUS:
  case char_format_type::NEXUS_ENCLOSED:
    out.write("#NEXUS\n\n");
    if (!mat.comment.empty()) {
      out.put('[');
      write_mapped(out, mat.comment, good_comment);
      out.write("]\n\n");
    }
    detail::print_nexus_data_head(out, n, m, mat.kind() == matrix_type::DISCR);
    if (mat.kind() == matrix_type::DISCR) print_char_nums(out, m, w);
    break;
  }

  for (std::size_t i = 0; i < n; ++i) {
    print_label(out, mat.labels[i], format, w);
    if (format == char_format_type::COMMENTED_PHYLIP) {
      out.write("\t[");
      write_mapped(out, text::trim(mat.tax_comments[i], comment_trim_set), no_space);
      out.put(']');
    }
    switch (mat.kind()) {
    case matrix_type::QUANT: print_number_images(out, mat.quant_data().row(i), m); break;
    case matrix_type::DISCR:
      out.put('\t');
      out.write(std::string_view(mat.discr_data().row(i), m));
      break;
    case matrix_type::CNTCH: write_count_row(out, mat.count_data().row(i), m); break;
    }
    if (is_nexus(format) && !mat.tax_comments[i].empty()) {
      out.write("\t[");
      write_mapped(out, mat.tax_comments[i], good_comment);
      out.put(']');
    }
    out.put('\n');
  }
  print_footer(out, format);
}

void print_char_mat(const sequence_vecs &sequences, char_format_type format) {
  print_char_mat(current_output(), sequences, format);
}

void print_char_mat(output_sink &out, const sequence_vecs &sequences, char_format_type format) {
  if (sequences.size() > static_cast<std::size_t>(max_taxa))
    throw range_error("a sequence set holds at most " + std::to_string(max_taxa) + " sequences");
  print_char_mat(out, std::span<const sequence_type>(sequences.begin(), sequences.end()), format);
}

void print_char_mat(output_sink &out, std::span<const sequence_type> sequences, char_format_type format) {
  if (!read::is_aligned(sequences)) throw unaligned_error("phylo-print:330");
  const std::size_t n = sequences.size(), m = sequences[0].residues.size();
  if (m > static_cast<std::size_t>(max_chars))
    throw range_error("sequences of " + std::to_string(m) + " residues are longer than " + std::to_string(max_chars));
  const std::size_t w = label_width(sequences, format);

  if (is_nexus(format)) {
    out.write("#NEXUS\n\n");
    detail::print_nexus_data_head(out, n, m, true);
    print_char_nums(out, m, w);
  } else {
    write_counts(out, n, m);
    out.put('\n');
  }
  for (const sequence_type &seq : sequences) {
    print_label(out, seq.label, format, w);
    out.put('\t');
    out.write(seq.residues);
    out.put('\n');
  }
  print_footer(out, format);
}

void print_sequential_phylip(output_sink &out, std::span<const sequence_type> sequences, label_form_type form) {
  if (!read::is_aligned(sequences)) throw unaligned_error("phylo-print:330");
  const std::size_t n = sequences.size(), m = sequences[0].residues.size();
  for (const sequence_type &seq : sequences)
    if (seq.label.empty()) throw range_error("a sequence has an empty label");
  out.write(" " + std::to_string(n) + " " + std::to_string(m) + "\n");
  for (const sequence_type &seq : sequences) {
    const std::string label = label_as_written(seq.label, form);
    out.write(label);
    if (form == label_form_type::TREE_SAFE_PHYLIP)
      for (std::size_t k = label.size(); k < 10; ++k) out.put(' ');
    out.put(' ');
    out.write(seq.residues);
    out.put('\n');
  }
}

void convert_chars(char_mat_type &mat, const char_map_type &map) {
  if (mat.kind() != matrix_type::DISCR) return;
  discr_matrix_type &data = mat.discr_data();
  char *cells = data.data();
  const std::size_t size = mat.n_tax() * mat.n_char();
  for (std::size_t k = 0; k < size; ++k) cells[k] = map(cells[k]);
}

} // namespace phylo::print
