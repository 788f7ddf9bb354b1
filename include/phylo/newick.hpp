// phylo: trees in the Newick text form, written and read.
//
// A tree is written as one line: "(A:0.1,(B:0.2,C:0.3)90:0.05,D:0.4);". A label is written as
// it stands when it holds none of tree_unsafe_label_set (blanks, control characters and
// ( ) [ ] : ; , '); otherwise it is enclosed in single quotes with every quote doubled, or,
// with safe labels, has each such character made '_'. Underscores are written and read as they
// stand (readers such as ape, Biopython and ete3 keep them; strict Newick reads them as blanks).
#pragma once

#include "phylo/io.hpp"
#include "phylo/tree.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace phylo {

struct newick_options {
  // 0: each length as the shortest decimal that reads back as the same double; 1 to 17: that
  // many significant digits.
  int digits = 0;
  // Labels with characters of tree_unsafe_label_set have them made '_' instead of being quoted.
  bool safe_labels = false;
};

// Whether a label cannot be written as a bare Newick word (it is empty or holds a character of
// tree_unsafe_label_set).
bool newick_label_needs_quotes(std::string_view label) noexcept;
// The label as a Newick word: bare, quoted or made safe as described above.
std::string newick_label(std::string_view label, bool safe_labels);
// A branch length or support value as the writer writes it (a negative zero as "0").
std::string newick_number(double v, int digits);

namespace print {
// Writes the tree and ";\n" on `out`. A node's label is written after it (an internal node's
// support value when it has no label but a support value), its length after ':' when it has
// one. range_error for a tree without a root.
void write_newick(const tree_type &tree, output_sink &out, const newick_options &options = {});
} // namespace print

namespace read {
// Reads the next tree of `in`, up to and including its ';'; none when only blanks and comments
// are left. The grammar: a tree is a node and ';'; a node is either "(" node { "," node } ")"
// or nothing, followed by an optional label and an optional ":" length. A label is a bare word
// (any characters but blanks and ( ) [ ] : ; , ') or a quoted word ('...' with '' for a
// quote). Comments in square brackets may stand wherever blanks may and are skipped (they may
// nest). Lengths are decimal numbers with an optional sign and exponent. An internal label
// that is wholly a number is also taken as the node's support value. The tree is rooted when
// its root has two children.
// format_error (with the line and column of the offending character) for a text that breaks the
// grammar; end_of_input when the input ends inside a tree.
std::optional<tree_type> read_newick(input_source &in);
} // namespace read

} // namespace phylo
