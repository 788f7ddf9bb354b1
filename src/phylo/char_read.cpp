#include "phylo/read.hpp"

#include "phylo/io.hpp"
#include "scan_number.hpp"

#include <string>

namespace phylo::read {
namespace {

label_format_type label_layout(char_format_type format) {
  switch (format) {
  case char_format_type::PHYLIP:
    return label_format_type::PHYLIP;
  case char_format_type::COMMENTED_PHYLIP:
    return label_format_type::COMMENTED_PHYLIP;
  case char_format_type::EXTENDED_PHYLIP:
  case char_format_type::NEXUS:
  case char_format_type::NEXUS_ENCLOSED:
    return label_format_type::EXTENDED_PHYLIP;
  }
  throw range_error("character format " + std::to_string(static_cast<int>(format)) + " is not a layout");
}

// Fills `row` with the next n symbols: every character that is not whitespace (line ends
// included) is one symbol.
void read_symbols(input_source &in, char *row, std::size_t n) {
  std::size_t j = 0;
  while (j < n) {
    std::string_view chunk = in.buffered();
    if (chunk.empty())
      throw end_of_input("the input ends after " + std::to_string(j) + " of " + std::to_string(n) + " symbols of a row");
    std::size_t k = 0;
    for (; k < chunk.size() && j < n; ++k)
      if (!whitespace.contains(chunk[k])) row[j++] = chunk[k];
    in.consume(k);
  }
}

void read_counts(input_source &in, std::int32_t *row, std::size_t n, std::size_t taxon) {
  for (std::size_t j = 0; j < n; ++j) {
    const std::int32_t v = detail::scan_integer(in);
    if (v < 0)
      throw range_error("count " + std::to_string(v) + " of taxon " + std::to_string(taxon + 1) + ", character " +
                        std::to_string(j + 1) + " is negative");
    row[j] = v;
  }
}

void read_values(input_source &in, float *row, std::size_t n) {
  for (std::size_t j = 0; j < n; ++j) row[j] = detail::scan_real(in);
}

} // namespace

char_mat_size read_header() {
  input_source &in = current_input();
  const std::int32_t n_tax = detail::scan_integer(in);
  if (n_tax < 1 || n_tax > max_taxa)
    throw range_error("taxon count " + std::to_string(n_tax) + " is outside 1 to " + std::to_string(max_taxa));
  const std::int32_t n_char = detail::scan_integer(in);
  if (n_char < 1 || n_char > max_chars)
    throw range_error("character count " + std::to_string(n_char) + " is outside 1 to " + std::to_string(max_chars));
  end_row();
  return {n_tax, n_char};
}

void read_char_mat(char_format_type format, char_mat_type &mat) {
  const label_format_type labels_as = label_layout(format);
  input_source &in = current_input();
  const std::size_t n = mat.n_tax(), m = mat.n_char();
  for (std::size_t i = 0; i < n; ++i) {
    mat.labels[i] = read_label(labels_as);
    switch (mat.kind()) {
    case matrix_type::QUANT:
      read_values(in, mat.quant_data().row(i), m);
      if (m > 0) detail::expect_row_end(in);
      break;
    case matrix_type::DISCR:
      read_symbols(in, mat.discr_data().row(i), m);
      break;
    case matrix_type::CNTCH:
      read_counts(in, mat.count_data().row(i), m, i);
      if (m > 0) detail::expect_row_end(in);
      break;
    }
    end_row();
  }
}

} // namespace phylo::read
