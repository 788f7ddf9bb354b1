#include "phylo/print.hpp"

#include "phylo/chars.hpp"
#include "phylo/io.hpp"

#include <cstring>

namespace phylo::print {
namespace {

// Writes text through `map`, fitted to w: cut to w characters or padded with blanks to w.
void write_fitted(output_sink &out, std::string_view text, const char_map_type *map, std::size_t w) {
  const std::size_t len = text.size() < w ? text.size() : w;
  char *p = out.reserve(w);
  if (map) {
    for (std::size_t i = 0; i < len; ++i) p[i] = (*map)(text[i]);
  } else {
    std::memcpy(p, text.data(), len);
  }
  std::memset(p + len, ' ', w - len);
  out.commit(p + w);
}

void write_enclosed(output_sink &out, std::string_view label, std::size_t w) {
  std::string quoted;
  quoted.reserve(label.size() + 2);
  quoted.push_back('\'');
  for (char c : label) quoted.push_back(c == '\'' ? '`' : c);
  quoted.push_back('\'');
  write_fitted(out, quoted, nullptr, w);
}

void write_line(output_sink &out, std::string_view text) {
  char *p = out.reserve(text.size() + 1);
  std::memcpy(p, text.data(), text.size());
  p[text.size()] = '\n';
  out.commit(p + text.size() + 1);
}

[[noreturn]] void bad_format(int value) {
  throw range_error("output format " + std::to_string(value) + " is not a layout");
}

constexpr std::string_view nexus_trailer = "\t;\n"
                                           "end;\n"
                                           "\n"
                                           "begin paup;\n"
                                           "\tset torder=left tcompress taxlabels=full outroot=monophyl\n"
                                           "\t\tautoclose maxtrees=1000 increase=auto autoinc=1000\n"
                                           "\t\tstoretreewts storebrlens rootmethod=outgroup\n"
                                           "\t\twarnroot=no;\n"
                                           "\tdefaults nj bionj breakties=random;\n"
                                           "\tdefaults upgma bionj breakties=random;\n"
                                           "\tdefaults contree grpfreq=no;\n"
                                           "\tdefaults hsearch addseq=random;\n"
                                           "\tdefaults savedist triangle=both;\n"
                                           "end;\n"
                                           "\n";

// One row: the label as print_label writes it, then a tab and the image of every cell.
void write_row(output_sink &out, const dist_mat_type &dist, std::size_t i, dist_format_type format,
               std::size_t w) {
  print_label(dist.labels[i], format, w);
  const std::size_t n = dist.n_tax();
  const float *row = dist.distances.row(i);
  char *p = out.reserve(n * (number_image_size + 1) + 1);
  for (std::size_t j = 0; j < n; ++j) {
    *p++ = '\t';
    p = write_number_image(row[j], p);
  }
  *p++ = '\n';
  out.commit(p);
}

} // namespace

std::string to_nexus_label(std::string_view label) {
  std::size_t first = 0, last = label.size();
  while (first < last && non_nexus_label_set.contains(label[first])) ++first;
  while (last > first && non_nexus_label_set.contains(label[last - 1])) --last;
  return apply(nexus_label_map, label.substr(first, last - first));
}

std::size_t max_label_length(const tax_lab_type &labels) {
  std::size_t longest = 1;
  for (std::size_t i = 0; i < labels.size(); ++i) {
    if (labels[i].empty()) throw range_error("label " + std::to_string(i + 1) + " is empty");
    if (labels[i].size() > longest) longest = labels[i].size();
  }
  return longest;
}

void print_label(std::string_view label, dist_format_type format, std::size_t width) {
  output_sink &out = current_output();
  switch (format) {
  case dist_format_type::PHYLIP:
    return write_fitted(out, label, nullptr, 10);
  case dist_format_type::EXTENDED_PHYLIP:
    return write_fitted(out, label, &no_space, width);
  case dist_format_type::NEXUS:
    return write_fitted(out, to_nexus_label(label), nullptr, width);
  case dist_format_type::NEXUS_ENCLOSED:
    return write_enclosed(out, label, width);
  case dist_format_type::TAB:
  case dist_format_type::ONE_COLUMN:
  case dist_format_type::RAW:
    return out.write(label);
  }
  bad_format(static_cast<int>(format));
}

void print_label(std::string_view label, char_format_type format, std::size_t width) {
  switch (format) {
  case char_format_type::PHYLIP:
    return print_label(label, dist_format_type::PHYLIP, width);
  case char_format_type::EXTENDED_PHYLIP:
  case char_format_type::COMMENTED_PHYLIP:
    return print_label(label, dist_format_type::EXTENDED_PHYLIP, width);
  case char_format_type::NEXUS:
    return print_label(label, dist_format_type::NEXUS, width);
  case char_format_type::NEXUS_ENCLOSED:
    return print_label(label, dist_format_type::NEXUS_ENCLOSED, width);
  }
  bad_format(static_cast<int>(format));
}

void print_dist_mat(const dist_mat_type &dist, dist_format_type format) {
  std::size_t w = 0;
  switch (format) {
  case dist_format_type::PHYLIP:
    w = 10;
    break;
  case dist_format_type::EXTENDED_PHYLIP:
  case dist_format_type::TAB:
  case dist_format_type::NEXUS:
  case dist_format_type::RAW:
    w = max_label_length(dist.labels);
    break;
  case dist_format_type::NEXUS_ENCLOSED:
    w = max_label_length(dist.labels) + 2;
    break;
  case dist_format_type::ONE_COLUMN:
    break;
  default:
    bad_format(static_cast<int>(format));
  }

  output_sink &out = current_output();
  const std::size_t n = dist.n_tax();
  switch (format) {
  case dist_format_type::PHYLIP:
  case dist_format_type::EXTENDED_PHYLIP:
    write_line(out, integer_image(static_cast<long long>(n)));
    break;
  case dist_format_type::TAB:
    for (std::size_t i = 0; i < n; ++i) {
      out.put('\t');
      out.write(dist.labels[i]);
    }
    out.put('\n');
    break;
  case dist_format_type::NEXUS:
  case dist_format_type::NEXUS_ENCLOSED:
    out.write("#NEXUS\n\nbegin distances;\n\tdimensions newtaxa ntax=");
    out.write(integer_image(static_cast<long long>(n)));
    out.write(";\n\tformat triangle=both labels;\n\tmatrix\n");
    break;
  default:
    break;
  }

  if (format == dist_format_type::ONE_COLUMN) {
    for (std::size_t i = 1; i < n; ++i) {
      const float *row = dist.distances.row(i);
      for (std::size_t j = 0; j < i; ++j) {
        out.write(dist.labels[i]);
        out.put('\t');
        out.write(dist.labels[j]);
        char *p = out.reserve(number_image_size + 2);
        *p++ = '\t';
        p = write_number_image(row[j], p);
        *p++ = '\n';
        out.commit(p);
      }
    }
    return;
  }

  for (std::size_t i = 0; i < n; ++i) write_row(out, dist, i, format, w);
  if (format == dist_format_type::NEXUS || format == dist_format_type::NEXUS_ENCLOSED) out.write(nexus_trailer);
}

} // namespace phylo::print
