// phylo dist: distance matrices computed from characters (FASTA alignments, discrete,
// quantitative or count matrices), written in any layout of phylo convert.

#include "char_input.hpp"
#include "commands.hpp"
#include "dist_layouts.hpp"
#include "matrix_input.hpp"
#include "options.hpp"
#include "progress.hpp"

#include "phylo/char_matrix.hpp"
#include "phylo/chars.hpp"
#include "phylo/dist_check.hpp"
#include "phylo/distfunc.hpp"
#include "phylo/dna_dist.hpp"
#include "phylo/io.hpp"
#include "phylo/label.hpp"
#include "phylo/pairs.hpp"
#include "phylo/phylip.hpp"
#include "phylo/words.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <unistd.h>
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
using phylo::dna::model_type;
using phylo::dna::site_rule;

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
    "  -a, --alphabet=ALPHABET  for FASTA alignments: auto (default), dna or protein\n"
    "  -M, --model=MODEL        for FASTA alignments: p (default) or count; for\n"
    "                           nucleotides jc69, k80 (or k2p), k81, f81, f84, t92,\n"
    "                           tn93 or logdet; for amino acids poisson, kimura,\n"
    "                           jtt, wag, lg, dayhoff or blosum62\n"
    "      --gamma=ALPHA        gamma-distributed rates across sites of shape ALPHA\n"
    "                           (jc69, k80, k81, f81, f84, t92, tn93, jtt, wag, lg,\n"
    "                           dayhoff, blosum62)\n"
    "      --gamma-categories=K for jtt, wag, lg, dayhoff and blosum62: K rate\n"
    "                           categories, 1 to 64 (default 4)\n"
    "      --ts-tv=RATIO        for f84: the maximum-likelihood distance with this\n"
    "                           transition/transversion ratio, as PHYLIP dnadist\n"
    "  -g, --gaps=RULE          for FASTA alignments: pairwise (default), complete\n"
    "                           or count\n"
    "  -u, --undefined=VALUE    refuse (default): a pair for which the model is\n"
    "                           undefined is an error; a number of 0 or more: write\n"
    "                           it in the place of such a distance\n"
    "  -j, --threads=N          compare on N threads (default: one per processor)\n"
    "      --max-distance=X     for FASTA alignments: write only the pairs whose\n"
    "                           distance is at most X, as they are compared, in the\n"
    "                           layout pairs (the default) or pairs-header\n"
    "      --block=PART         for FASTA alignments: with PART I/K, write the I-th\n"
    "                           of K parts of the pairs, each of about the same\n"
    "                           work (pairs or pairs-header)\n"
    "      --engine=ENGINE      how --max-distance and --block compare: auto\n"
    "                           (default), dense, or sparse (p and count only)\n"
    "  -l, --layout=LAYOUT      how a matrix is laid out: relaxed (default), phylip\n"
    "                           or commented\n"
    "  -m, --metric=METRIC      for quant data: euclidean (default), std-euclidean,\n"
    "                           chord, canberra, manhattan, pearson or\n"
    "                           euclidean-missing; for count data: bray-curtis\n"
    "                           (default) or edgar\n"
    "  -t, --to=LAYOUT          relaxed (default), phylip, tsv, nexus-paup,\n"
    "                           nexus-paup-quoted, pairs, raw, phylip-lower,\n"
    "                           relaxed-lower, nexus, csv, pairs-header or mega\n"
    "  -x, --transform=NAME     none (default), arcsin, exp, neglog, square, range\n"
    "                           or sqrt, applied to the distances once computed\n"
    "      --safe-labels        write blanks, control characters and\n"
    "                           ( ) [ ] : ; , ' of labels as '_'\n"
    "  -o, --output=FILE        write to FILE, which is replaced only when all went\n"
    "                           well\n"
    "  -q, --quiet              do not warn about labels that the layout writes\n"
    "                           alike, nor show progress\n"
    "  -h, --help               print this help and exit\n"
    "\n"
    "FASTA alignments: A, C, G and T are bases, in either case; gaps ('-', '.'),\n"
    "'?', N and the other IUPAC codes are not. The 20 amino acids A R N D C Q E G\n"
    "H I L K M F P S T W Y V are residues in either case; B, Z, J, X, '*', '?' and\n"
    "gaps are not. --alphabet=auto takes an alignment of nucleotide codes alone\n"
    "for nucleotides, any other for amino acids. --gaps=pairwise compares each\n"
    "pair over the sites where both have a residue, --gaps=complete over the sites\n"
    "where every sequence has one, and --gaps=count over every site, each symbol\n"
    "as it stands with case folded (for p and count only). The models: p the\n"
    "proportion of differing sites, count their number; for nucleotides jc69\n"
    "Jukes and Cantor, k80 Kimura's two parameters, k81 his three, f81\n"
    "Felsenstein 1981, f84 Felsenstein 1984, t92 Tamura 1992 and tn93 Tamura and\n"
    "Nei (with the base frequencies of the whole alignment), logdet -ln(det F)/4 -\n"
    "ln 4 for the table F of the shares of base pairs, with the values and gamma\n"
    "corrections of ape's dist.dna; for amino acids poisson -ln(1 - p), kimura\n"
    "-ln(1 - p - p^2/5), and the maximum-likelihood distances under the models\n"
    "jtt (Jones, Taylor and Thornton), wag (Whelan and Goldman), lg (Le and\n"
    "Gascuel), dayhoff and blosum62 (Henikoff and Henikoff) with their own\n"
    "amino-acid frequencies, with --gamma the mean rates of K equally likely gamma\n"
    "categories.\n"
    "Where a model is undefined for a pair (no site to compare, too many\n"
    "differences), the pairs are named and nothing is written, unless --undefined\n"
    "gives a number. While a long comparison runs, a line on a terminal's standard\n"
    "error shows the share done and the time left.\n"
    "\n"
    "--max-distance and --block write pairs as they are compared, without the\n"
    "matrix: memory holds the alignment and a few rows of pairs, so that alignments\n"
    "of any number of sequences fit. The lines are those of --to=pairs or\n"
    "pairs-header for the same pairs, in an order that does not depend on\n"
    "--threads. Every value is computed from the whole alignment (the sites of\n"
    "--gaps=complete, the base frequencies), so a part gives the values of a whole\n"
    "run. Each part of --block begins with a line (label, label, 0) for every\n"
    "taxon, so that phylo convert --from=pairs of the K parts put together, in any\n"
    "order, gives the square matrix of a single run; pairs-header writes its header\n"
    "in part 1 alone. --engine=sparse compares only the sites where each sequence\n"
    "differs from the commonest residue, for alignments of few differences; auto\n"
    "picks it for p and count with --max-distance where it is faster. A square\n"
    "matrix that cannot fit in memory is refused before the sequences are read.\n"
    "\n"
    "Discrete matrices give the proportion of differing symbols (the p-distance):\n"
    "the number of characters whose symbols differ, divided by the number of\n"
    "characters. Every symbol counts as it stands, gaps and '?' included, and upper\n"
    "and lower case differ; --metric is refused for them.\n"
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

