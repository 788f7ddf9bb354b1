#include "dist_layouts.hpp"

#include "matrix_input.hpp"

#include "phylo/csv.hpp"
#include "phylo/mega.hpp"
#include "phylo/nexus.hpp"
#include "phylo/pairs.hpp"
#include "phylo/phylip.hpp"

#include <charconv>
#include <cmath>

namespace phylo_cli {
namespace {

float parse_tolerance(const std::string &text) {
  float v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !(v >= 0.0f) || std::isinf(v))
    throw cli::usage_error{"--check=" + text + ": the tolerance must be a number of at least 0"};
  return v;
}

} // namespace

void write_matrix(const phylo::dist_mat_type &mat, const output_layout &to, int digits) {
  write_matrix(phylo::current_output(), mat, to, digits);
}

void write_matrix(phylo::output_sink &out, const phylo::dist_mat_type &mat, const output_layout &to, int digits) {
  switch (to.writer) {
  case writer_type::KARVEL: return phylo::print::print_dist_mat(out, mat, to.format);
  case writer_type::LOWER: return phylo::print::print_lower_dist_mat(out, mat, to.format);
  case writer_type::NEXUS: return phylo::print::print_nexus_dist_mat(out, mat);
  case writer_type::CSV: return phylo::print::print_csv_dist_mat(out, mat, digits);
  case writer_type::PAIRS_HEADER: return phylo::print::print_pairs_dist_mat(out, mat, digits);
  case writer_type::MEGA: return phylo::print::print_mega_dist_mat(out, mat, digits);
  }
}

phylo::label_form_type label_form(const output_layout &to) noexcept {
  switch (to.writer) {
  case writer_type::KARVEL:
  case writer_type::LOWER: break;
  case writer_type::NEXUS: return phylo::print::nexus_label_form;
  case writer_type::CSV: return phylo::print::csv_label_form;
  case writer_type::PAIRS_HEADER: return phylo::print::pairs_label_form;
  case writer_type::MEGA: return phylo::print::mega_label_form;
  }
  return phylo::print::label_form(to.format);
}

bool take_output_option(matrix_output &out, const cli::parsed_option &o) {
  const std::string_view name = o.def->long_name;
  const std::optional<std::string> &value = o.value;
  if (name == "to") out.to = pick(output_layouts, name, *value);
  else if (name == "transform") out.transform = pick(transforms, name, *value)->value;
  else if (name == "check") out.check = value ? parse_tolerance(*value) : 0.0f;
  else if (name == "safe-labels") out.safe_labels = true;
  else if (name == "quiet") out.quiet = true;
  else if (name == "digits") out.digits = parse_count(name, *value, 1, 9);
  else return false;
  return true;
}

void write_finished_matrix(const cli::reporter &report, const std::string &place, phylo::dist_mat_type &mat,
                           const matrix_output &out) {
  if (out.safe_labels) phylo::make_labels_safe(mat);
  report_findings(report, place, phylo::check_dist_mat(mat, out.check.value_or(0.0f), label_form(*out.to)),
                  out.check.has_value(), out.quiet);
  try {
    phylo::distfunc::convert_dist(mat, out.transform);
  } catch (const phylo::error &e) {
    report(place + "the transformation fails: " + e.what());
    throw cli::data_refused{};
  }
  write_matrix(mat, *out.to, out.digits);
}

void report_findings(const cli::reporter &report, const std::string &place,
                     const std::vector<phylo::dist_finding_type> &findings, bool refuse, bool quiet, bool mend_hint) {
  using phylo::finding_kind_type;
  bool refused = false;
  for (const auto &f : findings) {
    const bool fatal = refuse || f.kind == finding_kind_type::BROKEN_LABEL;
    if (quiet && !fatal) continue;
    const bool safe_labels_mend =
        mend_hint && (f.kind == finding_kind_type::UNSAFE_LABEL || f.kind == finding_kind_type::BROKEN_LABEL);
    report(place + (fatal ? "" : "warning: ") + f.message +
           (safe_labels_mend ? "; say --safe-labels to write them as '_'" : ""));
    refused = refused || fatal;
  }
  if (refused) throw cli::data_refused{};
}

} // namespace phylo_cli
