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
#include <vector>

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
    "  -f, --from=LAYOUT       auto (default), phylip, relaxed, tsv, nexus, csv,\n"
    "                          pairs or mega\n"
    "  -s, --shape=SHAPE       auto (default), square, lower, lower-diagonal, upper\n"
    "                          or upper-diagonal: the cells that the rows of a\n"
    "                          phylip, relaxed or tsv matrix hold\n"
    "  -t, --to=LAYOUT         relaxed (default), phylip, tsv, nexus-paup,\n"
    "                          nexus-paup-quoted, pairs, raw, phylip-lower,\n"
    "                          relaxed-lower, nexus, csv, pairs-header or mega\n"
    "  -x, --transform=NAME    none (default), arcsin, exp, neglog, square, range\n"
    "                          or sqrt\n"
    "  -c, --check[=TOLERANCE] refuse a matrix that is not symmetric within\n"
    "                          TOLERANCE (default 0), whose diagonal is not zero,\n"
    "                          or whose labels are equal or made equal by the\n"
    "                          output layout; without it these are warnings\n"
    "  -S, --symmetrize=HOW    make the matrix symmetric from its lower or upper\n"
    "                          triangle, or from the mean of both: lower, upper,\n"
    "                          mean\n"
    "      --column=N          pairs input: the distance is field N (default 3)\n"
    "      --fill=NUMBER       pairs input: the distance of a pair that no line\n"
    "                          gives (default: such a pair is an error)\n"
    "      --similarity=SCALE  the input holds similarities: fraction (D := 1-S)\n"
    "                          or percent (D := 100-S), before the checks\n"
    "      --taxa=LIST         keep only these taxa, in this order (comma-separated)\n"
    "      --taxa-file=FILE    the same, one label per line of FILE\n"
    "      --safe-labels       write blanks, control characters and ( ) [ ] : ; , '\n"
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
    "in the command line.\n";

constexpr cli::option_def defs[] = {
    {"from", 'f', arg_kind::REQUIRED},   {"shape", 's', arg_kind::REQUIRED},
    {"to", 't', arg_kind::REQUIRED},     {"transform", 'x', arg_kind::REQUIRED},
    {"check", 'c', arg_kind::OPTIONAL},  {"symmetrize", 'S', arg_kind::REQUIRED},
    {"output", 'o', arg_kind::REQUIRED}, {"quiet", 'q', arg_kind::NONE},
    {"help", 'h', arg_kind::NONE},       {"column", 0, arg_kind::REQUIRED},
    {"fill", 0, arg_kind::REQUIRED},     {"similarity", 0, arg_kind::REQUIRED},
    {"taxa", 0, arg_kind::REQUIRED},     {"taxa-file", 0, arg_kind::REQUIRED},
    {"digits", 0, arg_kind::REQUIRED},   {"safe-labels", 0, arg_kind::NONE},
};

enum class similarity_type { FRACTION, PERCENT };
constexpr named<similarity_type> similarities[] = {
    {"fraction", similarity_type::FRACTION},
    {"percent", similarity_type::PERCENT},
};

constexpr named<dist_layout_type> input_layouts[] = {
    {"auto", dist_layout_type::AUTO},   {"phylip", dist_layout_type::PHYLIP}, {"relaxed", dist_layout_type::RELAXED},
    {"tsv", dist_layout_type::TSV},     {"nexus", dist_layout_type::NEXUS},   {"csv", dist_layout_type::CSV},
    {"pairs", dist_layout_type::PAIRS}, {"mega", dist_layout_type::MEGA},
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
  std::size_t column = 3;
  std::optional<float> fill;
  std::optional<similarity_type> similarity;
  std::optional<std::string> taxa, taxa_file;
  int digits = 0;
  bool safe_labels = false;
  std::vector<std::string> inputs;
};

// A number of an option, checked: a non-negative finite value.
float parse_value(std::string_view option, const std::string &text) {
  float v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !(v >= 0.0f) || std::isinf(v))
    throw usage_error{"--" + std::string(option) + "=" + text + ": expected a number of at least 0"};
  return v;
}

