// phylo dist: distance matrices computed from characters (FASTA alignments, discrete,
// quantitative or count matrices), written in any layout of phylo convert.

#include "char_input.hpp"
#include "commands.hpp"
#include "dist_layouts.hpp"
#include "options.hpp"

#include "phylo/char_matrix.hpp"
#include "phylo/chars.hpp"
#include "phylo/dist_check.hpp"
#include "phylo/distfunc.hpp"
#include "phylo/io.hpp"
#include "phylo/label.hpp"
#include "phylo/words.hpp"

#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace phylo_cli {
namespace {

using cli::arg_kind;
using cli::data_refused;
using cli::usage_error;
using phylo::char_format_type;
using phylo::matrix_type;
using phylo::distfunc::dist_conv_type;
using phylo::distfunc::dist_form_type;

constexpr std::string_view help_text =
    "Usage: phylo dist [OPTION]... [FILE]...\n"
    "Compute the distances between the taxa of every FILE (standard input when\n"
    "there is none, or for \"-\") from their characters, and write them as distance\n"
    "matrices.\n"
    "\n"
    "  -k, --kind=KIND          fasta: a FASTA nucleotide alignment (the default for\n"
    "                           a text that begins with '>'); discrete: a matrix of\n"
    "                           one symbol per character; quant: a matrix of\n"
    "                           numbers; count: a matrix of whole numbers of 0 or\n"
    "                           more\n"
    "  -l, --layout=LAYOUT      how a matrix is laid out: relaxed (default), phylip\n"
    "                           or commented\n"
    "  -m, --metric=METRIC      for quant data: euclidean (default), std-euclidean,\n"
    "                           chord, canberra, manhattan, pearson or\n"
    "                           euclidean-missing; for count data: bray-curtis\n"
    "                           (default) or edgar\n"
    "  -t, --to=LAYOUT          relaxed (default), phylip, tsv, nexus-paup,\n"
    "                           nexus-paup-quoted, pairs, raw, phylip-lower,\n"
    "                           relaxed-lower or nexus\n"
    "  -x, --transform=NAME     none (default), arcsin, exp, neglog, square, range\n"
    "                           or sqrt, applied to the distances once computed\n"
    "  -o, --output=FILE        write to FILE, which is replaced only when all went\n"
    "                           well\n"
    "  -q, --quiet              do not warn about labels that the layout writes\n"
    "                           alike\n"
    "  -h, --help               print this help and exit\n"
    "\n"
    "FASTA alignments and discrete matrices always give the proportion of differing\n"
    "symbols (the p-distance): the number of characters whose symbols differ,\n"
    "divided by the number of characters. Every symbol counts as it stands, gaps\n"
    "and '?' included, and upper and lower case differ; --metric is refused for\n"
    "them.\n"
    "\n"
    "A matrix begins with the number of taxa and the number of characters; then\n"
    "each row holds a label and the values of one taxon. The label is the first 10\n"
    "characters of the row in phylip, a word in relaxed, and a word followed by a\n"
    "further word that is dropped in commented. Discrete symbols may stand with or\n"
    "without blanks between them.\n"
    "\n"
    "Metrics: euclidean sqrt(sum (x-y)^2 / m); std-euclidean the same with each\n"
    "character divided by its variance; chord sqrt(2 (1 - cos)); canberra sum\n"
    "|x-y|/(x+y) / m; manhattan sum |x-y| / m; pearson (1 - r)/2; euclidean-missing\n"
    "euclidean over the characters that both taxa have (a negative value is\n"
    "missing); bray-curtis sum |x-y| / (sum x + sum y); edgar 1 - sum min(x,y) /\n"
    "min(sum x, sum y). The transformations are those of phylo convert.\n"
    "\n"
    "Exit status: 0 success, 1 a problem with the data or the files, 2 a mistake in\n"
    "the command line.\n";

constexpr cli::option_def defs[] = {
    {"kind", 'k', arg_kind::REQUIRED},      {"layout", 'l', arg_kind::REQUIRED},
    {"metric", 'm', arg_kind::REQUIRED},    {"to", 't', arg_kind::REQUIRED},
    {"transform", 'x', arg_kind::REQUIRED}, {"output", 'o', arg_kind::REQUIRED},
    {"quiet", 'q', arg_kind::NONE},         {"help", 'h', arg_kind::NONE},
};

enum class input_kind { FASTA, DISCRETE, QUANT, COUNT };

constexpr named<input_kind> kinds[] = {
    {"fasta", input_kind::FASTA},
    {"discrete", input_kind::DISCRETE},
    {"quant", input_kind::QUANT},
    {"count", input_kind::COUNT},
};
constexpr named<char_format_type> layouts[] = {
    {"relaxed", char_format_type::EXTENDED_PHYLIP},
    {"phylip", char_format_type::PHYLIP},
    {"commented", char_format_type::COMMENTED_PHYLIP},
};

struct metric_entry {
  std::string_view name;
  dist_form_type value;
  input_kind kind; // the kind of data it is defined for
};

constexpr metric_entry metrics[] = {
    {"euclidean", dist_form_type::EUKLIDEAN, input_kind::QUANT},
    {"std-euclidean", dist_form_type::STANDARDIZED_EUKLIDEAN, input_kind::QUANT},
    {"chord", dist_form_type::CHORD, input_kind::QUANT},
    {"canberra", dist_form_type::CANBERRA, input_kind::QUANT},
    {"manhattan", dist_form_type::MANHATTAN, input_kind::QUANT},
    {"bray-curtis", dist_form_type::BRAY_CURTIS, input_kind::COUNT},
    {"edgar", dist_form_type::EDGAR, input_kind::COUNT},
    {"pearson", dist_form_type::PEARSON, input_kind::QUANT},
    {"euclidean-missing", dist_form_type::EXCLUSIVE_EUKLIDEAN, input_kind::QUANT},
};

struct settings {
  std::optional<input_kind> kind; // none: FASTA when the text begins with '>'
  std::optional<char_format_type> layout;
  const metric_entry *metric = nullptr;
  const output_layout *to = &output_layouts[0];
  dist_conv_type transform = dist_conv_type::NONE;
  std::optional<std::string> output;
  bool quiet = false;
  bool help = false;
  std::vector<std::string> inputs;
};

std::string_view kind_name(input_kind k) {
  for (const auto &e : kinds)
    if (e.value == k) return e.name;
  return "";
}

// The metric names that fit a kind, as a list for messages.
std::string metric_names(input_kind k) {
  std::string names;
  for (const auto &m : metrics)
    if (m.kind == k) names += (names.empty() ? "" : ", ") + std::string(m.name);
  return names;
}

settings parse_settings(std::span<char *const> args) {
  settings s;
  cli::parsed_args parsed = cli::parse_options(args, defs);
  for (const cli::parsed_option &o : parsed.options) {
    const std::string_view name = o.def->long_name;
    if (name == "kind") s.kind = pick(kinds, name, *o.value)->value;
    else if (name == "layout") s.layout = pick(layouts, name, *o.value)->value;
    else if (name == "metric") s.metric = pick(metrics, name, *o.value);
    else if (name == "to") s.to = pick(output_layouts, name, *o.value);
    else if (name == "transform") s.transform = pick(transforms, name, *o.value)->value;
    else if (name == "output") s.output = *o.value;
    else if (name == "quiet") s.quiet = true;
    else if (name == "help") s.help = true;
  }
  s.inputs = std::move(parsed.operands);
  if (s.inputs.empty()) s.inputs.emplace_back("-");
  if (s.help) return s;

  const bool matrix = s.kind && *s.kind != input_kind::FASTA;
  if (s.layout && !matrix)
    throw usage_error{"--layout is for character matrices: give --kind=discrete, quant or count"};
  if (s.metric) {
    const std::string given = "--metric=" + std::string(s.metric->name);
    if (!s.kind)
      throw usage_error{given + " needs --kind=" + std::string(kind_name(s.metric->kind))};
    if (*s.kind == input_kind::FASTA || *s.kind == input_kind::DISCRETE)
      throw usage_error{given + ": FASTA alignments and discrete matrices always give the proportion of "
                                "differing symbols; metrics are for --kind=quant or --kind=count"};
    if (s.metric->kind != *s.kind)
      throw usage_error{given + " is for " + std::string(kind_name(s.metric->kind)) + " data; " +
                        std::string(kind_name(*s.kind)) + " data take " + metric_names(*s.kind)};
  } else if (s.kind == input_kind::QUANT) {
    s.metric = &metrics[0]; // euclidean
  } else if (s.kind == input_kind::COUNT) {
    s.metric = &metrics[5]; // bray-curtis
  }
  return s;
}

// Computes, transforms, checks and writes the distances of one character matrix; `place`
// starts the messages about it.
void write_distances(const cli::reporter &report, const phylo::char_mat_type &chars, const settings &s,
                     const std::string &place) {
  phylo::dist_mat_type mat(chars.n_tax());
  const dist_form_type form = s.metric ? s.metric->value : dist_form_type::EUKLIDEAN; // not consulted for DISCR
  try {
    phylo::distfunc::make_dist(chars, form, mat);
  } catch (const phylo::error &e) {
    const std::string what = s.metric ? "the " + std::string(s.metric->name) + " distances" : "the distances";
    report(place + what + " cannot be computed: " + e.what());
    throw data_refused{};
  }
  try {
    phylo::distfunc::convert_dist(mat, s.transform);
  } catch (const phylo::error &e) {
    report(place + "the transformation fails: " + e.what());
    throw data_refused{};
  }
  if (!s.quiet)
    for (const auto &f : phylo::check_dist_mat(mat, 0.0f, s.to->labels)) report(place + "warning: " + f.message);
  write_matrix(mat, *s.to);
}

// A FASTA alignment of any number of sequences: phylo is not bound by karvel's 5000 taxa.
void fasta_distances(const cli::reporter &report, phylo::input_source &in, const settings &s) {
  std::vector<phylo::sequence_type> seqs = read_alignment(report, in, std::numeric_limits<std::size_t>::max());
  const std::size_t n = seqs.size(), m = seqs[0].residues.size();
  phylo::char_mat_type chars(n, m, matrix_type::DISCR);
  phylo::discr_matrix_type &cells = chars.discr_data();
  for (std::size_t i = 0; i < n; ++i) {
    chars.labels[i] = std::move(seqs[i].label);
    std::memcpy(cells.row(i), seqs[i].residues.data(), m);
    std::string().swap(seqs[i].residues); // each residue is held once
  }
  write_distances(report, chars, s, in.name() + ": ");
}

void matrix_distances(const cli::reporter &report, phylo::input_source &in, const settings &s) {
  const matrix_type kind = *s.kind == input_kind::QUANT   ? matrix_type::QUANT
                           : *s.kind == input_kind::COUNT ? matrix_type::CNTCH
                                                          : matrix_type::DISCR;
  const char_format_type format = s.layout.value_or(char_format_type::EXTENDED_PHYLIP);
  phylo::scoped_input use(in);
  auto at = [&](std::size_t line) { return in.name() + ":" + std::to_string(line) + ": "; };
  // Where an error of the reader lies: the line it names, or where reading stopped.
  auto where = [&](const phylo::error &e) { return at(e.where() ? e.where()->line : in.line()); };
  std::size_t count = 0;
  while (!phylo::read::at_end()) {
    ++count;
    phylo::char_mat_access chars;
    std::size_t line = in.line();
    try {
      const phylo::read::char_mat_size size = phylo::read::read_header();
      line = size.line;
      // A text that cannot hold one character per cell ends before the matrix does: say so
      // before making room for cells that it does not hold.
      const auto cells = static_cast<unsigned long long>(size.n_tax) * static_cast<unsigned long long>(size.n_char);
      if (const auto left = in.known_size_left(); left && cells > in.offset() + *left) {
        report(at(line) + "the header announces " + std::to_string(size.n_tax) + " taxa of " +
               std::to_string(size.n_char) + " characters, more than the text holds");
        throw data_refused{};
      }
      chars = std::make_unique<phylo::char_mat_type>(size.n_tax, size.n_char, kind);
      phylo::read::read_char_mat(format, *chars);
    } catch (const phylo::end_of_input &e) {
      report(where(e) + "the input ends inside the matrix that begins on line " + std::to_string(line) + " (" +
             e.what() + ")");
      throw data_refused{};
    } catch (const phylo::format_error &e) {
      report(where(e) + e.what());
      throw data_refused{};
    } catch (const phylo::range_error &e) {
      report(where(e) + e.what());
      throw data_refused{};
    }
    if (format == char_format_type::PHYLIP) {
      // A PHYLIP label is 10 characters; the blanks that pad it are no part of the name.
      for (std::size_t i = 0; i < chars->n_tax(); ++i) {
        std::string &label = chars->labels[i];
        label = std::string(phylo::trim_phylip_label(label));
        if (label.empty()) {
          report(at(line) + "taxon " + std::to_string(i + 1) + " has no label: its first 10 characters are blank");
          throw data_refused{};
        }
      }
    }
    write_distances(report, *chars, s, at(line));
  }
  if (count == 0) {
    report(in.name() + ": holds no character matrix");
    throw data_refused{};
  }
}

void dist_inputs(const cli::streams_type &streams, const settings &s) {
  for (const std::string &operand : s.inputs) {
    cli::input_operand input(operand, streams.standard_input);
    phylo::input_source &in = input.source();
    if (s.kind ? *s.kind == input_kind::FASTA : looks_like_fasta(in)) {
      fasta_distances(streams.report, in, s);
    } else if (s.kind) {
      matrix_distances(streams.report, in, s);
    } else {
      streams.report(in.name() + ": is not a FASTA alignment (it does not begin with '>'); for a character matrix "
                                 "give --kind=discrete, quant or count");
      throw data_refused{};
    }
  }
}

} // namespace

int run_dist(const cli::streams_type &streams, std::span<char *const> args) {
  settings s;
  return cli::run_subcommand(
      streams.report, "dist", help_text,
      [&] {
        s = parse_settings(args);
        return s.help;
      },
      [&] { return cli::run_with_output(streams, s.output, [&] { dist_inputs(streams, s); }); });
}

} // namespace phylo_cli
