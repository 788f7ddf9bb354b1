// The PHYLIP family as karvel reads and writes it: the strict reader of its three input
// layouts and the writer of its seven output layouts.
#include "phylo/phylip.hpp"

#include "line_input.hpp"
#include "nexus_parts.hpp"
#include "number_scan.hpp"
#include "phylo/label.hpp"
#include "phylo/nexus.hpp"
#include "phylo/number.hpp"

#include <cstring>

namespace phylo::read {
namespace {

label_format_type label_layout(dist_format_type format) {
  switch (format) {
  case dist_format_type::PHYLIP: return label_format_type::PHYLIP;
  case dist_format_type::TAB: return label_format_type::TAB_SEPARATED;
  case dist_format_type::EXTENDED_PHYLIP:
  case dist_format_type::NEXUS:
  case dist_format_type::NEXUS_ENCLOSED:
  case dist_format_type::ONE_COLUMN:
  case dist_format_type::RAW: return label_format_type::EXTENDED_PHYLIP;
  }
  throw range_error("distance format " + std::to_string(static_cast<int>(format)) + " is not a layout");
}

inline float read_distance(input_source &in) {
  const float v = detail::scan_real<false>(in);
  if (v < 0.0f) detail::fail_at<range_error>(in, "distance " + print::shortest_decimal(v) + " is negative");
  return v;
}

// Reads n labels and n x n cells into `cells`, row after row.
void read_rows(input_source &in, label_format_type labels_as, tax_lab_type &labels, float *cells, std::size_t n_cells) {
  const std::size_t n = labels.size();
  std::size_t k = 0;
  for (std::size_t i = 0; i < n; ++i) {
    labels[i] = read_label(in, labels_as);
    if (n > n_cells - k) {
      // The flat form ran out of cells: fill what fits, then complain at the first cell past it.
      for (std::size_t j = 0; j < n; ++j, ++k) {
        const float v = read_distance(in);
        if (k >= n_cells)
          detail::fail_at<range_error>(in, "the matrix needs more than its " + std::to_string(n_cells) + " cells");
        cells[k] = v;
      }
    } else {
      float *row = cells + k;
      for (std::size_t j = 0; j < n; ++j) row[j] = read_distance(in);
      k += n;
    }
    detail::expect_row_end(in);
    detail::discard_line(in);
  }
}

} // namespace

int read_dist_header(dist_format_type format) { return read_dist_header(current_input(), format); }

int read_dist_header(input_source &in, dist_format_type format) {
  if (format == dist_format_type::TAB) {
    // The whole line, however long: its tabs count the taxa.
    if (in.peek() < 0) detail::fail_at<end_of_input>(in, "the input ends where a header line was expected");
    const std::size_t tabs = detail::count_line_tabs(in);
    if (tabs < 1 || tabs > static_cast<std::size_t>(max_taxa))
      detail::fail_at<range_error>(in, "the header line holds " + std::to_string(tabs) +
                                           " tabs; the taxon count must be 1 to " + std::to_string(max_taxa));
    return static_cast<int>(tabs);
  }
  label_layout(format); // checks the enumeration value
  const std::int32_t n = detail::scan_integer(in);
  if (n < 1 || n > max_taxa)
    detail::fail_at<range_error>(in,
                                 "taxon count " + std::to_string(n) + " is outside 1 to " + std::to_string(max_taxa));
  detail::discard_line(in);
  return n;
}

void read_dist_mat(dist_format_type format, dist_mat_type &mat) { read_dist_mat(current_input(), format, mat); }

void read_dist_mat(input_source &in, dist_format_type format, dist_mat_type &mat) {
  const label_format_type labels_as = label_layout(format);
  read_rows(in, labels_as, mat.labels, mat.distances.data(), mat.n_tax() * mat.n_tax());
}

void read_fast_dist_mat(dist_format_type format, fast_dist_mat_type &mat) {
  read_fast_dist_mat(current_input(), format, mat);
}

void read_fast_dist_mat(input_source &in, dist_format_type format, fast_dist_mat_type &mat) {
  const label_format_type labels_as = label_layout(format);
  read_rows(in, labels_as, mat.labels, mat.distances.data(), mat.n_cells());
}

} // namespace phylo::read