int parse_count(std::string_view option, const std::string &text, int low, int high) {
  int v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high)
    throw usage_error{"--" + std::string(option) + "=" + text + ": expected a whole number from " +
                      std::to_string(low) + " to " + std::to_string(high)};
  return v;
}

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
    else if (name == "column") s.column = static_cast<std::size_t>(parse_count(name, *o.value, 3, 1000000));
    else if (name == "fill") s.fill = parse_value(name, *o.value);
    else if (name == "similarity") s.similarity = pick(similarities, name, *o.value)->value;
    else if (name == "taxa") s.taxa = *o.value;
    else if (name == "taxa-file") s.taxa_file = *o.value;
    else if (name == "digits") s.digits = parse_count(name, *o.value, 1, 9);
    else if (name == "safe-labels") s.safe_labels = true;
  }
  if (s.taxa && s.taxa_file) throw usage_error{"--taxa and --taxa-file exclude each other"};
  if (s.shape != dist_shape_type::AUTO && (s.from == dist_layout_type::NEXUS))
    throw usage_error{"--shape is for phylip, relaxed and tsv input; a NEXUS matrix states its own shape"};
  if (s.shape != dist_shape_type::AUTO &&
      (s.from == dist_layout_type::CSV || s.from == dist_layout_type::PAIRS || s.from == dist_layout_type::MEGA))
    throw usage_error{"--shape is for phylip, relaxed and tsv input; csv, pairs and mega input have their own shape"};
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
    case phylo::read::undecided_type::LAYOUT:
      text += "; say --from=phylip, relaxed, tsv, nexus, csv, pairs or mega";
      break;
    case phylo::read::undecided_type::LABELS: text += "; say --from=phylip or --from=relaxed"; break;
    case phylo::read::undecided_type::SHAPE:
      text += "; say --shape=" + std::string(phylo::read::shape_name(undecided->shapes[0])) +
              " or --shape=" + std::string(phylo::read::shape_name(undecided->shapes[1]));
      break;
    }
  }
  if (dynamic_cast<const phylo::read::missing_pair_error *>(&e)) text += "; say --fill=NUMBER to give it a value";
  return text;
}

// The labels of --taxa (comma-separated) or --taxa-file (one per line, blank lines skipped).
std::vector<std::string> taxa_wanted(const settings &s) {
  std::vector<std::string> names;
  std::string text;
  char separator = ',';
  if (s.taxa) {
    text = *s.taxa;
  } else {
    phylo::input_source in = phylo::input_source::open_file(*s.taxa_file);
    for (int c; (c = in.peek()) >= 0; in.advance()) text.push_back(static_cast<char>(c));
    separator = '\n';
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(text.find(separator, start), text.size());
    std::string name = text.substr(start, end - start);
    if (!name.empty() && name.back() == '\r') name.pop_back();
    if (!name.empty()) names.push_back(std::move(name));
    if (end == text.size()) break;
    start = end + 1;
  }
  return names;
}

// Reads every matrix of one input, and writes each before the next is read.
void convert_input(const cli::reporter &report, phylo::input_source &in, const settings &s,
                   const std::vector<std::string> &taxa) {
  phylo::read::dist_reader reader(in, {s.from, s.shape, any_taxa, s.column, s.fill});
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
    try {
      if (s.similarity)
        phylo::similarities_to_distances(*mat, *s.similarity == similarity_type::PERCENT ? 100.0f : 1.0f);
      if (s.taxa || s.taxa_file) mat = phylo::keep_taxa(*mat, taxa);
    } catch (const phylo::range_error &e) {
      report(at + e.what());
      throw data_refused{};
    }
    if (s.symmetrize) phylo::symmetrize_dist(*mat, *s.symmetrize);
    if (s.safe_labels) phylo::make_labels_safe(*mat);
    report_findings(report, at, phylo::check_dist_mat(*mat, s.check.value_or(0.0f), s.to->labels), s.check.has_value(),
                    s.quiet);
    try {
      phylo::distfunc::convert_dist(*mat, s.transform);
    } catch (const phylo::error &e) {
      report(at + "the transformation fails: " + e.what());
      throw data_refused{};
    }
    write_matrix(*mat, *s.to, s.digits);
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
          std::vector<std::string> taxa;
          if (s.taxa || s.taxa_file) {
            try {
              taxa = taxa_wanted(s);
            } catch (const phylo::error &e) {
              streams.report(e.what());
              throw data_refused{};
            }
          }
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
