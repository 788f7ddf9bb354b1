// The parts of NEXUS that the other layouts' readers and writers use: the heads of karvel's
// DISTANCES block and of a DATA block, and the reader of TAXA and DISTANCES blocks that the
// recognising reader calls once a text began with #NEXUS.
#pragma once

#include "phylo/io.hpp"
#include "phylo/types.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace phylo::detail {

// "#NEXUS", an empty line, "begin distances;" and the dimensions, format and matrix lines of
// karvel's NEXUS layouts.
void print_nexus_distances_head(output_sink &out, std::size_t n_tax);
// "begin data;" and the dimensions, format (nucleotide symbols, or numbers) and matrix lines.
void print_nexus_data_head(output_sink &out, std::size_t n_tax, std::size_t n_char, bool symbols);

// Consumes "#NEXUS" (in any case) after blank lines and blanks; format_error when it is not
// there.
void start_nexus(input_source &in);
// Reads blocks up to and including the next DISTANCES block and returns its matrix; null at
// the end of the input. A TAXA block on the way sets `taxa` (empty labels when it has no
// TAXLABELS); other blocks are skipped. `lone_crs` counts the line ends that are carriage
// returns alone, which the input does not count: 0 at the start of the text, kept from one call
// to the next. A missing cell (MISSING=) takes `fill`, or raises read::missing_pair_error.
// `matrix_line` gets the line where the DISTANCES block begins. format_error, or range_error
// for a taxon count outside 1 .. max_taxa or a negative distance, with the line concerned.
dist_mat_access read_nexus_dist(input_source &in, std::vector<std::string> &taxa, std::size_t &lone_crs,
                                std::size_t max_taxa, std::optional<float> fill, std::size_t &matrix_line);

} // namespace phylo::detail
