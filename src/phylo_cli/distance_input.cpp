// The inputs of phylo tree and phylo plot.

#include "distance_input.hpp"

#include "phylo/tree_build.hpp"

namespace phylo_cli {

void read_distance_inputs(const cli::streams_type &streams, const std::vector<std::string> &operands,
                          const matrix_input_settings &input, bool input_option,
                          const distance_input_handlers &handlers) {
  const std::vector<std::string> taxa = wanted_taxa(streams.report, input);
  for (const std::string &operand : operands) {
    cli::input_operand opened(operand, streams.standard_input);
    phylo::input_source &in = opened.source();
    in.decompress_gzip();
    in.refuse_nul_bytes();
    const bool fasta = input.from == phylo::read::dist_layout_type::AUTO && looks_like_fasta(in);
    cli::refuse_cr_line_ends(streams.report, in, !fasta);
    if (fasta) {
      if (input_option) {
        streams.report(in.name() + ": is a FASTA alignment; --from, --shape, --symmetrize, --column, --fill, "
                                   "--similarity, --taxa and --taxa-file are for distance matrices");
        throw cli::data_refused{};
      }
      handlers.alignment(in);
    } else {
      if (handlers.matrices_of) handlers.matrices_of(in);
      read_matrices(streams.report, in, input, taxa, handlers.matrix);
    }
  }
}

std::string undefined_pairs_text(const phylo::dna::undefined_distance_error &e, const std::vector<std::string> &labels,
                                 const alignment_settings &s, const std::string &need) {
  const auto &p = e.first.front();
  return "the " + std::string(s.m.model->name) + " distance is undefined for " + std::to_string(e.count) +
         (e.count == 1 ? " pair" : " pairs") + ", the first " + phylo::quote_text(labels[p.j]) + " and " +
         phylo::quote_text(labels[p.i]) + " (" + std::to_string(p.differing) + " of " + std::to_string(p.sites) +
         " sites differ); " + need;
}

phylo::tree_type reported_tree(const cli::reporter &report, const std::string &at,
                               const std::function<phylo::tree_type()> &build) {
  try {
    return build();
  } catch (const phylo::tree_input_error &e) {
    std::string text = at + e.what();
    if (e.problem == phylo::tree_input_problem::ASYMMETRIC)
      text += "; say --symmetrize=lower, upper or mean to proceed";
    report(text);
    throw cli::data_refused{};
  }
}

alignment_distances compute_alignment_distances(const cli::reporter &report, phylo::input_source &in,
                                                const alignment_settings &s) {
  alignment_distances out{read_packed_alignment(report, in, s.m), nullptr, 0};
  out.mat = std::make_unique<phylo::dist_mat_type>(out.packed.size());
  phylo::dna::dist_options options = model_dist_options(s.m);
  options.threads = s.threads;
  options.undefined_value = s.undefined;
  try {
    out.undefined = phylo::dna::dna_dist(out.packed, options, *out.mat);
  } catch (const phylo::dna::undefined_distance_error &e) {
    report(in.name() + ": " + undefined_pairs_text(e, out.packed.labels(), s, "a tree needs every distance"));
    throw cli::data_refused{};
  }
  return out;
}

} // namespace phylo_cli
