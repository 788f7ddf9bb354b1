// What phylo tree and phylo plot share: the distance matrices of their inputs, each read as
// phylo convert reads it, or computed in memory from a FASTA alignment as phylo dist computes
// it.
#pragma once

#include "char_input.hpp"
#include "matrix_input.hpp"
#include "shell.hpp"

#include "phylo/dna_dist.hpp"
#include "phylo/io.hpp"
#include "phylo/tree.hpp"
#include "phylo/tree_build.hpp"
#include "phylo/types.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace phylo_cli {

// The methods of phylo tree and its rules for negative branch lengths, as --method and
// --negative name them.
inline constexpr cli::named<phylo::tree_method> tree_methods[] = {
    {"nj", phylo::tree_method::NJ},
    {"bionj", phylo::tree_method::BIONJ},
    {"upgma", phylo::tree_method::UPGMA},
    {"wpgma", phylo::tree_method::WPGMA},
};
inline constexpr cli::named<phylo::negative_rule> negative_rules[] = {
    {"keep", phylo::negative_rule::KEEP},
    {"zero", phylo::negative_rule::ZERO},
    {"transfer", phylo::negative_rule::TRANSFER},
};

inline model_settings jc69_settings() {
  model_settings m;
  m.model = &fasta_models[2];
  return m;
}

// How the distances of an alignment are computed.
struct alignment_settings {
  model_settings m = jc69_settings();
  unsigned threads = 0;
  std::optional<float> undefined; // written where the model gives no distance; none: refused
};

// What becomes of each input: a FASTA alignment is handed to `alignment` unread; a text of
// matrices is first shown to `matrices_of` (when given; it may refuse it), then each of its
// matrices is handed to `matrix` with the place where it begins.
struct distance_input_handlers {
  std::function<void(phylo::input_source &in)> alignment;
  std::function<void(phylo::input_source &in)> matrices_of;
  std::function<void(phylo::dist_mat_access mat, const std::string &at)> matrix;
};

// Opens every operand ("-": standard input), decompresses gzip, refuses NUL bytes and lone
// carriage returns, tells a FASTA alignment (a text that begins with '>', unless --from says
// otherwise) from matrices and hands it on. `input_option` says that an option that only
// matrices take was given, which an alignment refuses. Problems are reported (data_refused).
void read_distance_inputs(const cli::streams_type &streams, const std::vector<std::string> &operands,
                          const matrix_input_settings &input, bool input_option,
                          const distance_input_handlers &handlers);

// The message for pairs whose distance the model does not give, which `need` (the rest of the
// sentence) cannot do without.
std::string undefined_pairs_text(const phylo::dna::undefined_distance_error &e, const std::vector<std::string> &labels,
                                 const alignment_settings &s, const std::string &need);

// The tree of a matrix by build(), its tree_input_error reported with `at` before it (and a
// hint at --symmetrize for an asymmetric matrix), data_refused.
phylo::tree_type reported_tree(const cli::reporter &report, const std::string &at,
                               const std::function<phylo::tree_type()> &build);

// A FASTA alignment read and packed, and its distances.
struct alignment_distances {
  phylo::dna::packed_alignment packed;
  std::unique_ptr<phylo::dist_mat_type> mat;
  std::uint64_t undefined = 0; // the pairs given the undefined value
};
// Reads the alignment of `in` and computes its distances (reported, data_refused, when the
// alignment cannot be read or a pair has no distance and the settings give none).
alignment_distances compute_alignment_distances(const cli::reporter &report, phylo::input_source &in,
                                                const alignment_settings &s);

} // namespace phylo_cli
