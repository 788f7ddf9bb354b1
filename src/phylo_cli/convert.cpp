// phylo convert: reads distance matrices in any layout and shape, checks them, transforms
// them and writes them in the layout asked for.

#include "commands.hpp"
#include "dist_layouts.hpp"
#include "options.hpp"

#include "phylo/dist_check.hpp"
#include "phylo/distfunc.hpp"
#include "phylo/io.hpp"
#include "phylo/phylip.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>

namespace phylo_cli {
namespace {

using cli::arg_kind;
using cli::data_refused;
using cli::usage_error;
using phylo::dist_format_type;
using phylo::label_form_type;
using phylo::distfunc::dist_conv_type;
using phylo::read::dist_layout_type;
using phylo::read::dist_shape_type;

// phylo is not bound by karvel's 5000 taxa: a matrix may be as large as memory allows.
constexpr std::size_t any_taxa = std::numeric_limits<std::int32_t>::max();

constexpr std::string_view help_text =
    "Usage: phylo convert [OPTION]... [FILE]...\n"
    "Read the distance matrices of every FILE (standard input when there is none,\n"
    "or for \"-\"), and write them in one layout.\n"
    "\n"
    "  -f, --from=LAYOUT       auto (default), phylip, relaxed, tsv or nexus\n"
    "  -s, --shape=SHAPE       auto (default), square, lower, lower-diagonal, upper\n"
    "                          or upper-diagonal: the cells that the rows of a\n"
    "                          phylip, relaxed or tsv matrix hold\n"
    "  -t, --to=LAYOUT         relaxed (default), phylip, tsv, nexus-paup,\n"
    "                          nexus-paup-quoted, pairs, raw, phylip-lower,\n"
    "                          relaxed-lower or nexus\n"
    "  -x, --transform=NAME    none (default), arcsin, exp, neglog, square, range\n"
    "                          or sqrt\n"
    "  -c, --check[=TOLERANCE] refuse a matrix that is not symmetric within\n"
    "                          TOLERANCE (default 0), whose diagonal is not zero,\n"
    "                          or whose labels are equal or made equal by the\n"
    "                          output layout; without it these are warnings\n"
    "  -S, --symmetrize=HOW    make the matrix symmetric from its lower or upper\n"
    "                          triangle, or from the mean of both: lower, upper,\n"
    "                          mean\n"
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
    "in the command line.\n";

constexpr cli::option_def defs[] = {
    {"from", 'f', arg_kind::REQUIRED},      {"shape", 's', arg_kind::REQUIRED}, {"to", 't', arg_kind::REQUIRED},
    {"transform", 'x', arg_kind::REQUIRED}, {"check", 'c', arg_kind::OPTIONAL}, {"symmetrize", 'S', arg_kind::REQUIRED},
    {"output", 'o', arg_kind::REQUIRED},    {"quiet", 'q', arg_kind::NONE},     {"help", 'h', arg_kind::NONE},
};

constexpr named<dist_layout_type> input_layouts[] = {
    {"auto", dist_layout_type::AUTO}, {"phylip", dist_layout_type::PHYLIP}, {"relaxed", dist_layout_type::RELAXED},
    {"tsv", dist_layout_type::TSV},   {"nexus", dist_layout_type::NEXUS},
};
constexpr named<dist_shape_type> shapes[] = {
    {"auto", dist_shape_type::AUTO},   {"square", dist_shape_type::SQUARE},
    {"lower", dist_shape_type::LOWER}, {"lower-diagonal", dist_shape_type::LOWER_DIAGONAL},
    {"upper", dist_shape_type::UPPER}, {"upper-diagonal", dist_shape_type::UPPER_DIAGONAL},
};
constexpr named<phylo::symmetrize_type> symmetrizers[] = {
    {"lower", phylo::symmetrize_type::LOWER},
    {"upper", phylo::symmetrize_type::UPPER},
    {"mean", phylo::symmetrize_type::MEAN},
};

struct settings {
  dist_layout_type from = dist_layout_type::AUTO;
  dist_shape_type shape = dist_shape_type::AUTO;
  const output_layout *to = &output_layouts[0];
  dist_conv_type transform = dist_conv_type::NONE;
  std::optional<float> check; // the tolerance, when checks refuse
  std::optional<phylo::symmetrize_type> symmetrize;
  std::optional<std::string> output;
  bool quiet = false;
  bool help = false;
  std::vector<std::string> inputs;
};

float parse_tolerance(const std::string &text) {
  float v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !(v >= 0.0f) || std::isinf(v))
    throw usage_error{"--check=" + text + ": the tolerance must be a number of at least 0"};
  return v;
}

settings parse_settings(std::span<char *const> args) {
  settings s;
  cli::parsed_args parsed = cli::parse_options(args, defs);
  for (const cli::parsed_option &o : parsed.options) {
    const std::string_view name = o.def->long_name;
    if (name == "from") s.from = pick(input_layouts, name, *o.value)->value;
    else if (name == "shape") s.shape = pick(shapes, name, *o.value)->value;
    else if (name == "to") s.to = pick(output_layouts, name, *o.value);
    else if (name == "transform") s.transform = pick(transforms, name, *o.value)->value;
    else if (name == "check") s.check = o.value ? parse_tolerance(*o.value) : 0.0f;
    else if (name == "symmetrize") s.symmetrize = pick(symmetrizers, name, *o.value)->value;
    else if (name == "output") s.output = *o.value;
    else if (name == "quiet") s.quiet = true;
    else if (name == "help") s.help = true;
  }
  if (s.shape != dist_shape_type::AUTO && (s.from == dist_layout_type::NEXUS))
    throw usage_error{"--shape is for phylip, relaxed and tsv input; a NEXUS matrix states its own shape"};
  s.inputs = std::move(parsed.operands);
  if (s.inputs.empty()) s.inputs.emplace_back("-");
  return s;
}

std::string place(const std::string &name, std::size_t line) { return name + ":" + std::to_string(line) + ": "; }

// The reason why a text could not be read, and, when an option settles it, which.
std::string refusal(const phylo::error &e) {
  std::string text = e.what();
  if (const auto *undecided = dynamic_cast<const phylo::read::undecided_error *>(&e)) {
    switch (undecided->reason) {
    case phylo::read::undecided_type::LAYOUT: text += "; say --from=phylip, relaxed, tsv or nexus"; break;
    case phylo::read::undecided_type::LABELS: text += "; say --from=phylip or --from=relaxed"; break;
    case phylo::read::undecided_type::SHAPE:
      text += "; say --shape=" + std::string(phylo::read::shape_name(undecided->shapes[0])) +
              " or --shape=" + std::string(phylo::read::shape_name(undecided->shapes[1]));
      break;
    }
  }
  return text;
}

// Reads every matrix of one input, and writes each before the next is read.
void convert_input(const cli::reporter &report, phylo::input_source &in, const settings &s) {
  phylo::read::dist_reader reader(in, {s.from, s.shape, any_taxa});
  std::size_t count = 0;
  for (;;) {
    phylo::dist_mat_access mat;
    try {
      mat = reader.next();
    } catch (const phylo::format_error &e) {
      report((e.where() ? place(in.name(), e.where()->line) : in.name() + ": ") + refusal(e));
      throw data_refused{};
    } catch (const phylo::range_error &e) {
      report((e.where() ? place(in.name(), e.where()->line) : in.name() + ": ") + refusal(e));
      throw data_refused{};
    }
    if (!mat) break;
    ++count;
    const std::string at = place(in.name(), reader.matrix_line());
    if (s.symmetrize) phylo::symmetrize_dist(*mat, *s.symmetrize);
    const auto findings = phylo::check_dist_mat(*mat, s.check.value_or(0.0f), s.to->labels);
    if (s.check && !findings.empty()) {
      for (const auto &f : findings) report(at + f.message);
      throw data_refused{};
    }
    if (!s.quiet)
      for (const auto &f : findings) report(at + "warning: " + f.message);
    try {
      phylo::distfunc::convert_dist(*mat, s.transform);
    } catch (const phylo::error &e) {
      report(at + "the transformation fails: " + e.what());
      throw data_refused{};
    }
    write_matrix(*mat, *s.to);
  }
  if (count == 0) {
    report(in.name() + ": holds no distance matrix");
    throw data_refused{};
  }
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
          for (const std::string &name : s.inputs) {
            cli::input_operand input(name, streams.standard_input);
            cli::refuse_cr_line_ends(streams.report, input.source(), true);
            convert_input(streams.report, input.source(), s);
          }
        });
      });
}

} // namespace phylo_cli
