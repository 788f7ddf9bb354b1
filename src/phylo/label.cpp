// Taxon labels: the label reader of every strict layout, the label writers, and the forms in
// which layouts write labels.
#include "phylo/label.hpp"

#include "line_input.hpp"
#include "phylo/chars.hpp"
#include "phylo/io.hpp"
#include "phylo/text.hpp"

#include <cstring>

namespace phylo::read {

std::string read_label(label_format_type format) { return read_label(current_input(), format); }

std::string read_label(input_source &in, label_format_type format) {
  std::string label;
  auto word = [&](const char_set_type &delimiters, std::string *keep) {
    if (!detail::take_word(in, {delimiters, true, true}, keep))
      detail::fail_at<end_of_input>(in, "the input ends where a word was expected");
  };
  switch (format) {
  case label_format_type::PHYLIP: detail::take_phylip_label(in, false, label); return label;
  case label_format_type::EXTENDED_PHYLIP: word(whitespace, &label); return label;
  case label_format_type::COMMENTED_PHYLIP:
    word(whitespace, &label);
    word(whitespace, nullptr);
    return label;
  case label_format_type::TAB_SEPARATED: word(controlchr, &label); return label;
  }
  throw range_error("label format " + std::to_string(static_cast<int>(format)) + " is not a layout");
}

} // namespace phylo::read

namespace phylo::print {
namespace {

// Writes text through `map`, fitted to w: cut to w characters or padded with blanks to w.
void write_fitted(output_sink &out, std::string_view text, const char_map_type *map, std::size_t w) {
  const std::size_t len = text.size() < w ? text.size() : w;
  char *p = out.reserve(w);
  if (map) {
    for (std::size_t i = 0; i < len; ++i) p[i] = (*map)(text[i]);
  } else if (len > 0) {
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

[[noreturn]] void bad_format(int value) {
  throw range_error("output format " + std::to_string(value) + " is not a layout");
}

} // namespace

std::string to_nexus_label(std::string_view label) {
  return phylo::apply(nexus_label_map, text::trim(label, non_nexus_label_set));
}

std::string to_quoted_nexus_label(std::string_view label) {
  bool bare = !label.empty();
  for (char c : label)
    if (!nexus_label_set.contains(c) || c == '_' || static_cast<unsigned char>(c) >= 128) bare = false;
  if (bare) return std::string(label);
  std::string quoted = "'";
  for (char c : label) {
    quoted.push_back(c);
    if (c == '\'') quoted.push_back('\'');
  }
  quoted.push_back('\'');
  return quoted;
}

std::size_t max_label_length(const tax_lab_type &labels) {
  std::size_t longest = 1;
  for (std::size_t i = 0; i < labels.size(); ++i) {
    if (labels[i].empty()) throw range_error("label " + std::to_string(i + 1) + " is empty");
    if (labels[i].size() > longest) longest = labels[i].size();
  }
  return longest;
}

std::size_t max_label_length(const sequence_vecs &sequences) {
  std::size_t longest = 1;
  for (std::size_t i = 0; i < sequences.size(); ++i) {
    const std::string &label = sequences[i].label;
    if (label.empty()) throw range_error("the label of sequence " + std::to_string(i + 1) + " is empty");
    if (label.size() > longest) longest = label.size();
  }
  return longest;
}

void print_label(std::string_view label, dist_format_type format, std::size_t width) {
  print_label(current_output(), label, format, width);
}

void print_label(std::string_view label, char_format_type format, std::size_t width) {
  print_label(current_output(), label, format, width);
}

void print_label(output_sink &out, std::string_view label, dist_format_type format, std::size_t width) {
  switch (format) {
  case dist_format_type::PHYLIP: return write_fitted(out, label, nullptr, 10);
  case dist_format_type::EXTENDED_PHYLIP: return write_fitted(out, label, &no_space, width);
  case dist_format_type::NEXUS: return write_fitted(out, to_nexus_label(label), nullptr, width);
  case dist_format_type::NEXUS_ENCLOSED: return write_enclosed(out, label, width);
  case dist_format_type::TAB:
  case dist_format_type::ONE_COLUMN:
  case dist_format_type::RAW: return out.write(label);
  }
  bad_format(static_cast<int>(format));
}

void print_label(output_sink &out, std::string_view label, char_format_type format, std::size_t width) {
  switch (format) {
  case char_format_type::PHYLIP: return print_label(out, label, dist_format_type::PHYLIP, width);
  case char_format_type::EXTENDED_PHYLIP:
  case char_format_type::COMMENTED_PHYLIP: return print_label(out, label, dist_format_type::EXTENDED_PHYLIP, width);
  case char_format_type::NEXUS: return print_label(out, label, dist_format_type::NEXUS, width);
  case char_format_type::NEXUS_ENCLOSED: return print_label(out, label, dist_format_type::NEXUS_ENCLOSED, width);
  }
  bad_format(static_cast<int>(format));
}

} // namespace phylo::print

namespace phylo {

std::string_view trim_phylip_label(std::string_view label) noexcept {
  return text::trim(label, char_set_type::of(" "));
}

std::string label_as_written(std::string_view label, label_form_type form) {
  switch (form) {
  case label_form_type::AS_STORED:
  case label_form_type::CELL:
  case label_form_type::NEXUS_QUOTED: return std::string(label);
  case label_form_type::PHYLIP: return std::string(trim_phylip_label(label.substr(0, 10)));
  case label_form_type::NO_BLANK: return phylo::apply(no_space, label);
  case label_form_type::NEXUS_CLEANED: return print::to_nexus_label(label);
  case label_form_type::NEXUS_ENCLOSED: return phylo::apply(char_map_type::from_strings("'", "`"), label);
  case label_form_type::TREE_SAFE: return phylo::apply(tree_safe_label_map, label);
  case label_form_type::TREE_SAFE_PHYLIP: return phylo::apply(tree_safe_label_map, label.substr(0, 10));
  }
  return std::string(label);
}

std::string label_as_compared(std::string_view label, label_form_type form) {
  std::string out = label_as_written(label, form);
  if (form == label_form_type::NEXUS_CLEANED || form == label_form_type::NEXUS_ENCLOSED ||
      form == label_form_type::NEXUS_QUOTED)
    apply_in_place(ascii_upper_map, out);
  return out;
}

} // namespace phylo
