// phylo tree: trees from distance matrices (read as phylo convert reads them) or from FASTA
// alignments (their distances computed as phylo dist computes them, in memory), one Newick line
// per matrix.

#include "commands.hpp"
#include "distance_input.hpp"
#include "options.hpp"
#include "phylo/output_file.hpp"
#include "progress.hpp"

#include "phylo/chars.hpp"
#include "phylo/dna_dist.hpp"
#include "phylo/io.hpp"
#include "phylo/newick.hpp"
#include "phylo/tree.hpp"
#include "phylo/tree_build.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace phylo_cli {
namespace {

using cli::arg_kind;
using cli::data_refused;
using cli::named;
using cli::usage_error;
using phylo::dna::model_type;
using phylo::dna::site_rule;

const std::string help_text =
    std::string("Usage: phylo tree [OPTION]... [FILE]...\n"
                "Build a tree from every distance matrix of every FILE (standard input when\n"
                "there is none, or for \"-\"), or from the distances of every FASTA alignment,\n"
                "and write each as one line of Newick text.\n"
                "\n"
                "  -m, --method=METHOD     nj (default), bionj, upgma or wpgma\n"
                "  -r, --root=HOW          midpoint: root the tree in the middle of its\n"
                "                          longest path between two taxa\n"
                "      --outgroup=LIST     root the tree on the branch that has these taxa\n"
                "                          (comma-separated) on one side\n"
                "      --negative=HOW      negative branch lengths: keep (default), zero, or\n"
                "                          transfer (zero, the deficit moved to the sibling)\n"
                "      --collapse=EPS      merge internal branches no longer than EPS into\n"
                "                          polytomies\n"
                "      --digits=N          N significant digits in branch lengths (1 to 17;\n"
                "                          default: the shortest that reads back)\n"
                "      --safe-labels       write blanks, control characters and ( ) [ ] : ; , '\n"
                "                          of labels as '_' instead of quoting the label\n"
                "  -j, --threads=N         search on N threads (default: one per processor)\n") +
    model_options_help("jc69") +
    std::string("  -b, --bootstrap=N       FASTA alignments: build N more trees from the sites\n"
                "                          resampled, and label each internal node with the\n"
                "                          share (0 to 100) of those trees that hold its split\n"
                "      --seed=S            the seed of the resampling (default 1)\n"
                "      --replicates=FILE   also write the bootstrap's trees to FILE\n") +
    std::string(matrix_layout_help) + std::string(matrix_cells_help) +
    std::string("  -o, --output=FILE       write to FILE, which is replaced only when every\n"
                "                          tree was built\n"
                "  -q, --quiet             print no warnings\n"
                "  -h, --help              print this help and exit\n"
                "\n"
                "NJ is Saitou and Nei's neighbour joining with Studier and Keppler's criterion,\n"
                "BIONJ Gascuel's variant; both give an unrooted tree (a root of three\n"
                "children). UPGMA (means weighted by cluster size) and WPGMA (plain means)\n"
                "give a rooted, ultrametric tree. Ties go to the pair of taxa first in the\n"
                "order of the matrix, so the tree is the same on every run and for any number\n"
                "of threads. A matrix must be symmetric (or made so with --symmetrize), its\n"
                "diagonal zero, its distances finite and not negative, its labels distinct.\n"
                "A text that begins with '>' is a FASTA alignment.\n"
                "\n"
                "Exit status: 0 success, 1 a problem with the data or the files, 2 a mistake\n"
                "in the command line.\n");

constexpr cli::option_def own_defs[] = {
    {"method", 'm', arg_kind::REQUIRED}, {"root", 'r', arg_kind::REQUIRED},     {"outgroup", 0, arg_kind::REQUIRED},
    {"negative", 0, arg_kind::REQUIRED}, {"collapse", 0, arg_kind::REQUIRED},   {"digits", 0, arg_kind::REQUIRED},
    {"safe-labels", 0, arg_kind::NONE},  {"threads", 'j', arg_kind::REQUIRED},  {"output", 'o', arg_kind::REQUIRED},
    {"quiet", 'q', arg_kind::NONE},      {"help", 'h', arg_kind::NONE},         {"bootstrap", 'b', arg_kind::REQUIRED},
    {"seed", 0, arg_kind::REQUIRED},     {"replicates", 0, arg_kind::REQUIRED},
};
constexpr auto defs = with_model_options(with_matrix_input(own_defs));

constexpr named<bool> roots[] = {{"midpoint", true}};

struct settings {
  matrix_input_settings input;
  bool input_option = false; // an option that only matrices take was given
  phylo::tree_build_options build;
  bool midpoint = false;
  std::vector<std::string> outgroup;
  phylo::negative_rule negative = phylo::negative_rule::KEEP;
  std::optional<double> collapse;
  phylo::newick_options newick;
  alignment_settings alignment;
  std::string alignment_option; // the last option that only alignments take
  std::optional<std::string> output;
  std::size_t bootstrap = 0; // replicates
  std::uint64_t seed = 1;
  bool seed_given = false;
  std::optional<std::string> replicates;
  bool quiet = false;
  bool help = false;
  std::vector<std::string> inputs;
};

double length_bound(const std::string &value) {
  double v = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
  if (value.empty() || ec != std::errc() || end != value.data() + value.size() || !std::isfinite(v) || v < 0)
    throw usage_error{"--collapse=" + value + ": expected a branch length of at least 0"};
  return v;
}

std::uint64_t seed_value(const std::string &value) {
  std::uint64_t v = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
  if (value.empty() || ec != std::errc() || end != value.data() + value.size())
    throw usage_error{"--seed=" + value + ": expected a whole number from 0 to 18446744073709551615"};
  return v;
}

std::vector<std::string> label_list(const std::string &value) {
  std::vector<std::string> labels;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(value.find(',', start), value.size());
    if (end > start) labels.push_back(value.substr(start, end - start));
    if (end == value.size()) break;
    start = end + 1;
  }
  if (labels.empty()) throw usage_error{"--outgroup=" + value + " names no taxon"};
  return labels;
}