constexpr cli::option_def own_defs[] = {
    {"kind", 'k', arg_kind::REQUIRED},      {"layout", 'l', arg_kind::REQUIRED},
    {"metric", 'm', arg_kind::REQUIRED},    {"to", 't', arg_kind::REQUIRED},
    {"transform", 'x', arg_kind::REQUIRED}, {"output", 'o', arg_kind::REQUIRED},
    {"safe-labels", 0, arg_kind::NONE},     {"quiet", 'q', arg_kind::NONE},
    {"help", 'h', arg_kind::NONE},          {"undefined", 'u', arg_kind::REQUIRED},
    {"threads", 'j', arg_kind::REQUIRED},   {"max-distance", 0, arg_kind::REQUIRED},
    {"block", 0, arg_kind::REQUIRED},       {"engine", 0, arg_kind::REQUIRED},
};
constexpr auto defs = with_model_options(std::to_array(own_defs));

constexpr named<phylo::dna::pair_engine> engines[] = {
    {"auto", phylo::dna::pair_engine::AUTO},
    {"dense", phylo::dna::pair_engine::DENSE},
    {"sparse", phylo::dna::pair_engine::SPARSE},
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
  matrix_output out;
  std::optional<std::string> output;
  bool help = false;
  std::vector<std::string> inputs;
  // FASTA alignments
  model_settings m;
  std::optional<float> undefined; // written where the model is undefined
  std::string undefined_text;     // as given
  unsigned threads = 0;           // 0: one per processor
  bool to_given = false;
  // Pairs streamed: the largest distance written, the part I of K (from 1), the engine.
  std::optional<double> max_distance;
  std::optional<std::pair<std::uint64_t, std::uint64_t>> block;
  const named<phylo::dna::pair_engine> *engine = nullptr;
  bool pairs() const { return max_distance || block; }
};

