// What the subcommands that write distance matrices share: the names of the output layouts
// and of the transformations as --to= and --transform= take them, and the writer of a layout.
#pragma once

#include "options.hpp"
#include "shell.hpp"

#include "phylo/dist_check.hpp"
#include "phylo/distfunc.hpp"
#include "phylo/label.hpp"
#include "phylo/types.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace phylo_cli {

using cli::named;
using cli::pick;

// Which writer a layout uses: print_dist_mat, print_lower_dist_mat or print_nexus_dist_mat.
enum class writer_type { KARVEL, LOWER, NEXUS, CSV, PAIRS_HEADER, MEGA };

struct output_layout {
  std::string_view name;
  writer_type writer;
  phylo::dist_format_type format;
};

inline constexpr output_layout output_layouts[] = {
    {"relaxed", writer_type::KARVEL, phylo::dist_format_type::EXTENDED_PHYLIP},
    {"phylip", writer_type::KARVEL, phylo::dist_format_type::PHYLIP},
    {"tsv", writer_type::KARVEL, phylo::dist_format_type::TAB},
    {"nexus-paup", writer_type::KARVEL, phylo::dist_format_type::NEXUS},
    {"nexus-paup-quoted", writer_type::KARVEL, phylo::dist_format_type::NEXUS_ENCLOSED},
    {"pairs", writer_type::KARVEL, phylo::dist_format_type::ONE_COLUMN},
    {"raw", writer_type::KARVEL, phylo::dist_format_type::RAW},
    {"phylip-lower", writer_type::LOWER, phylo::dist_format_type::PHYLIP},
    {"relaxed-lower", writer_type::LOWER, phylo::dist_format_type::EXTENDED_PHYLIP},
    {"nexus", writer_type::NEXUS, phylo::dist_format_type::NEXUS},
    {"csv", writer_type::CSV, phylo::dist_format_type::TAB},
    {"pairs-header", writer_type::PAIRS_HEADER, phylo::dist_format_type::ONE_COLUMN},
    {"mega", writer_type::MEGA, phylo::dist_format_type::ONE_COLUMN},
};

inline constexpr named<phylo::distfunc::dist_conv_type> transforms[] = {
    {"none", phylo::distfunc::dist_conv_type::NONE},        {"arcsin", phylo::distfunc::dist_conv_type::ARCSIN},
    {"exp", phylo::distfunc::dist_conv_type::EXP},          {"neglog", phylo::distfunc::dist_conv_type::NEG_LOG},
    {"square", phylo::distfunc::dist_conv_type::SQUARE},    {"range", phylo::distfunc::dist_conv_type::RANGING},
    {"sqrt", phylo::distfunc::dist_conv_type::SQUARE_ROOT},
};

// How the layout's writer writes a label, for the label checks.
phylo::label_form_type label_form(const output_layout &to) noexcept;

// Writes the whole matrix in the layout; csv, pairs-header and mega with `digits` significant
// digits (0: the shortest that reads back). Without a sink, on the current output.
void write_matrix(phylo::output_sink &out, const phylo::dist_mat_type &mat, const output_layout &to, int digits = 0);
void write_matrix(const phylo::dist_mat_type &mat, const output_layout &to, int digits = 0);

// Reports what the checks found in a matrix about to be written, each message after `place`:
// every finding as an error when `refuse` is set, a label that would break the layout's rows
// always; the others as warnings, unless `quiet`. A label that --safe-labels would mend says
// so, unless `mend_hint` is false (a layout that mends labels itself). data_refused after any
// error.
void report_findings(const cli::reporter &report, const std::string &place,
                     const std::vector<phylo::dist_finding_type> &findings, bool refuse, bool quiet,
                     bool mend_hint = true);

// What a command that writes matrices does with each matrix, and the options that say it.
struct matrix_output {
  const output_layout *to = &output_layouts[0];
  phylo::distfunc::dist_conv_type transform = phylo::distfunc::dist_conv_type::NONE;
  std::optional<float> check; // the tolerance, when the checks refuse
  bool safe_labels = false;
  bool quiet = false;
  int digits = 0;
};

// Takes the option `name` into `out` when it is one of matrix_output's (to, transform,
// check, safe-labels, quiet, digits); false otherwise.
bool take_output_option(matrix_output &out, const cli::parsed_option &o);

// Writes one matrix as every such command does, in this order: its labels made safe
// (--safe-labels), the checks (their findings reported, refused under --check), the
// transformation, the writer. data_refused when the checks refuse or the transformation fails.
void write_finished_matrix(const cli::reporter &report, const std::string &place, phylo::dist_mat_type &mat,
                           const matrix_output &out);

} // namespace phylo_cli