settings parse_settings(std::span<char *const> args) {
  settings s;
  cli::parsed_args parsed = cli::parse_options(args, defs);
  for (const cli::parsed_option &o : parsed.options) {
    const std::string_view name = o.def->long_name;
    if (take_matrix_input_option(s.input, o)) {
      s.input_option = true;
      continue;
    }
    if (name == "method") s.build.method = pick(tree_methods, name, *o.value)->value;
    else if (name == "root") s.midpoint = pick(roots, name, *o.value)->value;
    else if (name == "outgroup") s.outgroup = label_list(*o.value);
    else if (name == "negative") s.negative = pick(negative_rules, name, *o.value)->value;
    else if (name == "collapse") s.collapse = length_bound(*o.value);
    else if (name == "digits") s.newick.digits = parse_count(name, *o.value, 1, 17);
    else if (name == "safe-labels") s.newick.safe_labels = true;
    else if (name == "threads") s.build.threads = s.alignment.threads = thread_count(*o.value);
    else if (take_model_option(s.alignment.m, o)) {
    } else if (name == "output") s.output = *o.value;
    else if (name == "bootstrap") s.bootstrap = static_cast<std::size_t>(parse_count(name, *o.value, 1, 1000000));
    else if (name == "seed") s.seed = seed_value(*o.value), s.seed_given = true;
    else if (name == "replicates") s.replicates = *o.value;
    else if (name == "quiet") s.quiet = true;
    else if (name == "help") s.help = true;
    if (name == "bootstrap" || is_model_option(name)) s.alignment_option = "--" + std::string(name);
  }
  check_matrix_input_settings(s.input);
  if (s.midpoint && !s.outgroup.empty()) throw usage_error{"--root=midpoint and --outgroup exclude each other"};
  if (s.bootstrap == 0 && (s.seed_given || s.replicates))
    throw usage_error{"--seed and --replicates go with --bootstrap"};
  if (s.replicates && s.replicates->empty()) throw usage_error{"--replicates= names no file"};
  check_model_settings(s.alignment.m);
  if (s.input.from != phylo::read::dist_layout_type::AUTO && !s.alignment_option.empty())
    throw usage_error{s.alignment_option + " is for FASTA alignments, not for matrices read with --from"};
  s.inputs = std::move(parsed.operands);
  if (s.inputs.empty()) s.inputs.emplace_back("-");
  return s;
}