// A finite number of 0 or more for --max-distance.
double distance_bound(const std::string &value) {
  double v = 0;
  const char *first = value.data(), *last = first + value.size();
  const auto [end, ec] = std::from_chars(first, last, v);
  if (first == last || ec != std::errc() || end != last || !std::isfinite(v) || v < 0)
    throw usage_error{"--max-distance=" + value + " is not a number of 0 or more"};
  return v;
}

// I/K with 1 <= I <= K for --block.
std::pair<std::uint64_t, std::uint64_t> block_of(const std::string &value) {
  std::uint64_t i = 0, k = 0;
  const char *first = value.data(), *last = first + value.size();
  const auto [slash, ec] = std::from_chars(first, last, i);
  bool good = ec == std::errc() && slash != last && *slash == '/';
  if (good) {
    const auto [end, ec2] = std::from_chars(slash + 1, last, k);
    good = ec2 == std::errc() && end == last && slash + 1 != last;
  }
  if (!good || i < 1 || i > k)
    throw usage_error{"--block=" + value + " is not I/K, part I of K parts with 1 <= I <= K"};
  return {i, k};
}

// refuse, or a finite number of 0 or more for --undefined.
std::optional<float> undefined_value(const std::string &value) {
  if (value == "refuse") return std::nullopt;
  float v = 0;
  const char *first = value.data(), *last = first + value.size();
  const auto [end, ec] = std::from_chars(first, last, v);
  if (first == last || ec != std::errc() || end != last || !std::isfinite(v) || v < 0)
    throw usage_error{"--undefined=" + value + " is neither refuse nor a number of 0 or more"};
  return v == 0 ? 0.0f : v; // -0 is written as 0
}

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
  std::string alignment_option; // the last option that only FASTA alignments take
  for (const cli::parsed_option &o : parsed.options) {
    const std::string_view name = o.def->long_name;
    if (name == "to") s.to_given = true;
    if (take_output_option(s.out, o)) continue;
    if (name == "kind") s.kind = pick(kinds, name, *o.value)->value;
    else if (name == "layout") s.layout = pick(layouts, name, *o.value)->value;
    else if (name == "metric") s.metric = pick(metrics, name, *o.value);
    else if (name == "output") s.output = *o.value;
    else if (name == "help") s.help = true;
    else if (take_model_option(s.m, o)) {
    } else if (name == "undefined") s.undefined = undefined_value(*o.value), s.undefined_text = *o.value;
    else if (name == "threads") s.threads = thread_count(*o.value);
    else if (name == "max-distance") s.max_distance = distance_bound(*o.value);
    else if (name == "block") s.block = block_of(*o.value);
    else if (name == "engine") s.engine = pick(engines, name, *o.value);
    if (is_model_option(name) || name == "undefined" || name == "max-distance" || name == "block" || name == "engine")
      alignment_option = "--" + std::string(name);
  }
  s.inputs = std::move(parsed.operands);
  if (s.inputs.empty()) s.inputs.emplace_back("-");
  if (s.help) return s;

  const bool matrix = s.kind && *s.kind != input_kind::FASTA;
  if (s.layout && !matrix)
    throw usage_error{"--layout is for character matrices: give --kind=discrete, quant or count"};
  if (matrix && !alignment_option.empty())
    throw usage_error{alignment_option + " is for FASTA alignments; " + std::string(kind_name(*s.kind)) +
                      " matrices take --metric"};
  check_model_settings(s.m);
  const model_type model = s.m.model->value;
  const std::string given_model = "--model=" + std::string(s.m.model->name);
  if (s.engine && !s.pairs()) throw usage_error{"--engine is for --max-distance and --block"};
  if (s.engine && s.engine->value == phylo::dna::pair_engine::SPARSE && model != model_type::P &&
      model != model_type::COUNT)
    throw usage_error{"--engine=sparse gives --model=p or count only, not " + given_model};
  if (s.pairs()) {
    const std::string given = s.max_distance ? "--max-distance" : "--block";
    if (!s.to_given) s.out.to = &output_layouts[5]; // pairs
    if (s.out.to->writer != writer_type::PAIRS_HEADER && s.out.to->name != "pairs")
      throw usage_error{given + " writes pairs: --to=pairs or pairs-header, not --to=" + std::string(s.out.to->name)};
    if (s.out.transform != dist_conv_type::NONE)
      throw usage_error{given + " writes the distances as computed: it takes no --transform"};
  }
  if (s.metric) {
    const std::string given = "--metric=" + std::string(s.metric->name);
    if (!s.kind) throw usage_error{given + " needs --kind=" + std::string(kind_name(s.metric->kind))};
    if (*s.kind == input_kind::FASTA)
      throw usage_error{given + ": metrics are for --kind=quant or --kind=count; FASTA alignments take --model"};
    if (*s.kind == input_kind::DISCRETE)
      throw usage_error{given + ": discrete matrices always give the proportion of differing symbols; metrics "
                                "are for --kind=quant or --kind=count"};
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

// Transforms, checks and writes a matrix of distances; `place` starts the messages about it.
// Computes the distances of one character matrix, and writes them.
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
  write_finished_matrix(report, place, mat, s.out);
}