namespace phylo::print {
namespace {

[[noreturn]] void bad_format(int value) {
  throw range_error("output format " + std::to_string(value) + " is not a layout");
}

void write_count_line(output_sink &out, std::size_t n) {
  out.write(integer_image(static_cast<long long>(n)));
  out.put('\n');
}

} // namespace

void print_dist_mat(const dist_mat_type &dist, dist_format_type format) {
  print_dist_mat(current_output(), dist, format);
}

void print_dist_mat(output_sink &out, const dist_mat_type &dist, dist_format_type format) {
  std::size_t w = 0;
  switch (format) {
  case dist_format_type::PHYLIP: w = 10; break;
  case dist_format_type::EXTENDED_PHYLIP:
  case dist_format_type::TAB:
  case dist_format_type::NEXUS:
  case dist_format_type::RAW: w = max_label_length(dist.labels); break;
  case dist_format_type::NEXUS_ENCLOSED: w = max_label_length(dist.labels) + 2; break;
  case dist_format_type::ONE_COLUMN: break;
  default: bad_format(static_cast<int>(format));
  }

  const std::size_t n = dist.n_tax();
  switch (format) {
  case dist_format_type::PHYLIP:
  case dist_format_type::EXTENDED_PHYLIP: write_count_line(out, n); break;
  case dist_format_type::TAB:
    for (std::size_t i = 0; i < n; ++i) {
      out.put('\t');
      out.write(dist.labels[i]);
    }
    out.put('\n');
    break;
  case dist_format_type::NEXUS:
  case dist_format_type::NEXUS_ENCLOSED: detail::print_nexus_distances_head(out, n); break;
  default: break;
  }

  if (format == dist_format_type::ONE_COLUMN) {
    for (std::size_t i = 1; i < n; ++i) {
      const float *row = dist.distances.row(i);
      for (std::size_t j = 0; j < i; ++j) print_one_column_pair(out, dist.labels[i], dist.labels[j], row[j]);
    }
    return;
  }

  for (std::size_t i = 0; i < n; ++i) {
    print_label(out, dist.labels[i], format, w);
    print_number_images(out, dist.distances.row(i), n);
    out.put('\n');
  }
  if (format == dist_format_type::NEXUS || format == dist_format_type::NEXUS_ENCLOSED)
    print_paup_block(out, paup_block_type::DISTANCES);
}

void print_one_column_pair(output_sink &out, std::string_view first, std::string_view second, float value) {
  out.write(first);
  out.put('\t');
  out.write(second);
  print_number_images(out, &value, 1);
  out.put('\n');
}

void print_lower_dist_mat(const dist_mat_type &dist, dist_format_type format) {
  print_lower_dist_mat(current_output(), dist, format);
}

void print_lower_dist_mat(output_sink &out, const dist_mat_type &dist, dist_format_type format) {
  std::size_t w = 10;
  if (format == dist_format_type::EXTENDED_PHYLIP) w = max_label_length(dist.labels);
  else if (format != dist_format_type::PHYLIP)
    throw range_error("a lower triangle is written in the PHYLIP or extended PHYLIP layout only");
  const std::size_t n = dist.n_tax();
  write_count_line(out, n);
  for (std::size_t i = 0; i < n; ++i) {
    print_label(out, dist.labels[i], format, w);
    print_number_images(out, dist.distances.row(i), i);
    out.put('\n');
  }
}

} // namespace phylo::print

namespace phylo::print {

label_form_type label_form(dist_format_type format) noexcept {
  switch (format) {
  case dist_format_type::PHYLIP: return label_form_type::PHYLIP;
  case dist_format_type::EXTENDED_PHYLIP: return label_form_type::NO_BLANK;
  case dist_format_type::NEXUS: return label_form_type::NEXUS_CLEANED;
  case dist_format_type::NEXUS_ENCLOSED: return label_form_type::NEXUS_ENCLOSED;
  case dist_format_type::TAB:
  case dist_format_type::ONE_COLUMN:
  case dist_format_type::RAW: break;
  }
  return label_form_type::CELL;
}

} // namespace phylo::print
