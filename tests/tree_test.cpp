// Tests of include/phylo/tree.hpp: negative lengths, collapsing, rooting and the order of
// children, each on a tree read from Newick text and written back. The cases are in
// tests/data/lib/tree.cases.

#include "case_table.hpp"

#include "phylo/io.hpp"
#include "phylo/newick.hpp"
#include "phylo/tree.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace phylo {
namespace {

tree_type parse(const std::string &text) {
  input_source in = input_source::from_text(text);
  return *read::read_newick(in);
}

std::string text_of(const tree_type &tree) {
  output_sink sink = output_sink::to_string();
  print::write_newick(tree, sink);
  std::string out = sink.take_text();
  out.pop_back(); // the line end
  return out + (tree.rooted ? " rooted" : "");
}

std::string negative_probe(const std::vector<std::string> &args) {
  tree_type tree = parse(args.at(1));
  fix_negative_lengths(tree, test::named<negative_rule>(args.at(0), {"keep", "zero", "transfer"}));
  return text_of(tree);
}

std::string collapse_probe(const std::vector<std::string> &args) {
  tree_type tree = parse(args.at(1));
  collapse_short_branches(tree, std::stod(args.at(0)));
  return text_of(tree);
}

std::string midpoint_probe(const std::vector<std::string> &args) {
  tree_type tree = parse(args.at(0));
  root_at_midpoint(tree);
  return text_of(tree);
}

std::string outgroup_probe(const std::vector<std::string> &args) {
  tree_type tree = parse(args.at(1));
  std::vector<std::string> labels;
  std::stringstream list(args.at(0));
  for (std::string label; std::getline(list, label, ',');) labels.push_back(label);
  try {
    root_with_outgroup(tree, labels);
  } catch (const range_error &e) {
    return std::string("!") + e.what();
  }
  return text_of(tree);
}

// support TREE REPLICATE...: the tree with each internal node's share of the replicates that
// hold its split; a refusal as !message.
std::string support_probe(const std::vector<std::string> &args) {
  tree_type tree = parse(args.at(0));
  try {
    split_support support(tree);
    for (std::size_t k = 1; k < args.size(); ++k) support.add(parse(args[k]));
    support.set_support(tree);
  } catch (const range_error &e) {
    return std::string("!") + e.what();
  }
  return text_of(tree);
}

TEST(Tree, Cases) {
  test::run_cases("tree.cases", {{"support", support_probe},
                                 {"negative", negative_probe},
                                 {"collapse", collapse_probe},
                                 {"midpoint", midpoint_probe},
                                 {"outgroup", outgroup_probe}});
}

// Past 64 leaves a split takes two words. A caterpillar of 70 leaves, ((((t0,t1),t2),...),t69),
// against the same tree with t1 and t68 exchanged: only the clade of t0 to t68 survives.
TEST(Tree, SupportOfSplitsOfMoreThan64Leaves) {
  auto caterpillar = [](std::size_t swap_a, std::size_t swap_b, const std::vector<std::string> &supports) {
    auto leaf = [&](std::size_t k) { return "t" + std::to_string(k == swap_a ? swap_b : k == swap_b ? swap_a : k); };
    std::string text = std::string(69, '(') + leaf(0);
    for (std::size_t k = 1; k < 70; ++k) text += "," + leaf(k) + ")" + (k < 69 ? supports[k] : "");
    return text + ";";
  };
  std::vector<std::string> none(70), expected(70, "0");
  expected[68] = "100";
  tree_type tree = parse(caterpillar(0, 0, none));
  split_support support(tree);
  support.add(parse(caterpillar(1, 68, none)));
  support.set_support(tree);
  EXPECT_EQ(text_of(tree), caterpillar(0, 0, expected) + " rooted");
}

TEST(Tree, AddChildAfterKeepsOrder) {
  tree_type tree;
  tree.root = tree.add_node();
  std::size_t last = no_node;
  for (int k = 0; k < 5; ++k) {
    const std::size_t c = tree.add_node(std::to_string(k));
    tree.add_child_after(tree.root, c, last);
    last = c;
  }
  EXPECT_EQ(tree.child_count(tree.root), 5u);
  EXPECT_EQ(text_of(tree), "(0,1,2,3,4);");
}

} // namespace
} // namespace phylo