// 'Alpha' and 'Beta' with what makes the model undefined for them, for messages.
std::string undefined_pair_text(const phylo::dna::undefined_pair &p, const std::vector<std::string> &labels) {
  using phylo::dna::undefined_reason;
  const std::string pair = phylo::quote_text(labels[p.j]) + " and " + phylo::quote_text(labels[p.i]);
  const std::string of = std::to_string(p.differing) + " of " + std::to_string(p.sites) + " sites";
  switch (p.reason) {
  case undefined_reason::NO_SITES: return pair + " have no site to compare";
  case undefined_reason::BASE_FREQUENCIES: return pair + " (the base frequencies of the alignment)";
  case undefined_reason::SATURATED: return pair + " differ at " + of + ", too many for the model";
  case undefined_reason::SINGULAR: return pair + " (differing at " + of + "): their table of base pairs is singular";
  }
  return pair;
}

std::string undefined_message(const phylo::dna::undefined_distance_error &e, const std::vector<std::string> &labels,
                              const settings &s, phylo::dna::alphabet residues) {
  std::string text = "the " + std::string(s.m.model->name) + " distance is undefined for " + std::to_string(e.count) +
                     (e.count == 1 ? " pair" : " pairs");
  const auto &first = e.first.front();
  if (first.reason == phylo::dna::undefined_reason::BASE_FREQUENCIES) {
    text += s.m.model->value == model_type::F81 ? ": the alignment holds fewer than two of the bases A, C, G and T"
            : s.m.model->value == model_type::TN93
                ? ": the alignment lacks one of the bases A, C, G and T"
                : ": the base frequencies of the alignment leave the model undefined";
  } else if (first.reason == phylo::dna::undefined_reason::NO_SITES && s.m.gaps->value == site_rule::COMPLETE) {
    text += residues == phylo::dna::alphabet::DNA ? ": no site has a base in every sequence"
                                                  : ": no site has an amino acid in every sequence";
  } else {
    const std::size_t shown_pairs = std::min<std::size_t>(3, e.first.size());
    for (std::size_t k = 0; k < shown_pairs; ++k)
      text += (k == 0 ? ": " : "; ") + undefined_pair_text(e.first[k], labels);
    if (e.count > shown_pairs) text += "; and " + std::to_string(e.count - shown_pairs) + " more";
  }
  return text + " (--undefined=NUMBER writes a number in their place)";
}

// The options of the comparison.
phylo::dna::dist_options comparison_options(const settings &s) {
  phylo::dna::dist_options options = model_dist_options(s.m);
  options.threads = s.threads;
  options.undefined_value = s.undefined;
  return options;
}

// The alignment of the input, packed, in the alphabet of the model.
phylo::dna::packed_alignment packed_input(const cli::reporter &report, phylo::input_source &in, const settings &s) {
  // Pairs need no matrix.
  const square_check check{!s.pairs(), "; --max-distance writes the close pairs alone and --block=I/K a part of the "
                                       "pairs, without the matrix"};
  return read_packed_alignment(report, in, s.m, check);
}

void report_undefined(const cli::reporter &report, const std::string &place, std::uint64_t undefined,
                      const settings &s) {
  if (undefined != 0 && !s.out.quiet)
    report(place + "warning: the " + std::string(s.m.model->name) + " distance is undefined for " +
           std::to_string(undefined) + (undefined == 1 ? " pair" : " pairs") + ", written as " + s.undefined_text);
}

