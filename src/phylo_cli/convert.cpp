// phylo convert: reads distance matrices in any layout and shape, checks them, transforms
// them and writes them in the layout asked for.

#include "commands.hpp"
#include "dist_layouts.hpp"
#include "matrix_input.hpp"
#include "options.hpp"

#include "phylo/dist_check.hpp"
#include "phylo/distfunc.hpp"
#include "phylo/io.hpp"
#include "phylo/number.hpp"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace phylo_cli {
namespace {

using cli::arg_kind;
using cli::data_refused;
using cli::usage_error;
using phylo::distfunc::dist_conv_type;

const std::string help_text =
    std::string("Usage: phylo convert [OPTION]... [FILE]...\n"
                "Read the distance matrices of every FILE (standard input when there is none,\n"
                "or for \"-\"), and write them in one layout.\n"
                "\n") +
    std::string(matrix_layout_help) +
    std::string("  -t, --to=LAYOUT         relaxed (default), phylip, tsv, nexus-paup,\n"
                "                          nexus-paup-quoted, pairs, raw, phylip-lower,\n"
                "                          relaxed-lower, nexus, csv, pairs-header or mega\n"
                "  -x, --transform=NAME    none (default), arcsin, exp, neglog, square, range\n"
                "                          or sqrt\n"
                "  -c, --check[=TOLERANCE] refuse a matrix that is not symmetric within\n"
                "                          TOLERANCE (default 0), whose diagonal is not zero,\n"
                "                          or whose labels are equal or made equal by the\n"
                "                          output layout; without it these are warnings\n") +
    std::string(matrix_cells_help) +
    std::string("      --safe-labels       write blanks, control characters and ( ) [ ] : ; , '\n"
                "                          of labels as '_'\n"
                "      --digits=N          csv, pairs-header and mega output: N significant\n"
                "                          digits (1 to 9; default: the shortest that\n"
                "                          reads back)\n"
                "  -o, --output=FILE       write to FILE, which is replaced only when every\n"
                "                          input was converted\n"
                "  -q, --quiet             print no warnings\n"
                "  -h, --help              print this help and exit\n"
                "\n"
                "A phylip label is the first 10 characters of its row, a relaxed label a word\n"
                "of any length. With --from=auto the layout and the shape are recognised from\n"
                "the text; a text that can be read in two ways is refused, with a message that\n"
                "names the option that settles it.\n"
                "\n"
                "Transformations: arcsin Dij := arcsin(sqrt(Dij)), exp Dij := 1-exp(-Dij),\n"
                "neglog Dij := -log(1-Dij), square Dij := Dij^2, range Dij := Dij/max(D),\n"
                "sqrt Dij := sqrt(Dij).\n"
                "\n"
                "Exit status: 0 success, 1 a problem with the data or the files, 2 a mistake\n"
                "in the command line.\n");

constexpr cli::option_def own_defs[] = {
    {"to", 't', arg_kind::REQUIRED},     {"transform", 'x', arg_kind::REQUIRED}, {"check", 'c', arg_kind::OPTIONAL},
    {"output", 'o', arg_kind::REQUIRED}, {"quiet", 'q', arg_kind::NONE},         {"help", 'h', arg_kind::NONE},
    {"digits", 0, arg_kind::REQUIRED},   {"safe-labels", 0, arg_kind::NONE},
};
constexpr auto defs = with_matrix_input(own_defs);

struct settings {
  matrix_input_settings input;
  matrix_output out;
  std::optional<std::string> output;
  bool help = false;
  std::vector<std::string> inputs;
};

settings parse_settings(std::span<char *const> args) {
  settings s;
  cli::parsed_args parsed = cli::parse_options(args, defs);
  for (const cli::parsed_option &o : parsed.options) {
    const std::string_view name = o.def->long_name;
    if (take_matrix_input_option(s.input, o)) continue;
    if (take_output_option(s.out, o)) continue;
    if (name == "output") s.output = *o.value;
    else if (name == "help") s.help = true;
  }
  check_matrix_input_settings(s.input);
  s.inputs = std::move(parsed.operands);
  if (s.inputs.empty()) s.inputs.emplace_back("-");
  return s;
}

// Reads every matrix of one input, and writes each before the next is read.
void convert_input(const cli::reporter &report, phylo::input_source &in, const settings &s,
                   const std::vector<std::string> &taxa) {
  read_matrices(report, in, s.input, taxa, [&](phylo::dist_mat_access mat, const std::string &at) {
    write_finished_matrix(report, at, *mat, s.out);
  });
}

} // namespace

int run_convert(const cli::streams_type &streams, std::span<char *const> args) {
  settings s;
  return cli::run_subcommand(
      streams, "convert", help_text,
      [&] {
        s = parse_settings(args);
        return s.help;
      },
      [&] {
        return cli::run_with_output(streams, s.output, [&] {
          const std::vector<std::string> taxa = wanted_taxa(streams.report, s.input);
          for (const std::string &name : s.inputs) {
            cli::input_operand input(name, streams.standard_input);
            input.source().decompress_gzip();
            cli::refuse_cr_line_ends(streams.report, input.source(), true);
            convert_input(streams.report, input.source(), s, taxa);
          }
        });
      });
}

} // namespace phylo_cli
