// Lists of pairs: one pair of taxa and their distance per line, as mash, snp-dists, fastANI,
// mothur's column files and R's as.data.frame(as.table(...)) write them. The whole list is read
// before the matrix can be sized: the records are kept as two taxon numbers and a value.
#include "phylo/pairs.hpp"

#include "fields.hpp"
#include "phylo/chars.hpp"
#include "phylo/number.hpp"
#include "phylo/phylip.hpp"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

namespace phylo::detail {
namespace {

struct pair_record {
  std::uint32_t a, b;
  float value;
};

} // namespace

} // namespace phylo::detail

namespace phylo::read {

dist_mat_access read_pairs_dist_mat(input_source &in, std::size_t column, std::optional<float> fill,
                                    std::size_t max_taxa) {
  using namespace phylo::detail;
  const field_delimiter delimiter = delimiter_of_line(in);
  const std::string name = in.name();
  std::vector<std::string> labels;
  std::unordered_map<std::string, std::uint32_t> numbers;
  std::vector<pair_record> pairs;
  record_type r;
  // Lists are mostly sorted by their first label: the taxon of the last lookup is kept.
  std::string last_label;
  std::uint32_t last_taxon = 0;
  auto taxon = [&](std::string_view label, std::size_t line, std::size_t col) -> std::uint32_t {
    if (!labels.empty() && label == last_label) return last_taxon;
    auto [it, added] = numbers.try_emplace(std::string(label), static_cast<std::uint32_t>(labels.size()));
    if (added) {
      if (labels.size() >= max_taxa)
        throw range_error("the pairs name more than " + std::to_string(max_taxa) + " taxa",
                          input_position{name, line, col});
      labels.emplace_back(label);
    }
    last_label = label;
    return last_taxon = it->second;
  };
  bool first = true;
  std::size_t first_line = 0;
  while (read_record(in, delimiter, r)) {
    if (first) first_line = r.line;
    const input_position where{name, r.line, r.columns[0]};
    if (r.size < column)
      throw format_error("the line has " + std::to_string(r.size) +
                             " fields; a pair needs its two labels and the "
                             "distance in field " +
                             std::to_string(column),
                         where);
    const std::optional<float> number = parse_real(r[column - 1]);
    if (!number) {
      if (first) { // a header
        first = false;
        continue;
      }
      throw format_error(quote_text(r[column - 1]) + " in field " + std::to_string(column) + " is no distance",
                         input_position{name, r.line, r.columns[column - 1]});
    }
    first = false;
    const float v = *number;
    if (v < 0.0f)
      throw range_error("distance " + print::shortest_decimal(v) + " is negative",
                        input_position{name, r.line, r.columns[column - 1]});
    const std::string_view a = trim_field(r[0]), b = trim_field(r[1]);
    if (a.empty() || b.empty()) throw format_error("a pair has an empty label", where);
    const std::uint32_t x = taxon(a, r.line, r.columns[0]);
    const std::uint32_t y = taxon(b, r.line, r.columns[1]);
    pairs.push_back({x, y, v});
  }
  if (labels.empty()) return nullptr;
  const std::size_t n = labels.size();
  auto mat = new_dist_mat(n);
  const float unset = std::numeric_limits<float>::quiet_NaN();
  for (std::size_t i = 0; i < n; ++i) {
    mat->labels[i] = std::move(labels[i]);
    float *row = mat->distances.row(i);
    for (std::size_t j = 0; j < n; ++j) row[j] = unset;
  }
  const input_position whole{name, first_line, 1};
  for (const pair_record &p : pairs) {
    float &cell = mat->distances(p.a, p.b);
    if (!std::isnan(cell) && cell != p.value)
      throw format_error("the pair (" + quote_text(mat->labels[p.a]) + ", " + quote_text(mat->labels[p.b]) +
                             ") is given twice, as " + print::shortest_decimal(cell) + " and " +
                             print::shortest_decimal(p.value),
                         whole);
    cell = p.value;
  }
  std::vector<pair_record>().swap(pairs);
  for (std::size_t i = 0; i < n; ++i) {
    if (std::isnan(mat->distances(i, i))) mat->distances(i, i) = 0.0f;
    for (std::size_t j = 0; j < i; ++j) {
      float &x = mat->distances(i, j), &y = mat->distances(j, i);
      if (std::isnan(x) && std::isnan(y)) {
        if (!fill)
          throw read::missing_pair_error(
              "no line gives the pair (" + quote_text(mat->labels[j]) + ", " + quote_text(mat->labels[i]) + ")", whole);
        x = y = *fill;
      } else if (std::isnan(x)) {
        x = y;
      } else if (std::isnan(y)) {
        y = x;
      }
    }
  }
  return mat;
}

} // namespace phylo::read

namespace phylo::print {

void print_pairs_header(output_sink &out) { out.write("taxon1\ttaxon2\tdistance\n"); }

void print_pair_line(output_sink &out, std::string_view first, std::string_view second, float value, int digits) {
  out.write(first);
  out.put('\t');
  out.write(second);
  char *p = out.reserve(66);
  *p++ = '\t';
  p = write_decimal(value, digits, p);
  *p++ = '\n';
  out.commit(p);
}

void print_pairs_dist_mat(output_sink &out, const dist_mat_type &dist, int digits) {
  print_pairs_header(out);
  const std::size_t n = dist.n_tax();
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j)
      print_pair_line(out, dist.labels[i], dist.labels[j], dist.distances(i, j), digits);
}

} // namespace phylo::print
