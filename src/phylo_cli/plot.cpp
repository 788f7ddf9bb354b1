// phylo plot: every distance matrix (read as phylo tree reads it, alignments included) as an SVG
// heatmap in the order of a tree's leaves, with the tree beside it; or every Newick tree alone.

#include "commands.hpp"
#include "distance_input.hpp"
#include "options.hpp"
#include "phylo/output_file.hpp"
#include "plot_names.hpp"

#include "phylo/io.hpp"
#include "phylo/newick.hpp"
#include "phylo/plot.hpp"
#include "phylo/svg.hpp"
#include "phylo/tree.hpp"
#include "phylo/tree_build.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace phylo_cli {
namespace {

using cli::arg_kind;
using cli::data_refused;
using cli::named;
using cli::usage_error;
using phylo::svg::colour_map_type;

const std::string help_text =
    std::string("Usage: phylo plot [OPTION]... [FILE]...\n"
                "Draw every distance matrix of every FILE (standard input when there is none,\n"
                "or for \"-\"), or the distances of every FASTA alignment, as an SVG heatmap\n"
                "with its rows and columns in the order of a tree's leaves and the tree beside\n"
                "the rows; with --tree, draw every Newick tree of every FILE alone.\n"
                "\n"
                "  -O, --order=ORDER       upgma (default), nj or bionj: the leaves of that tree\n"
                "                          of the distances, drawn as a dendrogram; input: the\n"
                "                          order of the matrix, without a tree\n"
                "  -c, --colors=MAP        viridis (default), magma, inferno or grey\n"
                "      --blocks=N          at most N rows and columns of cells (1 to 4000,\n"
                "                          default 400): a larger matrix is drawn as blocks of\n"
                "                          taxa, each in the colour of the mean of its cells\n"
                "  -u, --undefined=NUMBER  cells that hold NUMBER (as phylo dist --undefined\n"
                "                          writes them) have no distance: drawn apart, left out\n"
                "                          of the scale, taken as the largest distance for the\n"
                "                          tree\n"
                "  -t, --tree              the inputs are Newick trees (as phylo tree writes\n"
                "                          them): draw each alone, branch lengths to scale\n"
                "  -j, --threads=N         compute on N threads (default: one per processor)\n") +
    model_options_help("jc69") + std::string(matrix_layout_help) + std::string(matrix_cells_help) +
    std::string("  -o, --output=FILE       write to FILE, replaced only when every picture was\n"
                "                          drawn; for several pictures FILE must hold {}, which\n"
                "                          becomes the number of each (1, 2, ...)\n"
                "  -q, --quiet             print no warnings\n"
                "  -h, --help              print this help and exit\n"
                "\n"
                "The colour of a cell goes from the smallest to the largest distance drawn\n"
                "(off the diagonal), which the colour bar shows; the diagonal and undefined\n"
                "cells have colours of their own. Labels stand beside the rows and below the\n"
                "columns where they fit, otherwise every k-th; each row names its taxa in a\n"
                "tooltip. The UPGMA tree is built by the nearest-neighbour chain, in single\n"
                "precision: the clusters of phylo tree --method=upgma, ties aside. A FASTA\n"
                "pair without a distance is drawn as undefined. Without -o a single picture\n"
                "goes to standard output.\n"
                "\n"
                "Exit status: 0 success, 1 a problem with the data or the files, 2 a mistake\n"
                "in the command line.\n");

constexpr cli::option_def own_defs[] = {
    {"order", 'O', arg_kind::REQUIRED},     {"colors", 'c', arg_kind::REQUIRED}, {"blocks", 0, arg_kind::REQUIRED},
    {"undefined", 'u', arg_kind::REQUIRED}, {"tree", 't', arg_kind::NONE},       {"threads", 'j', arg_kind::REQUIRED},
    {"output", 'o', arg_kind::REQUIRED},    {"quiet", 'q', arg_kind::NONE},      {"help", 'h', arg_kind::NONE},
};
constexpr auto defs = with_model_options(with_matrix_input(own_defs));

struct settings {
  matrix_input_settings input;
  bool input_option = false;
  alignment_settings alignment;
  std::string alignment_option; // the last option that only alignments take
  std::string matrix_option;    // the last option that only matrices and alignments take
  const named<plot_order> *order = &plot_orders[0];
  colour_map_type colours = colour_map_type::VIRIDIS;
  std::size_t blocks = 400;
  std::optional<float> undefined;
  bool trees = false;
  unsigned threads = 0;
  std::optional<std::string> output;
  bool quiet = false;
  bool help = false;
  std::vector<std::string> inputs;
};

float undefined_value(const std::string &value) {
  float v = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
  if (value.empty() || ec != std::errc() || end != value.data() + value.size() || !std::isfinite(v) || v < 0)
    throw usage_error{"--undefined=" + value + ": expected a number of at least 0"};
  return v;
}

settings parse_settings(std::span<char *const> args) {
  settings s;
  cli::parsed_args parsed = cli::parse_options(args, defs);
  for (const cli::parsed_option &o : parsed.options) {
    const std::string_view name = o.def->long_name;
    if (take_matrix_input_option(s.input, o)) {
      s.input_option = true;
      s.matrix_option = "--" + std::string(name);
      continue;
    }
    if (name == "order") s.order = pick(plot_orders, name, *o.value);
    else if (name == "colors") s.colours = pick(plot_colour_maps, name, *o.value)->value;
    else if (name == "blocks") s.blocks = static_cast<std::size_t>(parse_count(name, *o.value, 1, 4000));
    else if (name == "undefined") s.undefined = undefined_value(*o.value);
    else if (name == "tree") s.trees = true;
    else if (name == "threads") s.threads = s.alignment.threads = thread_count(*o.value);
    else if (take_model_option(s.alignment.m, o)) {
    } else if (name == "output") s.output = *o.value;
    else if (name == "quiet") s.quiet = true;
    else if (name == "help") s.help = true;
    const bool model_option = is_model_option(name);
    if (model_option) s.alignment_option = "--" + std::string(name);
    if (model_option || name == "order" || name == "blocks" || name == "undefined")
      s.matrix_option = "--" + std::string(name);
  }
  check_matrix_input_settings(s.input);
  if (s.trees && !s.matrix_option.empty())
    throw usage_error{"--tree draws trees; " + s.matrix_option + " is for matrices"};
  check_model_settings(s.alignment.m);
  if (s.input.from != phylo::read::dist_layout_type::AUTO && !s.alignment_option.empty())
    throw usage_error{s.alignment_option + " is for FASTA alignments, not for matrices read with --from"};
  s.inputs = std::move(parsed.operands);
  if (s.inputs.empty()) s.inputs.emplace_back("-");
  return s;
}

// Where the pictures go: with a pattern, picture k to its own file, every file replaced at the
// end, when all were drawn; otherwise the one picture to the current output.
class pictures {
public:
  pictures(const cli::reporter &report, const settings &s) : report_(report), s_(s) {
    pattern_ = s.output && s.output->find("{}") != std::string::npos;
  }
  bool pattern() const noexcept { return pattern_; }

