// Newick text: the writer and the reader. Both walk the tree with an explicit stack, so that a
// caterpillar of any depth is written and read without deep recursion.

#include "phylo/newick.hpp"

#include "line_input.hpp"
#include "phylo/chars.hpp"

#include <charconv>
#include <cmath>
#include <system_error>
#include <vector>

namespace phylo {

bool newick_label_needs_quotes(std::string_view label) noexcept {
  if (label.empty()) return true;
  for (char c : label)
    if (tree_unsafe_label_set.contains(c)) return true;
  return false;
}

std::string newick_label(std::string_view label, bool safe_labels) {
  if (!newick_label_needs_quotes(label)) return std::string(label);
  if (safe_labels && !label.empty()) return apply(tree_safe_label_map, label);
  std::string quoted = "'";
  for (char c : label) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

namespace {

char *write_number(double v, int digits, char *out, char *end) {
  if (v == 0) v = 0; // -0 as 0
  const auto r =
      digits == 0 ? std::to_chars(out, end, v) : std::to_chars(out, end, v, std::chars_format::general, digits);
  return r.ptr;
}

} // namespace

std::string newick_number(double v, int digits) {
  char buf[64];
  return std::string(buf, write_number(v, digits, buf, buf + sizeof buf));
}

namespace print {

void write_newick(const tree_type &tree, output_sink &out, const newick_options &options) {
  if (tree.root == no_node || tree.root >= tree.size()) throw range_error("the tree has no root");
  auto finish_node = [&](std::size_t v) {
    const tree_node &node = tree[v];
    if (!node.label.empty() || node.is_leaf()) {
      out.write(newick_label(node.label, options.safe_labels));
    } else if (node.has_support()) {
      char *p = out.reserve(64);
      out.commit(write_number(node.support, 0, p, p + 64));
    }
    if (node.has_length() && v != tree.root) {
      char *p = out.reserve(65);
      *p++ = ':';
      out.commit(write_number(node.length, options.digits, p, p + 64));
    }
  };
  // Each node is entered (its "(" written) and left (its ")" and label written); the next
  // sibling follows with a ",".
  std::size_t v = tree.root;
  for (;;) {
    if (!tree[v].is_leaf()) {
      out.put('(');
      v = tree[v].first_child;
      continue;
    }
    // v is a leaf: write it, then climb while the node is its parent's last child.
    for (;;) {
      if (!tree[v].is_leaf()) out.put(')');
      finish_node(v);
      if (v == tree.root) {
        out.write(";\n");
        return;
      }
      if (tree[v].next_sibling != no_node) {
        out.put(',');
        v = tree[v].next_sibling;
        break;
      }
      v = tree[v].parent;
    }
  }
}

} // namespace print

namespace read {
namespace {

// Newick's punctuation; a bare word ends at any of these, at a blank or a control character.
constexpr char_set_type word_end = tree_unsafe_label_set;

class newick_parser {
public:
  explicit newick_parser(input_source &in) : in_(in) {}

  // Skips blanks, line ends and comments; returns the next byte or -1.
  int skip() {
    for (;;) {
      const int c = in_.peek();
      if (c < 0) return c;
      if (c == '[') {
        skip_comment();
        continue;
      }
      if (c > 32 && c != 127) return c;
      in_.advance();
    }
  }

  [[noreturn]] void fail(const std::string &what) { throw format_error(what, in_.position()); }
  [[noreturn]] void ends_early() {
    throw end_of_input("the input ends inside a tree (a tree ends with ';')", in_.position());
  }

  std::string quoted_label() {
    in_.advance(); // the opening quote
    std::string label;
    for (;;) {
      const int c = in_.peek();
      if (c < 0) ends_early();
      in_.advance();
      if (c == '\'') {
        if (in_.peek() == '\'') {
          in_.advance();
          label += '\'';
          continue;
        }
        return label;
      }
      label += static_cast<char>(c);
    }
  }

  std::string bare_word() {
    std::string word;
    for (int c; (c = in_.peek()) >= 0 && !word_end.contains(static_cast<unsigned char>(c)); in_.advance())
      word += static_cast<char>(c);
    return word;
  }

  double length() {
    const std::uint64_t at = in_.offset(); // its position is worked out only for a message
    const std::string word = bare_word();
    double v = 0;
    const char *first = word.data(), *last = first + word.size();
    if (first != last && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, v);
    if (word.empty() || ec != std::errc() || end != last || !std::isfinite(v))
      throw format_error(word.empty() ? "a branch length is missing after ':'"
                                      : "'" + word + "' is not a branch length",
                         in_.position_at(at));
    return v;
  }

  // The label and length that may follow a node.
  void node_tail(tree_type &tree, std::size_t v) {
    int c = skip();
    if (c == '\'') {
      tree[v].label = quoted_label();
      c = skip();
    } else if (c >= 0 && !word_end.contains(static_cast<unsigned char>(c))) {
      tree[v].label = bare_word();
      c = skip();
    }
    if (!tree[v].is_leaf() && !tree[v].label.empty()) {
      double s = 0;
      const std::string &label = tree[v].label;
      const auto [end, ec] = std::from_chars(label.data(), label.data() + label.size(), s);
      if (ec == std::errc() && end == label.data() + label.size() && std::isfinite(s)) tree[v].support = s;
    }
    if (c == ':') {
      in_.advance();
      skip();
      tree[v].length = length();
    }
  }

  tree_type tree() {
    tree_type tree;
    tree.root = tree.add_node();
    std::vector<std::size_t> open; // the nodes whose ')' is still to come
    std::vector<std::size_t> last; // the last child of each of them so far
    std::size_t v = tree.root;
    for (;;) {
      int c = skip();
      if (c < 0) ends_early();
      if (c == '(') {
        in_.advance();
        open.push_back(v);
        v = tree.add_node();
        tree.add_child_after(open.back(), v, no_node);
        last.push_back(v);
        continue;
      }
      node_tail(tree, v);
      // After a node: a ',' starts its next sibling; a ')' closes its parent, which may have a
      // tail of its own; a ';' ends the tree.
      for (;;) {
        c = skip();
        if (c < 0) ends_early();
        if (c == ')') {
          if (open.empty()) fail("')' without its '('");
          in_.advance();
          v = open.back();
          open.pop_back();
          last.pop_back();
          node_tail(tree, v);
          continue;
        }
        break;
      }
      if (c == ',') {
        if (open.empty()) fail("',' outside parentheses");
        in_.advance();
        v = tree.add_node();
        tree.add_child_after(open.back(), v, last.back());
        last.back() = v;
      } else if (c == ';') {
        if (!open.empty()) fail("';' before every '(' is closed");
        in_.advance();
        break;
      } else {
        fail(std::string("unexpected '") + static_cast<char>(c) + "' after a node");
      }
    }
    std::size_t children = 0;
    for (std::size_t k = tree[tree.root].first_child; k != no_node; k = tree[k].next_sibling) ++children;
    tree.rooted = children == 2;
    return tree;
  }

private:
  void skip_comment() {
    const std::uint64_t at = in_.offset();
    if (!detail::skip_bracket_comment(in_))
      throw end_of_input("the input ends inside the comment that begins here", in_.position_at(at));
  }

  input_source &in_;
};

} // namespace

std::optional<tree_type> read_newick(input_source &in) {
  newick_parser parser(in);
  if (parser.skip() < 0) return std::nullopt;
  return parser.tree();
}

} // namespace read
} // namespace phylo