// Builds, adjusts and writes the tree of a matrix; `at` starts the messages about it. `annotate`
// (when given) has the tree before it is written.
void write_tree(const cli::reporter &report, phylo::dist_mat_type &&mat, const settings &s, const std::string &at,
                const std::function<void(phylo::tree_type &)> &annotate = {}) {
  if (!s.quiet && !s.newick.safe_labels) {
    std::size_t quoted = 0, first = 0;
    for (std::size_t i = 0; i < mat.n_tax(); ++i)
      if (phylo::newick_label_needs_quotes(mat.labels[i]) && quoted++ == 0) first = i;
    if (quoted != 0)
      report(at + "warning: " +
             (quoted == 1
                  ? "the label " + phylo::quote_text(mat.labels[first])
                  : std::to_string(quoted) + " labels (the first " + phylo::quote_text(mat.labels[first]) + ")") +
             " must be quoted in Newick text; ape keeps the quotes in the label and Biopython drops what comes "
             "before a doubled quote (--safe-labels writes '_' instead)");
  }
  std::string name = at; // "FILE: " or "FILE:LINE: "
  while (!name.empty() && (name.back() == ' ' || name.back() == ':')) name.pop_back();
  progress_line progress(name, "of the joins");
  phylo::tree_build_options build = s.build;
  if (!s.quiet && ::isatty(2)) build.progress = std::ref(progress);
  phylo::tree_type tree = reported_tree(report, at, [&] { return phylo::build_tree(std::move(mat), build); });
  progress.clear();
  phylo::fix_negative_lengths(tree, s.negative);
  if (s.collapse) phylo::collapse_short_branches(tree, *s.collapse);
  try {
    if (s.midpoint) phylo::root_at_midpoint(tree);
    if (!s.outgroup.empty()) phylo::root_with_outgroup(tree, s.outgroup);
  } catch (const phylo::range_error &e) {
    report(at + e.what());
    throw data_refused{};
  }
  if (annotate) annotate(tree);
  phylo::print::write_newick(tree, phylo::current_output(), s.newick);
}

// The replicates of a bootstrap, run on a tree before it is written: its support values.
void bootstrap_tree(const cli::reporter &report, const phylo::dna::packed_alignment &packed, const settings &s,
                    const std::string &name, phylo::tree_type &tree, phylo::output_sink *replicates) {
  phylo::bootstrap_options options;
  options.replicates = s.bootstrap;
  options.seed = s.seed;
  options.dist = model_dist_options(s.alignment.m);
  options.dist.threads = s.build.threads;
  options.build = s.build;
  progress_line progress(name, "of the replicates");
  if (!s.quiet && ::isatty(2)) options.progress = std::ref(progress);
  if (replicates)
    options.take = [&](const phylo::tree_type &t) { phylo::print::write_newick(t, *replicates, s.newick); };
  try {
    phylo::bootstrap(tree, packed, options);
  } catch (const phylo::dna::undefined_distance_error &e) {
    progress.clear();
    report(name + ": in a replicate of the bootstrap, " +
           undefined_pairs_text(e, packed.labels(), s.alignment, "a tree needs every distance"));
    throw data_refused{};
  }
}

// The tree of a FASTA alignment's distances, computed in memory.
void alignment_tree(const cli::reporter &report, phylo::input_source &in, const settings &s,
                    phylo::output_sink *replicates) {
  alignment_distances d = compute_alignment_distances(report, in, s.alignment);
  const std::string place = in.name() + ": ";
  if (s.bootstrap == 0) {
    d.packed = phylo::dna::packed_alignment{}; // the sequences are no longer needed
    write_tree(report, std::move(*d.mat), s, place);
    return;
  }
  write_tree(report, std::move(*d.mat), s, place,
             [&](phylo::tree_type &tree) { bootstrap_tree(report, d.packed, s, in.name(), tree, replicates); });
}

void tree_inputs(const cli::streams_type &streams, const settings &s) {
  std::unique_ptr<phylo::output_file> replicates_file;
  std::optional<phylo::output_sink> replicates;
  if (s.replicates) {
    try {
      replicates_file = std::make_unique<phylo::output_file>(*s.replicates, phylo::output_file::on_signal::remove_file);
    } catch (const phylo::error &e) {
      streams.report(e.what());
      throw data_refused{};
    }
    replicates.emplace(phylo::output_sink::to_fd(replicates_file->fd(), *s.replicates));
  }
  distance_input_handlers handlers;
  handlers.alignment = [&](phylo::input_source &in) {
    alignment_tree(streams.report, in, s, replicates ? &*replicates : nullptr);
  };
  handlers.matrices_of = [&](phylo::input_source &in) {
    if (s.bootstrap != 0) {
      streams.report(in.name() + ": --bootstrap resamples the sites of an alignment, and a distance matrix has none");
      throw data_refused{};
    }
  };
  handlers.matrix = [&](phylo::dist_mat_access mat, const std::string &at) {
    write_tree(streams.report, std::move(*mat), s, at);
  };
  read_distance_inputs(streams, s.inputs, s.input, s.input_option, handlers);
  if (replicates) {
    replicates->flush();
    replicates_file->commit();
  }
}

} // namespace

int run_tree(const cli::streams_type &streams, std::span<char *const> args) {
  settings s;
  return cli::run_subcommand(
      streams, "tree", help_text,
      [&] {
        s = parse_settings(args);
        return s.help;
      },
      [&] { return cli::run_with_output(streams, s.output, [&] { tree_inputs(streams, s); }); });
}

} // namespace phylo_cli