// A FASTA alignment of any number of sequences: phylo is not bound by karvel's 5000 taxa.
void fasta_distances(const cli::reporter &report, phylo::input_source &in, const settings &s) {
  const std::string place = in.name() + ": ";
  const phylo::dna::packed_alignment packed = packed_input(report, in, s);
  phylo::dist_mat_type mat(packed.size());
  phylo::dna::dist_options options = comparison_options(s);
  std::uint64_t undefined = 0;
  {
    progress_line progress(in.name(), "of the pairs");
    if (!s.out.quiet && ::isatty(2)) options.progress = std::ref(progress);
    try {
      undefined = phylo::dna::dna_dist(packed, options, mat);
    } catch (const phylo::dna::undefined_distance_error &e) {
      progress.clear();
      report(place + undefined_message(e, packed.labels(), s, packed.residues()));
      throw data_refused{};
    }
  }
  report_undefined(report, place, undefined, s);
  write_finished_matrix(report, place, mat, s.out);
}

// The pairs of a FASTA alignment within --max-distance, or of a --block, written as they come.
void fasta_pairs(const cli::reporter &report, phylo::input_source &in, const settings &s) {
  const std::string place = in.name() + ": ";
  const phylo::dna::packed_alignment packed = packed_input(report, in, s);
  std::vector<std::string> labels = packed.labels();
  if (s.out.safe_labels)
    for (std::string &label : labels) phylo::apply_in_place(phylo::tree_safe_label_map, label);
  report_findings(
      report, place,
      phylo::check_labels(std::vector<std::string_view>(labels.begin(), labels.end()), label_form(*s.out.to)), false,
      s.out.quiet);
  phylo::dna::dist_options options = comparison_options(s);
  phylo::dna::pairs_options pairs;
  pairs.max_distance = s.max_distance;
  if (s.block) pairs.part = s.block->first - 1, pairs.parts = s.block->second;
  if (s.engine) pairs.engine = s.engine->value;

  phylo::output_sink &out = phylo::current_output();
  const bool header = s.out.to->writer == writer_type::PAIRS_HEADER;
  auto line = [&](std::size_t i, std::size_t j, float value) {
    if (header) phylo::print::print_pair_line(out, labels[j], labels[i], value);
    else phylo::print::print_one_column_pair(out, labels[i], labels[j], value);
  };
  if (header && (!s.block || s.block->first == 1)) phylo::print::print_pairs_header(out);
  if (s.block)
    for (std::size_t i = 0; i < labels.size(); ++i) line(i, i, 0.0f);
  std::uint64_t undefined = 0;
  {
    progress_line progress(in.name(), "of the pairs");
    if (!s.out.quiet && ::isatty(2)) options.progress = std::ref(progress);
    try {
      undefined = phylo::dna::dna_pairs(packed, options, pairs, [&](std::span<const phylo::dna::pair_distance> batch) {
        for (const phylo::dna::pair_distance &p : batch) line(p.i, p.j, p.value);
      });
    } catch (const phylo::dna::undefined_distance_error &e) {
      progress.clear();
      report(place + undefined_message(e, labels, s, packed.residues()));
      throw data_refused{};
    }
  }
  report_undefined(report, place, undefined, s);
}

void matrix_distances(const cli::reporter &report, phylo::input_source &in, const settings &s) {
  const matrix_type kind = *s.kind == input_kind::QUANT   ? matrix_type::QUANT
                           : *s.kind == input_kind::COUNT ? matrix_type::CNTCH
                                                          : matrix_type::DISCR;
  const char_format_type format = s.layout.value_or(char_format_type::EXTENDED_PHYLIP);
  phylo::scoped_input use(in);
  auto at = [&](std::size_t line) { return cli::place(in.name(), line); };
  // Where an error of the reader lies: the line it names, or where reading stopped.
  auto where = [&](const phylo::error &e) { return at(e.where() ? e.where()->line : in.line()); };
  std::size_t count = 0;
  while (!phylo::read::at_end()) {
    ++count;
    phylo::char_mat_access chars;
    std::size_t line = in.line();
    try {
      const phylo::read::char_mat_size size = phylo::read::read_header(in);
      line = size.line;
      chars = phylo::read::read_char_mat(in, format, size, kind);
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
    input.source().decompress_gzip();
    input.source().refuse_nul_bytes();
    phylo::input_source &in = input.source();
    cli::refuse_cr_line_ends(streams.report, in, false);
    if (s.kind ? *s.kind == input_kind::FASTA : looks_like_fasta(in)) {
      if (s.pairs()) fasta_pairs(streams.report, in, s);
      else fasta_distances(streams.report, in, s);
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
      streams, "dist", help_text,
      [&] {
        s = parse_settings(args);
        return s.help;
      },
      [&] { return cli::run_with_output(streams, s.output, [&] { dist_inputs(streams, s); }); });
}

} // namespace phylo_cli
