// The Newick reader and writer, and the rooting and collapsing of the trees read.
//
// Properties:
//   - every error is a typed one;
//   - a tree read and written reads back as the same text (labels, lengths and shape kept);
//   - midpoint rooting, collapsing and negative lengths never fail on a tree that was read, and
//     keep its leaves.
#include "fuzz_support.hpp"

#include "phylo/newick.hpp"
#include "phylo/tree.hpp"

namespace {

using namespace phylo;
using phylo::fuzz::typed_errors_only;

std::string written(const tree_type &tree) {
  static phylo::fuzz::reused_sink out;
  out.reset();
  print::write_newick(tree, out.sink());
  return out.take();
}

std::size_t leaves(const tree_type &tree) {
  std::size_t n = 0;
  for (const tree_node &node : tree.nodes) n += node.is_leaf();
  return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  input_source in = input_source::from_text(phylo::fuzz::as_text(data, size));
  for (int k = 0; k < 4; ++k) {
    std::optional<tree_type> tree;
    if (typed_errors_only([&] { tree = read::read_newick(in); }) || !tree) return 0;
    const std::string once = written(*tree);
    input_source again = input_source::from_text(once);
    std::optional<tree_type> back;
    FUZZ_CHECK(typed_errors_only([&] { back = read::read_newick(again); }) == nullptr);
    FUZZ_CHECK(back && written(*back) == once);
    const std::size_t n = leaves(*tree);
    tree_type rooted = *tree;
    root_at_midpoint(rooted);
    FUZZ_CHECK(leaves(rooted) == n);
    fix_negative_lengths(rooted, negative_rule::TRANSFER);
    collapse_short_branches(rooted, 0.5);
    FUZZ_CHECK(leaves(rooted) == n);
    written(rooted);
  }
  return 0;
}
