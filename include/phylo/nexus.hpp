// phylo: NEXUS. Distance matrices are written in two NEXUS layouts: karvel's (print_dist_mat
// with NEXUS or NEXUS_ENCLOSED: a DISTANCES block of both triangles and a PAUP block) and
// standard NEXUS as NCL and PAUP read it (print_nexus_dist_mat: TAXA and DISTANCES blocks,
// plain decimals, quoted labels). Character matrices end in a PAUP block of their own
// (print_footer). nexus_dist_reader reads the TAXA and DISTANCES blocks of NEXUS texts:
// commands and keywords in any case, comments in brackets, 'quoted labels' with '' for an
// apostrophe, an underscore in an unquoted label standing for a blank; every form of matrix
// that FORMAT states (SplitsTree's LABELS=LEFT and NO DIAGONAL among them), interleaved blocks
// as NCL reads them, lines that end in a carriage return alone; a missing cell is refused
// unless the reader is given its value.
#pragma once

#include "phylo/io.hpp"
#include "phylo/label.hpp"
#include "phylo/types.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace phylo::read {

// The distance matrices of NEXUS texts, one after the other ("#NEXUS" may begin another text,
// whose taxa are its own): the matrix of each DISTANCES block, its taxa from the TAXA block
// before it (which may lack TAXLABELS: the matrix then names them). Other blocks are passed
// over. A cell given as missing (FORMAT MISSING=) takes `fill`; without it, it is a
// missing_pair_error (phylo/dist_reader.hpp) that names it.
class nexus_dist_reader {
public:
  nexus_dist_reader(input_source &in, std::size_t max_taxa, std::optional<float> fill = std::nullopt)
      : in_(in), max_taxa_(max_taxa), fill_(fill) {}
  // The matrix of the next DISTANCES block; null when no further block follows. The first
  // call expects "#NEXUS" (in any case) after blank lines: format_error when it is not there.
  // format_error, or range_error for a taxon count outside 1 .. max_taxa or a negative
  // distance, with the line concerned.
  dist_mat_access next();
  // The line where the last DISTANCES block began.
  std::size_t matrix_line() const noexcept { return matrix_line_; }

private:
  input_source &in_;
  std::size_t max_taxa_;
  bool started_ = false;
  std::optional<float> fill_;
  std::vector<std::string> taxa_; // the labels of the last TAXA block
  std::size_t lone_crs_ = 0;      // the line ends read that are carriage returns alone
  std::size_t matrix_line_ = 0;
};

} // namespace phylo::read

namespace phylo::print {

// The command block for the analysis program PAUP that closes a NEXUS layout, with the end
// of the block before it ("\t;", "end;"): after a DISTANCES block (15 lines) or after a DATA
// block (19 lines: the same with its pset, dset and bootstrap defaults).
enum class paup_block_type { DISTANCES, DATA };
void print_paup_block(output_sink &out, paup_block_type after);
void print_paup_block(paup_block_type after); // on the current output

// Writes a NEXUS text: "#NEXUS", a TAXA block (dimensions ntax=, taxlabels) and a DISTANCES
// block ("format triangle=lower diagonal labels missing=?") whose row i holds its label and
// cells (i, 1) .. (i, i) as plain decimals, tab-separated. Labels go through
// to_quoted_nexus_label. Does not fail.
void print_nexus_dist_mat(output_sink &out, const dist_mat_type &dist);
// How it writes a label, for check_labels.
inline constexpr label_form_type nexus_label_form = label_form_type::NEXUS_QUOTED;
void print_nexus_dist_mat(const dist_mat_type &dist); // on the current output

} // namespace phylo::print
