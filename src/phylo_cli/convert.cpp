// phylo convert: reads distance matrices in any layout and shape, checks them, transforms
// them and writes them in the layout asked for.

#include "char_input.hpp"
#include "commands.hpp"
#include "dist_layouts.hpp"
#include "options.hpp"

#include "phylo/dist_check.hpp"
#include "phylo/dist_print.hpp"
#include "phylo/dist_read.hpp"
#include "phylo/distfunc.hpp"
#include "phylo/io.hpp"
#include "phylo/print.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace phylo_cli {
namespace {

using phylo::dist_format_type;
using phylo::label_form_type;
using phylo::distfunc::dist_conv_type;
using phylo::read::dist_layout_type;
using phylo::read::dist_shape_type;

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

constexpr phylo_cli::option_def defs[] = {
    {"from", 'f', arg_kind::REQUIRED},      {"shape", 's', arg_kind::REQUIRED},
    {"to", 't', arg_kind::REQUIRED},        {"transform", 'x', arg_kind::REQUIRED},
    {"check", 'c', arg_kind::OPTIONAL},     {"symmetrize", 'S', arg_kind::REQUIRED},
    {"output", 'o', arg_kind::REQUIRED},    {"quiet", 'q', arg_kind::NONE},
    {"help", 'h', arg_kind::NONE},
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
  parsed_args parsed = parse_options(args, defs);
  for (const parsed_option &o : parsed.options) {
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

std::string place(const phylo::read::dist_text_type &t, std::size_t line) {
  return t.name + ":" + std::to_string(line) + ": ";
}

// Reads every matrix of one input, and writes each before the next is read.
void convert_text(phylo::read::dist_text_type &t, const settings &s) {
  std::size_t count = 0;
  while (phylo::dist_mat_access mat = phylo::read::read_dist_text(t)) {
    ++count;
    if (s.symmetrize) phylo::symmetrize_dist(*mat, *s.symmetrize);
    const auto findings = phylo::check_dist_mat(*mat, s.check.value_or(0.0f), s.to->labels);
    if (s.check && !findings.empty()) {
      for (const auto &f : findings) report(place(t, t.matrix_line) + f.message);
      throw data_refused{};
    }
    if (!s.quiet)
      for (const auto &f : findings) report(place(t, t.matrix_line) + "warning: " + f.message);
    try {
      phylo::distfunc::convert_dist(*mat, s.transform);
    } catch (const phylo::error &e) {
      report(place(t, t.matrix_line) + "the transformation fails: " + e.what());
      throw data_refused{};
    }
    write_matrix(*mat, *s.to);
  }
  if (count == 0) {
    report(t.name + ": holds no distance matrix");
    throw data_refused{};
  }
}

void convert_inputs(const settings &s) {
  phylo::input_source standard_input = phylo::input_source::from_fd(0, "standard input");
  for (const std::string &name : s.inputs) {
    phylo::read::dist_text_type t;
    t.layout = s.from;
    t.shape = s.shape;
    if (name == "-") {
      phylo::scoped_input use(standard_input);
      t.name = "standard input";
      t.text = phylo::read::read_whole_input();
    } else {
      phylo::input_source file = phylo::input_source::open_file(name);
      phylo::scoped_input use(file);
      t.name = name;
      t.text = phylo::read::read_whole_input();
    }
    try {
      convert_text(t, s);
    } catch (const phylo::format_error &e) {
      report(place(t, t.line) + e.what());
      throw data_refused{};
    } catch (const phylo::range_error &e) {
      report(place(t, t.line) + e.what());
      throw data_refused{};
    }
  }
}

} // namespace

int run_convert(std::span<char *const> args) {
  settings s;
  try {
    s = parse_settings(args);
  } catch (const usage_error &e) {
    report("convert: " + e.message + "\nTry 'phylo convert --help' for more information.");
    return 2;
  }
  if (s.help) {
    std::fwrite(help_text.data(), 1, help_text.size(), stdout);
    return 0;
  }
  return run_with_output(s.output, [&] { convert_inputs(s); });
}

} // namespace phylo_cli
