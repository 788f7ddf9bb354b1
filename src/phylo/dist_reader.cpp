// The recognising reader: which layout a text is in, and the reader of each layout.
#include "phylo/dist_reader.hpp"

#include "fields.hpp"
#include "line_input.hpp"
#include "number_scan.hpp"
#include "phylo/chars.hpp"
#include "phylo/csv.hpp"
#include "phylo/mega.hpp"
#include "phylo/nexus.hpp"
#include "phylo/number.hpp"
#include "phylo/pairs.hpp"
#include "phylo/phylip.hpp"

namespace phylo::read {
namespace {

// Lines that begin with '#' before a header line that begins with its delimiter (a tab or a
// comma: an empty corner cell), with lines of blanks among them, as scikit-bio's lsmat reader
// passes them over: how many bytes they take from the read position, or 0 when none do (nor
// more than a lookahead's worth). "#NEXUS", "#mega" and a header whose corner cell begins with
// '#' (mash's "#query") are no comments.
std::size_t comment_lines_at(input_source &in) {
  std::size_t k = 0;
  bool comments = false;
  while (k < detail::blank_lookahead) {
    std::size_t j = k;
    while (detail::is_blank<true>(in.peek_at(j))) ++j;
    int c = in.peek_at(j);
    if (c == '\n') { // a line of blanks
      k = j + 1;
      continue;
    }
    if (c != '#') return comments && (in.peek_at(k) == '\t' || in.peek_at(k) == ',') ? k : 0;
    if (detail::starts_with_ignoring_case(in, j, "#NEXUS") || detail::starts_with_ignoring_case(in, j, "#MEGA"))
      return 0;
    while ((c = in.peek_at(j)) >= 0 && c != '\n') ++j;
    if (c < 0) return 0;
    k = j + 1;
    comments = true;
  }
  return 0;
}

} // namespace

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

dist_layout_type recognise_layout(input_source &in, std::size_t pair_column) {
  std::size_t k = detail::byte_order_mark_at(in);
  for (;;) { // lines of blanks
    std::size_t j = k;
    while (detail::is_blank<true>(in.peek_at(j))) ++j;
    if (in.peek_at(j) != '\n') break;
    k = j + 1;
  }
  const std::size_t line_start = k;
  const bool tab_first = in.peek_at(k) == '\t';
  while (detail::is_blank<true>(in.peek_at(k))) ++k;
  if (detail::starts_with_ignoring_case(in, k, "#NEXUS")) return dist_layout_type::NEXUS;
  if (detail::starts_with_ignoring_case(in, k, "#MEGA")) return dist_layout_type::MEGA;
  if (detail::is_digit(in.peek_at(k))) {
    while (detail::is_digit(in.peek_at(k))) ++k;
    int c = in.peek_at(k);
    // After a tab, only a count alone on its line (as quicktree and mash write it): a header
    // line of labels that are numbers stays a header.
    if (tab_first)
      while (detail::is_blank<true>(c)) c = in.peek_at(++k);
    if (c < 0 || c == '\n' || (!tab_first && detail::is_blank<true>(c))) return dist_layout_type::PHYLIP;
  }
  if (tab_first) return dist_layout_type::TSV;
  // Delimited text: a list of pairs, or a header of labels with or without a corner cell.
  input_mark mark(in);
  in.consume(line_start);
  const detail::field_delimiter delimiter = detail::delimiter_of_line(in);
  detail::record_type first, second;
  detail::read_record(in, delimiter, first);
  const bool has_second = detail::read_record(in, delimiter, second, detail::blank_lookahead);
  mark.rewind();
  auto number = [](std::string_view text) { return parse_real(text).has_value(); };
  auto pair_line = [&](const detail::record_type &r) {
    return r.size >= pair_column && !number(r[0]) && !number(r[1]) && number(r[pair_column - 1]);
  };
  if (pair_line(first) ||
      (has_second && pair_line(second) && first.size >= pair_column && !number(first[pair_column - 1])))
    return dist_layout_type::PAIRS;
  if (delimiter == detail::field_delimiter::TAB) return dist_layout_type::TSV;
  if (delimiter == detail::field_delimiter::COMMA) return dist_layout_type::CSV;
  throw undecided_error(undecided_type::LAYOUT,
                        "cannot tell the layout: the first line is neither a taxon count (PHYLIP), a header line "
                        "of labels (tab-separated or CSV), a pair of labels and their distance, nor #NEXUS",
                        in.position());
}

dist_reader::dist_reader(input_source &in, dist_read_settings settings) : in_(in), settings_(settings) {}

dist_mat_access dist_reader::next() {
  if (!refusing_nul_) { // from the first matrix on, raised by next() as every other error
    refusing_nul_ = true;
    in_.refuse_nul_bytes();
  }
  if (!nexus_) {
    in_.consume(detail::byte_order_mark_at(in_));
    detail::skip_blank_lines(in_);
    if (in_.peek() < 0) return nullptr;
    in_.consume(comment_lines_at(in_));
    matrix_line_ = in_.line();
    dist_layout_type layout = settings_.layout;
    if (layout == dist_layout_type::AUTO) {
      layout = recognise_layout(in_, settings_.pair_column);
      if (layout == dist_layout_type::PHYLIP) layout = dist_layout_type::AUTO; // PHYLIP or RELAXED
    }
    found_layout_ = layout;
    found_shape_ = dist_shape_type::SQUARE;
    switch (layout) {
    case dist_layout_type::CSV: return read_csv_dist_mat(in_, settings_.max_taxa);
    case dist_layout_type::MEGA: return read_mega_dist_mat(in_, settings_.max_taxa);
    case dist_layout_type::PAIRS:
      return read_pairs_dist_mat(in_, settings_.pair_column, settings_.pair_fill, settings_.max_taxa);
    case dist_layout_type::NEXUS: nexus_.emplace(in_, settings_.max_taxa, settings_.pair_fill); break;
    default: {
      rows_matrix read = read_rows_dist_mat(in_, layout, settings_.shape, settings_.max_taxa, settings_.threads);
      found_layout_ = read.layout;
      found_shape_ = read.shape;
      return std::move(read.matrix);
    }
    }
  }
  dist_mat_access mat = nexus_->next();
  if (mat) {
    found_layout_ = dist_layout_type::NEXUS;
    found_shape_ = dist_shape_type::AUTO;
    matrix_line_ = nexus_->matrix_line();
  }
  return mat;
}

} // namespace phylo::read
