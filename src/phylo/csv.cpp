// CSV matrices: R's write.csv, pandas' to_csv, scikit-bio's lsmat with commas. A header record
// of the labels (after an empty or named corner cell, or without one), then one record per
// row: a label and the row's values. Fields follow RFC 4180's quoting.
#include "phylo/csv.hpp"

#include "fields.hpp"
#include "phylo/chars.hpp"
#include "phylo/io.hpp"
#include "phylo/number.hpp"

#include <string>

namespace phylo::read {

dist_mat_access read_csv_dist_mat(input_source &in, std::size_t max_taxa) {
  using namespace phylo::detail;
  record_type header, row;
  if (!read_record(in, field_delimiter::COMMA, header)) return nullptr;
  const std::string name = in.name();
  auto at = [&](const record_type &r, std::size_t k) {
    return input_position{name, r.line, k < r.size ? r.columns[k] : 1};
  };
  if (!read_record(in, field_delimiter::COMMA, row))
    throw format_error("the CSV header is followed by no row", at(header, 0));
  std::size_t n;
  if (row.size == header.size) n = header.size - 1; // a corner cell
  else if (row.size == header.size + 1) n = header.size;
  else
    throw format_error("row 1 has " + std::to_string(row.size) + " fields, but the header has " +
                           std::to_string(header.size) + ": a CSV matrix has one label and one value per header label",
                       at(row, 0));
  if (n < 1 || n > max_taxa)
    throw range_error("the taxon count must be 1 to " + std::to_string(max_taxa) + "; the header names " +
                          std::to_string(n),
                      at(header, 0));
  auto mat = new_dist_mat(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && !read_record(in, field_delimiter::COMMA, row))
      throw format_error("the input ends after " + std::to_string(i) + " of the " + std::to_string(n) +
                             (n == 1 ? " row" : " rows"),
                         input_position{name, in.line(), in.column()});
    const std::string_view label = trim_field(row[0]);
    const std::string row_name = "row " + std::to_string(i + 1) + " (" + quote_text(label) + ")";
    if (row.size != n + 1)
      throw format_error(row_name + " has " + std::to_string(row.size - 1) + " values where " + std::to_string(n) +
                             " were expected",
                         at(row, 0));
    if (label.empty()) throw format_error("row " + std::to_string(i + 1) + " has no label", at(row, 0));
    const std::size_t h = i + header.size - n; // past the corner cell
    if (trim_field(header[h]) != label) fail_header_mismatch(i, label, trim_field(header[h]), at(header, h));
    mat->labels[i] = std::string(label);
    float *cells = mat->distances.row(i);
    for (std::size_t j = 0; j < n; ++j) {
      const std::optional<float> number = parse_real(row[j + 1]);
      if (!number) throw format_error(row_name + ": " + quote_text(row[j + 1]) + " is no distance", at(row, j + 1));
      const float v = *number;
      if (v < 0.0f)
        throw range_error(row_name + ": distance " + print::shortest_decimal(v) + " is negative", at(row, j + 1));
      cells[j] = v;
    }
  }
  return mat;
}

} // namespace phylo::read

namespace phylo::print {
namespace {

// A label as a CSV field: quoted when it holds a comma, a quote, a line end or blanks at
// either end, with each quote doubled.
void put_csv_field(output_sink &out, std::string_view text) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return out.write(text);
  out.put('"');
  for (char c : text) {
    if (c == '"') out.put('"');
    out.put(c);
  }
  out.put('"');
}

} // namespace

void print_csv_dist_mat(output_sink &out, const dist_mat_type &dist, int digits) {
  const std::size_t n = dist.n_tax();
  for (std::size_t j = 0; j < n; ++j) {
    out.put(',');
    put_csv_field(out, dist.labels[j]);
  }
  out.put('\n');
  for (std::size_t i = 0; i < n; ++i) {
    put_csv_field(out, dist.labels[i]);
    const float *row = dist.distances.row(i);
    for (std::size_t j = 0; j < n; ++j) {
      char *p = out.reserve(66);
      *p++ = ',';
      out.commit(write_decimal(row[j], digits, p));
    }
    out.put('\n');
  }
}

} // namespace phylo::print