  void add(const std::string &name, const std::function<void(phylo::output_sink &)> &draw) {
    ++count_;
    if (!pattern_) {
      if (count_ == 2) {
        report_(name + ": a second picture; " +
                (s_.output ? "-o " + *s_.output + " takes one (a name with {} takes several)"
                           : std::string("standard output takes one (-o with {} takes several)")));
        throw data_refused{};
      }
      draw(phylo::current_output());
      return;
    }
    std::string path = *s_.output;
    for (std::size_t at = path.find("{}"); at != std::string::npos; at = path.find("{}", at))
      path.replace(at, 2, std::to_string(count_));
    files_.push_back(std::make_unique<phylo::output_file>(path, phylo::output_file::on_signal::remove_file));
    phylo::output_sink sink = phylo::output_sink::to_fd(files_.back()->fd(), path);
    draw(sink);
    sink.flush();
  }
  void commit() {
    for (auto &f : files_) f->commit();
  }

private:
  const cli::reporter &report_;
  const settings &s_;
  bool pattern_ = false;
  std::size_t count_ = 0;
  std::vector<std::unique_ptr<phylo::output_file>> files_;
};

std::string order_text(plot_order order) {
  switch (order) {
  case plot_order::UPGMA: return "in the order of the leaves of the UPGMA tree";
  case plot_order::NJ: return "in the order of the leaves of the NJ tree";
  case plot_order::BIONJ: return "in the order of the leaves of the BIONJ tree";
  case plot_order::INPUT: break;
  }
  return "in the order of the input";
}

// A copy of the square for a tree to consume; its fresh pages are faulted in by every thread at
// once, which halves the copy of a large matrix on two cores.
phylo::dist_mat_type copy_of(const phylo::dist_mat_type &mat, const settings &s) {
  const std::size_t n = mat.n_tax();
  phylo::check_square_matrix_fits(n, sizeof(float));
  phylo::dist_mat_type work(n);
  work.labels = mat.labels;
  const unsigned threads = std::max(1u, std::min(s.threads == 0 ? phylo::dna::available_cpus() : s.threads, 8u));
  auto copy_rows = [&](unsigned k) {
    const std::size_t from = n * k / threads, to = n * (k + 1) / threads;
    if (to > from) std::memcpy(work.distances.row(from), mat.distances.row(from), (to - from) * n * sizeof(float));
  };
  std::vector<std::thread> pool;
  for (unsigned k = 1; k < threads; ++k) pool.emplace_back(copy_rows, k);
  copy_rows(0);
  for (std::thread &t : pool) t.join();
  return work;
}

// The tree of the order, built from `work`, which it consumes: undefined cells stand for the
// largest defined distance, and the diagonal is 0.
phylo::tree_type order_tree(const cli::reporter &report, phylo::dist_mat_type &&work, const settings &s,
                            std::optional<float> undefined, const std::string &at) {
  const std::size_t n = work.n_tax();
  if (undefined) {
    float largest = 0;
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j)
        if (i != j && work.distances(i, j) != *undefined) largest = std::max(largest, work.distances(i, j));
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j)
        if (work.distances(i, j) == *undefined) work.distances(i, j) = largest;
  }
  for (std::size_t i = 0; i < n; ++i) work.distances(i, i) = 0;
  return reported_tree(report, at, [&] {
    if (s.order->value == plot_order::UPGMA) return phylo::build_upgma_chain(std::move(work));
    phylo::tree_build_options options;
    options.method = s.order->value == plot_order::NJ ? phylo::tree_method::NJ : phylo::tree_method::BIONJ;
    options.threads = s.threads;
    return phylo::build_tree(std::move(work), options);
  });
}

