#include "dist_layouts.hpp"

#include "phylo/csv.hpp"
#include "phylo/mega.hpp"
#include "phylo/nexus.hpp"
#include "phylo/pairs.hpp"
#include "phylo/phylip.hpp"

namespace phylo_cli {

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
