// Tests of include/phylo/newick.hpp: the writer and the reader of Newick text. The cases are in
// tests/data/lib/newick.cases.

#include "case_table.hpp"

#include "phylo/io.hpp"
#include "phylo/newick.hpp"

#include <gtest/gtest.h>

#include <string>

namespace phylo {
namespace {

// Every tree of the text, each written again, or the first error with its line and column.
std::string read_all(const std::string &text, const newick_options &options = {}) {
  input_source in = input_source::from_text(text);
  output_sink sink = output_sink::to_string();
  try {
    while (auto tree = read::read_newick(in)) print::write_newick(*tree, sink, options);
  } catch (const error &e) {
    const input_position *at = e.where();
    return sink.take_text() + "!" + e.kind() +
           (at ? " " + std::to_string(at->line) + ":" + std::to_string(at->column) : "");
  }
  return sink.take_text();
}

std::string read_probe(const std::vector<std::string> &args) { return read_all(args.at(0)); }

std::string write_probe(const std::vector<std::string> &args) {
  newick_options options;
  options.digits = std::stoi(args.at(0));
  options.safe_labels = args.at(1) == "safe";
  return read_all(args.at(2), options);
}

std::string label_probe(const std::vector<std::string> &args) {
  return newick_label(args.at(1), args.at(0) == "safe") + (newick_label_needs_quotes(args.at(1)) ? " quotes" : "");
}

std::string number_probe(const std::vector<std::string> &args) {
  return newick_number(std::stod(args.at(1)), std::stoi(args.at(0)));
}

// What the reader makes of a text: per node, its label, length, support and children.
std::string shape_probe(const std::vector<std::string> &args) {
  input_source in = input_source::from_text(args.at(0));
  const tree_type tree = *read::read_newick(in);
  std::string out = tree.rooted ? "rooted" : "unrooted";
  for (std::size_t v = 0; v < tree.size(); ++v) {
    out += " " + std::to_string(v) + "[" + tree[v].label + "]";
    if (tree[v].has_length()) out += ":" + newick_number(tree[v].length, 0);
    if (tree[v].has_support()) out += "#" + newick_number(tree[v].support, 0);
    if (tree[v].parent != no_node) out += "^" + std::to_string(tree[v].parent);
  }
  return out;
}

TEST(Newick, Cases) {
  test::run_cases("newick.cases", {{"read", read_probe},
                                   {"write", write_probe},
                                   {"label", label_probe},
                                   {"number", number_probe},
                                   {"shape", shape_probe}});
}

// A caterpillar far deeper than any recursion could go is written and read back alike.
TEST(Newick, DeepCaterpillar) {
  tree_type tree;
  tree.root = tree.add_node();
  std::size_t at = tree.root;
  const std::size_t depth = 200000;
  for (std::size_t k = 0; k < depth; ++k) {
    tree.add_child(at, tree.add_node("t" + std::to_string(k), 0.5));
    const std::size_t next = tree.add_node({}, 0.25);
    tree.add_child(at, next);
    at = next;
  }
  tree.add_child(at, tree.add_node("last", 1));
  output_sink sink = output_sink::to_string();
  print::write_newick(tree, sink);
  const std::string text = sink.take_text();
  EXPECT_EQ(text.substr(0, 12), "(t0:0.5,(t1:");
  EXPECT_EQ(read_all(text), text);
}

// The shortest lengths read back as the very same doubles.
TEST(Newick, LengthsReadBack) {
  const double values[] = {0.1, 1.0 / 3, 2.5e-300, 123456789.123456789, 5e-324, 0.30000000000000004, -1e-7};
  for (const double v : values) {
    tree_type tree;
    tree.root = tree.add_node();
    tree.add_child(tree.root, tree.add_node("a", v));
    output_sink sink = output_sink::to_string();
    print::write_newick(tree, sink);
    const std::string text = sink.take_text();
    input_source in = input_source::from_text(text);
    const tree_type back = *read::read_newick(in);
    EXPECT_EQ(back[1].length, v) << text;
  }
}

TEST(Newick, NoRoot) {
  output_sink sink = output_sink::to_string();
  EXPECT_THROW(print::write_newick(tree_type{}, sink), range_error);
}

} // namespace
} // namespace phylo
