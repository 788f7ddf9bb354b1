// phylo: distance matrices as lists of pairs with a header line, one pair per line, as R's
// read.table and pandas' read_csv read them. The reader, which the recognising reader
// (phylo/dist_reader.hpp) uses for the layout PAIRS, also reads the lists that mash,
// snp-dists, fastANI and mothur write.
#pragma once

#include "phylo/io.hpp"
#include "phylo/label.hpp"
#include "phylo/types.hpp"

#include <optional>
#include <string_view>

namespace phylo::read {

// A list of pairs, read to the end of the input: one pair per record, the two labels in the
// first two fields and the distance in field `column` (from 1, at least 3); further fields are
// ignored, and a first record whose distance field is no number is a header. Taxa stand in the
// order in which they first appear; (a, a) sets the diagonal, which is zero otherwise; (a, b)
// alone sets both cells. A pair that no record gives takes `fill`, or raises
// missing_pair_error (phylo/dist_reader.hpp); one pair given twice in one order with different
// values is a format_error. Memory: 12 bytes per record and the labels, then the matrix.
dist_mat_access read_pairs_dist_mat(input_source &in, std::size_t column, std::optional<float> fill,
                                    std::size_t max_taxa);

} // namespace phylo::read

namespace phylo::print {

// Writes the header line "taxon1<TAB>taxon2<TAB>distance", then one line per pair (i, j) with
// i < j: the two labels and the distance, tab-separated; the distance as the shortest plain
// decimal that reads back (digits 0) or rounded to `digits` significant digits (1 to 9).
void print_pairs_dist_mat(output_sink &out, const dist_mat_type &dist, int digits = 0);
// How it writes a label, for check_labels.
inline constexpr label_form_type pairs_label_form = label_form_type::CELL;

// The header line and one pair's line of print_pairs_dist_mat, for lists written pair by pair.
void print_pairs_header(output_sink &out);
void print_pair_line(output_sink &out, std::string_view first, std::string_view second, float value, int digits = 0);

} // namespace phylo::print
