#include "phylo/dist_print.hpp"

#include "phylo/chars.hpp"
#include "phylo/io.hpp"
#include "phylo/print.hpp"

#include <charconv>
#include <cmath>
#include <cstring>

namespace phylo::print {

void print_lower_dist_mat(const dist_mat_type &dist, dist_format_type format) {
  std::size_t w = 10;
  if (format == dist_format_type::EXTENDED_PHYLIP) w = max_label_length(dist.labels);
  else if (format != dist_format_type::PHYLIP)
    throw range_error("a lower triangle is written in the PHYLIP or extended PHYLIP layout only");
  output_sink &out = current_output();
  const std::size_t n = dist.n_tax();
  out.write(integer_image(static_cast<long long>(n)));
  out.put('\n');
  for (std::size_t i = 0; i < n; ++i) {
    print_label(dist.labels[i], format, w);
    const float *row = dist.distances.row(i);
    char *p = out.reserve(i * (number_image_size + 1) + 1);
    for (std::size_t j = 0; j < i; ++j) {
      *p++ = '\t';
      p = write_number_image(row[j], p);
    }
    *p++ = '\n';
    out.commit(p);
  }
}

std::string to_quoted_nexus_label(std::string_view label) {
  bool bare = !label.empty();
  for (char c : label)
    if (!nexus_label_set.contains(c) || c == '_') bare = false;
  if (bare) return std::string(label);
  std::string quoted = "'";
  for (char c : label) {
    quoted.push_back(c);
    if (c == '\'') quoted.push_back('\'');
  }
  quoted.push_back('\'');
  return quoted;
}

char *write_plain_decimal(float v, char *out) noexcept {
  if (v == 0.0f || !std::isfinite(v)) { // distances are finite; zero may be negative
    *out = '0';
    return out + 1;
  }
  // The shortest digits that read back as v, d.ddd times ten to the power e, set out in full.
  char sci[32];
  char *end = std::to_chars(sci, sci + sizeof sci, v, std::chars_format::scientific).ptr;
  const char *p = sci;
  if (*p == '-') *out++ = *p++;
  char digits[16];
  int n = 0;
  for (; *p != 'e'; ++p)
    if (*p != '.') digits[n++] = *p;
  int e = 0;
  std::from_chars(p + (p[1] == '+' ? 2 : 1), end, e);
  if (e < 0) {
    *out++ = '0';
    *out++ = '.';
    for (int k = -1; k > e; --k) *out++ = '0';
    std::memcpy(out, digits, static_cast<std::size_t>(n));
    return out + n;
  }
  for (int k = 0; k <= e || k < n; ++k) {
    if (k == e + 1) *out++ = '.';
    *out++ = k < n ? digits[k] : '0';
  }
  return out;
}

void print_nexus_dist_mat(const dist_mat_type &dist) {
  output_sink &out = current_output();
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
