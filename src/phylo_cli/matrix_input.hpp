// What the subcommands that read distance matrices share (phylo convert, phylo tree): the
// options that say how a text is read and which cells and taxa are kept, their lines of --help,
// and the reading of every matrix of an input with messages that name the file and the line.
#pragma once

#include "options.hpp"
#include "shell.hpp"

#include "phylo/dist_check.hpp"
#include "phylo/io.hpp"
#include "phylo/phylip.hpp"
#include "phylo/types.hpp"

#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace phylo_cli {

// The names of the matrix input options' values, as --from, --shape and --symmetrize take them.
inline constexpr cli::named<phylo::read::dist_layout_type> input_layouts[] = {
    {"auto", phylo::read::dist_layout_type::AUTO},       {"phylip", phylo::read::dist_layout_type::PHYLIP},
    {"relaxed", phylo::read::dist_layout_type::RELAXED}, {"tsv", phylo::read::dist_layout_type::TSV},
    {"nexus", phylo::read::dist_layout_type::NEXUS},     {"csv", phylo::read::dist_layout_type::CSV},
    {"pairs", phylo::read::dist_layout_type::PAIRS},     {"mega", phylo::read::dist_layout_type::MEGA},
};
inline constexpr cli::named<phylo::read::dist_shape_type> shapes[] = {
    {"auto", phylo::read::dist_shape_type::AUTO},   {"square", phylo::read::dist_shape_type::SQUARE},
    {"lower", phylo::read::dist_shape_type::LOWER}, {"lower-diagonal", phylo::read::dist_shape_type::LOWER_DIAGONAL},
    {"upper", phylo::read::dist_shape_type::UPPER}, {"upper-diagonal", phylo::read::dist_shape_type::UPPER_DIAGONAL},
};
inline constexpr cli::named<phylo::symmetrize_type> symmetrizers[] = {
    {"lower", phylo::symmetrize_type::LOWER},
    {"upper", phylo::symmetrize_type::UPPER},
    {"mean", phylo::symmetrize_type::MEAN},
};

enum class similarity_type { FRACTION, PERCENT };

struct matrix_input_settings {
  phylo::read::dist_layout_type from = phylo::read::dist_layout_type::AUTO;
  phylo::read::dist_shape_type shape = phylo::read::dist_shape_type::AUTO;
  std::optional<phylo::symmetrize_type> symmetrize;
  std::size_t column = 3;
  std::optional<float> fill;
  std::optional<similarity_type> similarity;
  std::optional<std::string> taxa, taxa_file;
};

// The options: --from, --shape, --symmetrize, --column, --fill, --similarity, --taxa and
// --taxa-file.
inline constexpr cli::option_def matrix_input_defs[] = {
    {"from", 'f', cli::arg_kind::REQUIRED},       {"shape", 's', cli::arg_kind::REQUIRED},
    {"symmetrize", 'S', cli::arg_kind::REQUIRED}, {"column", 0, cli::arg_kind::REQUIRED},
    {"fill", 0, cli::arg_kind::REQUIRED},         {"similarity", 0, cli::arg_kind::REQUIRED},
    {"taxa", 0, cli::arg_kind::REQUIRED},         {"taxa-file", 0, cli::arg_kind::REQUIRED},
};

// A subcommand's own options followed by those above, for parse_options.
template <std::size_t N> constexpr auto with_matrix_input(const cli::option_def (&own)[N]) {
  std::array<cli::option_def, N + std::size(matrix_input_defs)> all{};
  for (std::size_t k = 0; k < N; ++k) all[k] = own[k];
  for (std::size_t k = 0; k < std::size(matrix_input_defs); ++k) all[N + k] = matrix_input_defs[k];
  return all;
}

// The lines of --help for --from and --shape, and for the others, in the layout of phylo's help.
extern const std::string_view matrix_layout_help;
extern const std::string_view matrix_cells_help;

// Takes an option of matrix_input_defs into the settings; false for any other option.
// usage_error for a value that is not accepted.
bool take_matrix_input_option(matrix_input_settings &s, const cli::parsed_option &o);
// A whole number from low to high given to --OPTION; usage_error otherwise.
int parse_count(std::string_view option, const std::string &text, int low, int high);
// The value of --threads: 1 to 4096; usage_error otherwise.
unsigned thread_count(const std::string &value);
// usage_error for settings that exclude each other.
void check_matrix_input_settings(const matrix_input_settings &s);

// The labels of --taxa or --taxa-file (empty without them); reported and data_refused when the
// file cannot be read.
std::vector<std::string> wanted_taxa(const cli::reporter &report, const matrix_input_settings &s);

// Reads every matrix of one input (data_refused, reported, when a text cannot be read or holds
// no matrix), turns similarities into distances, keeps the taxa asked for and makes it symmetric
// as asked, and hands each matrix with the place where it begins to `take` before the next is
// read.
void read_matrices(const cli::reporter &report, phylo::input_source &in, const matrix_input_settings &s,
                   const std::vector<std::string> &taxa,
                   const std::function<void(phylo::dist_mat_access, const std::string &at)> &take);

} // namespace phylo_cli
