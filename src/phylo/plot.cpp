// Heatmaps of distance matrices and pictures of trees.

#include "phylo/plot.hpp"

#include "phylo/dna_dist.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <thread>

namespace phylo {

namespace {

using svg::number;

// A value as the colour bar and the notes give it: 4 significant digits.
std::string value_text(double v) {
  if (v == 0) v = 0;
  char buf[32];
  const int n = std::snprintf(buf, sizeof buf, "%.4g", v);
  return std::string(buf, static_cast<std::size_t>(n));
}

// At most `most` characters of a label (UTF-8 sequences kept whole), an ellipsis marking a cut.
std::string shortened(const std::string &label, std::size_t most, std::size_t &characters) {
  characters = 0;
  for (std::size_t k = 0; k < label.size(); ++k) {
    if ((static_cast<unsigned char>(label[k]) & 0xC0u) == 0x80u) continue;
    if (characters == most) return label.substr(0, k) + "\xE2\x80\xA6";
    ++characters;
  }
  return label;
}

// The largest of 1, 2 and 5 times a power of ten that is at most v (v > 0).
double round_step(double v) {
  const double power = std::pow(10.0, std::floor(std::log10(v)));
  for (double m : {5.0, 2.0, 1.0})
    if (m * power <= v) return m * power;
  return power;
}

// Where the nodes of a tree stand: the depth of each from the root (lengths below 0 as 0, none
// as 0, or as 1 when the tree has no length at all), the positions of the leaves below it (the
// leaves numbered in leaf_order), and the depth of its deepest leaf.
struct tree_layout {
  std::vector<std::size_t> preorder, leaves;
  std::vector<double> depth, deepest;
  std::vector<std::size_t> first, last;
  bool lengths = false;
  double max_depth = 0;
};

tree_layout lay_out(const tree_type &tree) {
  if (tree.root == no_node || tree.root >= tree.size()) throw range_error("the tree has no root");
  tree_layout t;
  for (const tree_node &v : tree.nodes) t.lengths = t.lengths || v.has_length();
  const std::size_t size = tree.size();
  t.depth.assign(size, 0), t.deepest.assign(size, 0);
  t.first.assign(size, 0), t.last.assign(size, 0);
  std::vector<std::size_t> stack{tree.root}, children;
  while (!stack.empty()) {
    const std::size_t v = stack.back();
    stack.pop_back();
    t.preorder.push_back(v);
    children.clear();
    for (std::size_t c = tree[v].first_child; c != no_node; c = tree[c].next_sibling) {
      const double length = !t.lengths ? 1.0 : tree[c].has_length() ? std::max(0.0, tree[c].length) : 0.0;
      t.depth[c] = t.depth[v] + length;
      children.push_back(c);
    }
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
  for (std::size_t v : t.preorder)
    if (tree[v].is_leaf()) t.first[v] = t.last[v] = t.leaves.size(), t.leaves.push_back(v);
  for (auto it = t.preorder.rbegin(); it != t.preorder.rend(); ++it) {
    const std::size_t v = *it;
    if (tree[v].is_leaf()) {
      t.deepest[v] = t.depth[v];
      continue;
    }
    t.first[v] = std::numeric_limits<std::size_t>::max();
    for (std::size_t c = tree[v].first_child; c != no_node; c = tree[c].next_sibling) {
      t.first[v] = std::min(t.first[v], t.first[c]);
      t.last[v] = std::max(t.last[v], t.last[c]);
      t.deepest[v] = std::max(t.deepest[v], t.deepest[c]);
    }
  }
  t.max_depth = t.deepest[tree.root];
  return t;
}

// The branches of a tree as path data: x = x0 + depth * scale, y = pixel(position) of the leaf
// positions (leaf k at k + 0.5). A subtree whose leaves span fewer than `least` positions is
// drawn as one line to its deepest leaf, at the middle of its leaves. The y of every node drawn
// goes to `ys`.
std::string branch_path(const tree_type &tree, const tree_layout &t, double x0, double scale, double least,
                        const std::function<double(double)> &pixel, std::vector<double> &ys) {
  const std::size_t size = tree.size();
  std::vector<char> whole(size, 0); // drawn as one line
  ys.assign(size, 0);
  for (std::size_t v : t.preorder)
    whole[v] = tree[v].is_leaf() || static_cast<double>(t.last[v] - t.first[v] + 1) < least;
  std::vector<double> pos(size, 0); // in leaf positions
  for (auto it = t.preorder.rbegin(); it != t.preorder.rend(); ++it) {
    const std::size_t v = *it;
    if (whole[v]) {
      pos[v] = (static_cast<double>(t.first[v]) + static_cast<double>(t.last[v]) + 1) / 2;
    } else {
      std::size_t last = tree[v].first_child;
      while (tree[last].next_sibling != no_node) last = tree[last].next_sibling;
      pos[v] = (pos[tree[v].first_child] + pos[last]) / 2;
    }
    ys[v] = pixel(pos[v]);
  }
  std::string d;
  std::vector<char> hidden(size, 0);
  for (std::size_t v : t.preorder) {
    if (hidden[v] || whole[v]) {
      for (std::size_t c = tree[v].first_child; c != no_node; c = tree[c].next_sibling) hidden[c] = 1;
      continue;
    }
    const std::string x = number(x0 + t.depth[v] * scale);
    std::size_t last = tree[v].first_child;
    while (tree[last].next_sibling != no_node) last = tree[last].next_sibling;
    d += "M" + x + " " + number(ys[tree[v].first_child]) + "V" + number(ys[last]);
    for (std::size_t c = tree[v].first_child; c != no_node; c = tree[c].next_sibling)
      d += "M" + x + " " + number(ys[c]) + "H" + number(x0 + (whole[c] ? t.deepest[c] : t.depth[c]) * scale);
  }
  return d;
}

void append_int(std::string &to, long long v) {
  char buf[24];
  to.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

constexpr double margin = 10, title_y = 24, subtitle_y = 44, top = 60;
constexpr double dendrogram_width = 160, heatmap_side = 800, bar_width = 16, bar_height = 256;
constexpr double char_width = 0.6; // an estimate of a character's width, in font sizes

} // namespace

std::vector<std::size_t> leaf_order(const tree_type &tree) { return lay_out(tree).leaves; }

namespace {

unsigned workers_for(unsigned threads, std::size_t rows) {
  return static_cast<unsigned>(std::max<std::size_t>(
      1, std::min<std::size_t>(threads == 0 ? dna::available_cpus() : threads, std::min<std::size_t>(rows, 16))));
}

// Runs work(k) for k in [0, workers) on as many threads, this one among them.
template <class Work> void on_threads(unsigned workers, Work &&work) {
  std::vector<std::thread> pool;
  for (unsigned w = 1; w < workers; ++w) pool.emplace_back(work, w);
  work(0u);
  for (std::thread &t : pool) t.join();
}

// The block means of n taxa in `order`. Each thread sums its share of the rows: add_row(i,
// block_of, sums, counts) adds the cells of row i into the sums and counts of their columns'
// blocks. With `mirror` (the rows of a lower triangle), what a row adds counts for the blocks
// (row, column) and (column, row) both.
template <class AddRow>
block_grid sum_blocks(std::size_t n, std::span<const std::size_t> order, std::size_t max_blocks, unsigned threads,
                      bool mirror, AddRow &&add_row) {
  if (max_blocks == 0) throw range_error("a picture needs at least one block a side");
  if (order.size() != n) throw range_error("the order does not hold every taxon once");
  std::vector<std::size_t> place(n, n);
  for (std::size_t a = 0; a < n; ++a) {
    if (order[a] >= n || place[order[a]] != n) throw range_error("the order does not hold every taxon once");
    place[order[a]] = a;
  }
  block_grid g;
  g.taxa_per_block = n == 0 ? 1 : (n + max_blocks - 1) / max_blocks;
  g.blocks = (n + g.taxa_per_block - 1) / g.taxa_per_block;
  const std::size_t b = g.blocks;
  std::vector<std::uint32_t> block_of(n); // of each taxon
  for (std::size_t i = 0; i < n; ++i) block_of[i] = static_cast<std::uint32_t>(place[i] / g.taxa_per_block);
  // Each thread sums the rows of its share into tables of its own, added up at the end.
  const unsigned workers = workers_for(threads, n);
  std::vector<std::vector<double>> sums(workers, std::vector<double>(b * b, 0.0));
  std::vector<std::vector<std::uint64_t>> counts(workers, std::vector<std::uint64_t>(b * b, 0));
  on_threads(workers, [&](unsigned worker) {
    std::vector<double> row_sums(b);
    std::vector<std::uint32_t> row_counts(b);
    for (std::size_t i = worker; i < n; i += workers) {
      std::fill(row_sums.begin(), row_sums.end(), 0.0);
      std::fill(row_counts.begin(), row_counts.end(), 0u);
      add_row(i, block_of.data(), row_sums.data(), row_counts.data());
      double *sum = sums[worker].data();
      std::uint64_t *count = counts[worker].data();
      const std::size_t r = block_of[i];
      for (std::size_t c = 0; c < b; ++c) sum[r * b + c] += row_sums[c], count[r * b + c] += row_counts[c];
      if (mirror)
        for (std::size_t c = 0; c < b; ++c) sum[c * b + r] += row_sums[c], count[c * b + r] += row_counts[c];
    }
  });
  for (unsigned w = 1; w < workers; ++w)
    for (std::size_t k = 0; k < b * b; ++k) sums[0][k] += sums[w][k], counts[0][k] += counts[w][k];
  g.means.resize(b * b);
  for (std::size_t k = 0; k < b * b; ++k)
    g.means[k] = counts[0][k] == 0 ? std::numeric_limits<float>::quiet_NaN()
                                   : static_cast<float>(sums[0][k] / static_cast<double>(counts[0][k]));
  return g;
}

// Adds cells[j] for j in [0, end) but `skipped` into the sums of their blocks, leaving out NaN and
// `undefined`.
void add_cells(const float *cells, std::size_t end, std::size_t skipped, std::optional<float> undefined,
               const std::uint32_t *block_of, double *sums, std::uint32_t *counts) {
  for (std::size_t j = 0; j < end; ++j) {
    const float v = cells[j];
    if (j == skipped || std::isnan(v) || (undefined && v == *undefined)) continue;
    sums[block_of[j]] += v;
    ++counts[block_of[j]];
  }
}

// Where row i of a lower triangle begins in its cells.
std::size_t row_start(std::size_t i) { return i * (i - 1) / 2; }

} // namespace

block_grid block_means(const dist_mat_type &mat, std::span<const std::size_t> order, std::size_t max_blocks,
                       std::optional<float> undefined, unsigned threads) {
  const std::size_t n = mat.n_tax();
  return sum_blocks(n, order, max_blocks, threads, false,
                    [&](std::size_t i, const std::uint32_t *block_of, double *sums, std::uint32_t *counts) {
                      add_cells(mat.distances.row(i), n, i, undefined, block_of, sums, counts);
                    });
}

block_grid block_means(const lower_triangle &tri, std::span<const std::size_t> order, std::size_t max_blocks,
                       std::optional<float> undefined, unsigned threads) {
  return sum_blocks(tri.n_tax(), order, max_blocks, threads, true,
                    [&](std::size_t i, const std::uint32_t *block_of, double *sums, std::uint32_t *counts) {
                      add_cells(tri.cells.data() + row_start(i), i, i, undefined, block_of, sums, counts);
                    });
}

lower_triangle lower_triangle_of(const dist_mat_type &mat, unsigned threads) {
  const std::size_t n = mat.n_tax();
  lower_triangle tri{mat.labels, fixed_array<float>(n < 2 ? 0 : n * (n - 1) / 2)};
  // Rows in turn, so that each thread copies about as many cells and faults in its own pages.
  const unsigned workers = workers_for(threads, n);
  on_threads(workers, [&](unsigned worker) {
    for (std::size_t i = worker; i < n; i += workers)
      std::copy(mat.distances.row(i), mat.distances.row(i) + i, tri.cells.data() + row_start(i));
  });
  return tri;
}

namespace {

template <class Matrix>
void draw_heatmap_of(const Matrix &mat, std::span<const std::size_t> order, const tree_type *tree,
                     const heatmap_options &options, output_sink &out) {
  const std::size_t n = mat.n_tax();
  if (n == 0) throw range_error("a matrix without taxa has no picture");
  const block_grid grid = block_means(mat, order, options.max_blocks, options.undefined, options.threads);
  tree_layout layout;
  if (tree) {
    layout = lay_out(*tree);
    if (layout.leaves.size() != n || !std::equal(layout.leaves.begin(), layout.leaves.end(), order.begin()))
      throw range_error("the tree's leaves are not the taxa in the order of the rows");
  }
  const std::size_t b = grid.blocks, k = grid.taxa_per_block;
  const double cell = std::clamp(std::floor(heatmap_side / static_cast<double>(b)), 1.0, 24.0);
  const double side = cell * static_cast<double>(b);
  // The pixel of a position along the rows (0 .. n) from the heatmap's edge; the last block may
  // hold fewer taxa than the others.
  auto along = [&](double u) {
    const std::size_t block = std::min(static_cast<std::size_t>(u / static_cast<double>(k)), b - 1);
    const double held = static_cast<double>(std::min(k, n - block * k));
    return (static_cast<double>(block) + (u - static_cast<double>(block * k)) / held) * cell;
  };
  const double pitch = side / static_cast<double>(n);

  // The range of the colours, and whether a cell is undefined.
  double low = std::numeric_limits<double>::infinity(), high = -low;
  bool undefined_seen = options.undefined.has_value();
  for (std::size_t r = 0; r < b; ++r)
    for (std::size_t c = 0; c < b; ++c) {
      const float m = grid.means[r * b + c];
      if (r == c) continue;
      if (std::isnan(m)) undefined_seen = true;
      else low = std::min(low, static_cast<double>(m)), high = std::max(high, static_cast<double>(m));
    }
  const bool any_value = low <= high;
  if (!any_value) low = high = 0;
  const svg::accent_colours accent = svg::accents(options.colours);
  const auto &table = svg::colour_table(options.colours);
  auto entry = [&](double v) { return high > low ? svg::colour_index((v - low) / (high - low)) : std::size_t{0}; };

  // Labels: every one where a row is high enough to read them, otherwise every step-th.
  std::size_t step = 1;
  double font = std::min(12.0, pitch * 0.8);
  if (pitch < 10) step = static_cast<std::size_t>(std::ceil(10 / pitch)), font = 8;
  std::vector<std::string> shown;
  std::size_t widest = 0;
  for (std::size_t a = 0; a < n; a += step) {
    std::size_t chars = 0;
    shown.push_back(shortened(mat.labels[order[a]], 40, chars));
    widest = std::max(widest, chars + (chars == 40 ? 1 : 0));
  }
  const double label_room = 6 + char_width * font * static_cast<double>(widest);
  const double x0 = margin + (tree ? dendrogram_width + 6 : 0), y0 = top;
  const double bar_x = x0 + side + label_room + 16;
  const double width = std::ceil(bar_x + bar_width + 210);
  const double height = std::ceil(std::max(y0 + side + label_room, y0 + bar_height + 100) + margin);

  svg::writer w(out);
  w.start_document(width, height, options.title);
  w.open("g", {{"font-family", "sans-serif"}});
  w.empty("rect", {{"width", width}, {"height", height}, {"fill", "#ffffff"}});
  w.element("text", {{"x", margin}, {"y", title_y}, {"font-size", 16.0}, {"font-weight", "bold"}}, options.title);
  if (!options.subtitle.empty())
    w.element("text", {{"x", margin}, {"y", subtitle_y}, {"font-size", 11.0}}, options.subtitle);
  w.raw("\n");

  // The cells: one path per colour, each run of blocks of a colour along a row one rectangle,
  // in units of blocks.
  w.open("g", {{"transform", "translate(" + number(x0) + " " + number(y0) + ") scale(" + number(cell) + ")"},
               {"shape-rendering", "crispEdges"}});
  constexpr std::size_t diagonal_class = 256, undefined_class = 257;
  std::vector<std::string> paths(258);
  std::vector<std::pair<long long, long long>> at(258, {-1, -1}); // each path's current start
  for (std::size_t r = 0; r < b; ++r)
    for (std::size_t c = 0; c < b;) {
      auto class_of = [&](std::size_t cc) {
        const float m = grid.means[r * b + cc];
        return cc == r ? diagonal_class : std::isnan(m) ? undefined_class : entry(m);
      };
      const std::size_t cls = class_of(c);
      std::size_t end = c + 1;
      while (end < b && class_of(end) == cls) ++end;
      std::string &d = paths[cls];
      const auto x = static_cast<long long>(c), y = static_cast<long long>(r);
      if (at[cls].first < 0) d += 'M', append_int(d, x), d += ' ', append_int(d, y);
      else d += 'm', append_int(d, x - at[cls].first), d += ' ', append_int(d, y - at[cls].second);
      at[cls] = {x, y};
      d += 'h', append_int(d, static_cast<long long>(end - c)), d += "v1h-";
      append_int(d, static_cast<long long>(end - c)), d += 'z';
      c = end;
    }
  for (std::size_t cls = 0; cls < paths.size(); ++cls) {
    if (paths[cls].empty()) continue;
    const svg::rgb colour = cls == diagonal_class    ? accent.diagonal
                            : cls == undefined_class ? accent.undefined
                                                     : table[cls];
    w.raw("\n<path fill=\"" + svg::hex(colour) + "\" d=\"");
    w.raw(paths[cls]);
    w.raw("\"/>");
  }
  w.close();
  w.raw("\n");

  // The dendrogram, its leaves at the middle of their rows.
  if (tree) {
    const double scale = layout.max_depth > 0 ? dendrogram_width / layout.max_depth : 0;
    std::vector<double> ys;
    const std::string d = branch_path(
        *tree, layout, margin, scale, 3 / pitch, [&](double u) { return y0 + along(u); }, ys);
    w.empty("path",
            {{"class", "dendrogram"}, {"fill", "none"}, {"stroke", "#333333"}, {"stroke-width", 1.0}, {"d", d}});
    w.raw("\n");
  }

  // Labels of the rows (right) and of the columns (below, turned).
  w.open("g", {{"font-size", font}, {"fill", "#000000"}});
  for (std::size_t s = 0; s < shown.size(); ++s) {
    const double mid = along(static_cast<double>(s * step) + 0.5);
    const std::string ry = number(y0 + mid), cx = number(x0 + mid), cy = number(y0 + side + 4);
    w.element("text", {{"class", "row"}, {"x", x0 + side + 4}, {"y", ry}, {"dominant-baseline", "central"}}, shown[s]);
    w.element("text",
              {{"class", "column"},
               {"x", cx},
               {"y", cy},
               {"dominant-baseline", "central"},
               {"transform", "rotate(90 " + cx + " " + cy + ")"}},
              shown[s]);
    w.raw("\n");
  }
  w.close();

  // A tooltip on each row of blocks: the labels of its taxa.
  w.open("g", {{"class", "tooltips"}, {"fill", "#000000"}, {"fill-opacity", 0.0}});
  for (std::size_t r = 0; r < b; ++r) {
    std::string names;
    for (std::size_t a = r * k; a < std::min(n, (r + 1) * k); ++a)
      names += (names.empty() ? "" : ", ") + mat.labels[order[a]];
    w.open("rect",
           {{"x", x0}, {"y", y0 + static_cast<double>(r) * cell}, {"width", side + label_room}, {"height", cell}});
    w.element("title", {}, names);
    w.close();
    w.raw("\n");
  }
  w.close();

  // The colour bar, low values at the bottom, with round values beside it.
  w.open("g", {{"class", "colour-bar"}, {"shape-rendering", "crispEdges"}});
  for (std::size_t e = 0; e < 256; ++e)
    w.empty("rect", {{"x", bar_x},
                     {"y", y0 + bar_height - static_cast<double>(e + 1)},
                     {"width", bar_width},
                     {"height", 1.0},
                     {"fill", svg::hex(table[e])}});
  w.close();
  w.open("g", {{"font-size", 10.0}});
  std::vector<double> ticks{low};
  if (high > low) {
    const double unit = round_step((high - low) / 4);
    ticks.clear();
    for (double v = std::ceil(low / unit) * unit; v <= high + unit * 1e-9; v += unit) ticks.push_back(v);
  }
  for (double v : ticks) {
    const double y = y0 + bar_height - (high > low ? (v - low) / (high - low) : 0) * bar_height;
    w.empty("rect", {{"x", bar_x + bar_width}, {"y", y - 0.5}, {"width", 4.0}, {"height", 1.0}});
    w.element("text", {{"x", bar_x + bar_width + 7}, {"y", y}, {"dominant-baseline", "central"}},
              value_text(std::fabs(v) < 1e-12 * (high - low) ? 0 : v));
  }
  w.close();

  // The legend of what the colour map does not show.
  double y = y0 + bar_height + 24;
  w.open("g", {{"class", "legend"}, {"font-size", 11.0}});
  auto swatch = [&](svg::rgb colour, const std::string &text) {
    w.empty("rect", {{"x", bar_x},
                     {"y", y - 6},
                     {"width", 12.0},
                     {"height", 12.0},
                     {"fill", svg::hex(colour)},
                     {"stroke", "#000000"},
                     {"stroke-width", 0.5}});
    w.element("text", {{"x", bar_x + 18}, {"y", y}, {"dominant-baseline", "central"}}, text);
    y += 18;
  };
  swatch(accent.diagonal, "diagonal");
  if (undefined_seen) swatch(accent.undefined, "undefined");
  if (k > 1) {
    w.element("text", {{"x", bar_x}, {"y", y}, {"dominant-baseline", "central"}},
              "a cell: the mean of " + std::to_string(k) + " x " + std::to_string(k) + " taxa");
    y += 18;
  }
  w.element("text", {{"x", bar_x}, {"y", y}, {"dominant-baseline", "central"}},
            std::to_string(n) + (n == 1 ? " taxon" : " taxa"));
  w.close();
  w.finish();
}

} // namespace

void draw_heatmap(const dist_mat_type &mat, std::span<const std::size_t> order, const tree_type *tree,
                  const heatmap_options &options, output_sink &out) {
  draw_heatmap_of(mat, order, tree, options, out);
}

void draw_heatmap(const lower_triangle &tri, std::span<const std::size_t> order, const tree_type *tree,
                  const heatmap_options &options, output_sink &out) {
  draw_heatmap_of(tri, order, tree, options, out);
}

void draw_tree(const tree_type &tree, const tree_picture_options &options, output_sink &out) {
  const tree_layout t = lay_out(tree);
  constexpr double pitch = 18, depth_width = 500, font = 12;
  const double x0 = margin + 4, y0 = top;
  const double scale = t.max_depth > 0 ? depth_width / t.max_depth : 0;
  std::vector<std::string> labels;
  std::size_t widest = 0;
  for (std::size_t v : t.leaves) {
    std::size_t chars = 0;
    labels.push_back(shortened(tree[v].label, 60, chars));
    widest = std::max(widest, chars + 1);
  }
  const double leaves_height = pitch * static_cast<double>(t.leaves.size());
  const bool bar = t.lengths && t.max_depth > 0;
  const double width = std::ceil(x0 + depth_width + 6 + char_width * font * static_cast<double>(widest) + margin);
  const double height = std::ceil(y0 + leaves_height + (bar ? 50 : 10));

  svg::writer w(out);
  w.start_document(width, height, options.title);
  w.open("g", {{"font-family", "sans-serif"}});
  w.empty("rect", {{"width", width}, {"height", height}, {"fill", "#ffffff"}});
  w.element("text", {{"x", margin}, {"y", title_y}, {"font-size", 16.0}, {"font-weight", "bold"}}, options.title);
  w.raw("\n");
  std::vector<double> ys;
  const std::string d = branch_path(
      tree, t, x0, scale, 0, [&](double u) { return y0 + u * pitch; }, ys);
  w.empty("path", {{"class", "branches"},
                   {"fill", "none"},
                   {"stroke", "#000000"},
                   {"stroke-width", 1.5},
                   {"stroke-linecap", "square"},
                   {"d", d}});
  w.raw("\n");
  w.open("g", {{"class", "tips"}, {"font-size", font}});
  for (std::size_t k = 0; k < t.leaves.size(); ++k) {
    const std::size_t v = t.leaves[k];
    const svg::attributes at = {{"x", x0 + t.depth[v] * scale + 5}, {"y", ys[v]}, {"dominant-baseline", "central"}};
    if (labels[k].size() == tree[v].label.size()) {
      w.element("text", at, labels[k]);
    } else {
      w.open("text", at);
      w.element("title", {}, tree[v].label);
      w.text(labels[k]);
      w.close();
    }
    w.raw("\n");
  }
  w.close();
  w.open("g", {{"class", "support"}, {"font-size", 10.0}, {"fill", "#555555"}, {"text-anchor", "end"}});
  for (std::size_t v : t.preorder) {
    if (tree[v].is_leaf() || v == tree.root) continue;
    const std::string text = !tree[v].label.empty()  ? tree[v].label
                             : tree[v].has_support() ? value_text(tree[v].support)
                                                     : "";
    if (text.empty()) continue;
    w.element("text", {{"x", x0 + t.depth[v] * scale - 3}, {"y", ys[v] - 4}}, text);
    w.raw("\n");
  }
  w.close();
  if (bar) {
    const double length = round_step(t.max_depth / 5), y = y0 + leaves_height + 20;
    w.open("g", {{"class", "scale-bar"}});
    w.empty("path", {{"stroke", "#000000"},
                     {"stroke-width", 1.5},
                     {"d", "M" + number(x0) + " " + number(y) + "H" + number(x0 + length * scale)}});
    w.element("text", {{"x", x0 + length * scale / 2}, {"y", y + 16}, {"font-size", 11.0}, {"text-anchor", "middle"}},
              value_text(length));
    w.close();
  }
  w.finish();
}

} // namespace phylo