// Draws mat, in the order of its tree unless the order is the input's. The tree consumes a
// square of its own: the matrix itself, while the picture reads a copy of its lower triangle (the
// tree refuses a matrix that is not symmetric, so the triangle gives the same picture in half the
// memory of a second square); with undefined cells, which stand for another value in the tree
// and might be all that differs between the triangles, a copy of the square.
void plot_matrix(const cli::reporter &report, pictures &out, phylo::dist_mat_access mat, const settings &s,
                 std::optional<float> undefined, const std::string &name, const std::string &at) {
  const std::size_t n = mat->n_tax();
  std::optional<phylo::tree_type> tree;
  std::optional<phylo::lower_triangle> triangle;
  std::vector<std::size_t> order;
  if (s.order->value != plot_order::INPUT && n > 0) {
    if (undefined) {
      tree = order_tree(report, copy_of(*mat, s), s, undefined, at);
    } else {
      triangle = phylo::lower_triangle_of(*mat, s.threads);
      tree = order_tree(report, std::move(*mat), s, undefined, at);
      mat.reset();
    }
    order = phylo::leaf_order(*tree);
  } else {
    for (std::size_t i = 0; i < n; ++i) order.push_back(i);
  }
  phylo::heatmap_options options;
  options.colours = s.colours;
  options.title = name;
  options.subtitle = std::to_string(n) + (n == 1 ? " taxon, " : " taxa, ") + order_text(s.order->value);
  options.undefined = undefined;
  options.max_blocks = s.blocks;
  options.threads = s.threads;
  const phylo::tree_type *drawn = tree ? &*tree : nullptr;
  out.add(name, [&](phylo::output_sink &sink) {
    if (triangle) phylo::draw_heatmap(*triangle, order, drawn, options, sink);
    else phylo::draw_heatmap(*mat, order, drawn, options, sink);
  });
}

void plot_matrices(const cli::streams_type &streams, pictures &out, const settings &s) {
  std::string current;
  std::size_t in_input = 0;
  distance_input_handlers handlers;
  handlers.alignment = [&](phylo::input_source &in) {
    alignment_settings a = s.alignment;
    a.undefined = s.undefined ? *s.undefined : phylo::max_distance;
    alignment_distances d = compute_alignment_distances(streams.report, in, a);
    if (d.undefined != 0 && !s.quiet)
      streams.report(in.name() + ": warning: the " + std::string(a.m.model->name) + " distance is undefined for " +
                     std::to_string(d.undefined) + (d.undefined == 1 ? " pair" : " pairs") + ", drawn as undefined");
    plot_matrix(streams.report, out, std::move(d.mat), s, d.undefined != 0 || s.undefined ? a.undefined : std::nullopt,
                in.name(), in.name() + ": ");
  };
  handlers.matrices_of = [&](phylo::input_source &in) { current = in.name(), in_input = 0; };
  handlers.matrix = [&](phylo::dist_mat_access mat, const std::string &at) {
    ++in_input;
    const std::string name = in_input == 1 ? current : current + ", matrix " + std::to_string(in_input);
    plot_matrix(streams.report, out, std::move(mat), s, s.undefined, name, at);
  };
  read_distance_inputs(streams, s.inputs, s.input, s.input_option, handlers);
}

void plot_trees(const cli::streams_type &streams, pictures &out, const settings &s) {
  for (const std::string &operand : s.inputs) {
    cli::input_operand opened(operand, streams.standard_input);
    phylo::input_source &in = opened.source();
    in.decompress_gzip();
    in.refuse_nul_bytes();
    std::size_t count = 0;
    while (std::optional<phylo::tree_type> tree = phylo::read::read_newick(in)) {
      ++count;
      phylo::tree_picture_options options;
      options.title = count == 1 ? in.name() : in.name() + ", tree " + std::to_string(count);
      out.add(options.title, [&](phylo::output_sink &sink) { phylo::draw_tree(*tree, options, sink); });
    }
    if (count == 0) {
      streams.report(in.name() + ": holds no tree");
      throw data_refused{};
    }
  }
}

} // namespace

int run_plot(const cli::streams_type &streams, std::span<char *const> args) {
  settings s;
  return cli::run_subcommand(
      streams, "plot", help_text,
      [&] {
        s = parse_settings(args);
        return s.help;
      },
      [&] {
        pictures out(streams.report, s);
        return cli::run_with_output(streams, out.pattern() ? std::nullopt : s.output, [&] {
          if (s.trees) plot_trees(streams, out, s);
          else plot_matrices(streams, out, s);
          out.commit();
        });
      });
}

} // namespace phylo_cli
