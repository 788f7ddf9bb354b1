// phylo: character matrices (one row per taxon: a label and one value per character), read
// from rows in the PHYLIP, extended and commented PHYLIP layouts and written in those and in
// two NEXUS layouts; aligned sequence sets are written in the same layouts.
#pragma once

#include "phylo/chars.hpp"
#include "phylo/io.hpp"
#include "phylo/label.hpp"
#include "phylo/types.hpp"

#include <cstddef>
#include <span>

namespace phylo::read {

// The two counts of a character-matrix header, and the line that holds the first.
struct char_mat_size {
  int n_tax;  // 1 .. max_taxa
  int n_char; // 1 .. max_chars
  std::size_t line = 0;
};

// Reads the taxon count and the character count (integers, on one line or on several) and
// skips the rest of the line holding the second. format_error when a count is no number;
// range_error for a taxon count outside 1 .. 5000 (the second count is then not read) or a
// character count outside 1 .. 1048576.
char_mat_size read_header(input_source &in);
char_mat_size read_header(); // from the current input
// Fills the labels and the cells of `mat` (whose kind says what a cell is): n_tax rows, each a
// label (PHYLIP: 10 characters; COMMENTED_PHYLIP: a word, the next word dropped; otherwise a
// word) and n_char values, which may run over several lines; the rest of the row's last line
// is ignored. QUANT cells are numbers; DISCR cells the next characters that are not
// whitespace; CNTCH cells integers, range_error when negative. A QUANT or CNTCH row's last
// number must end as a distance row's does. Comments are not touched. With `wrap` BLANK_START
// a DISCR row goes on over a line end only onto a line that begins with a blank or a tab
// (empty lines between are passed); format_error for a row that ends before its n_char
// symbols, whose next row would otherwise be taken as its symbols.
enum class row_wrap_type { ANY_LINE, BLANK_START };
void read_char_mat(input_source &in, char_format_type format, char_mat_type &mat,
                   row_wrap_type wrap = row_wrap_type::ANY_LINE);
// From the current input.
void read_char_mat(char_format_type format, char_mat_type &mat, row_wrap_type wrap = row_wrap_type::ANY_LINE);
// Reads the matrix whose header read_header gave `size`, as phylo dist reads character
// matrices: with BLANK_START rows, the blanks that pad PHYLIP labels trimmed. Before making
// room for the cells, format_error at the header's line when the rest of a text of known size
// cannot hold one character per cell; format_error there too for a PHYLIP label of 10 blanks.
// The errors of read_char_mat otherwise.
char_mat_access read_char_mat(input_source &in, char_format_type format, const char_mat_size &size, matrix_type kind);

} // namespace phylo::read

namespace phylo::print {

// Each writer writes the sink it is given; the forms without one write the current output.
//
// Writes the matrix in one of the five layouts: the count line (COMMENTED_PHYLIP with the
// trimmed matrix comment) or the NEXUS data-block header (with a ruler for DISCR data), one
// line per taxon, and the closing block of print_footer. In every layout but PHYLIP,
// range_error for an empty label before anything is written.
void print_char_mat(output_sink &out, const char_mat_type &mat, char_format_type format);
void print_char_mat(const char_mat_type &mat, char_format_type format);
// Writes an aligned sequence set as a symbol matrix in one of the five layouts.
// unaligned_error "phylo-print:330" when the sequences differ in length; range_error when
// the set is empty, the first sequence is empty or longer than max_chars, or (but in PHYLIP)
// a label is empty. Nothing is written on failure.
void print_char_mat(output_sink &out, const sequence_vecs &sequences, char_format_type format);
// The same for sequences of any number.
void print_char_mat(output_sink &out, std::span<const sequence_type> sequences, char_format_type format);
void print_char_mat(const sequence_vecs &sequences, char_format_type format);
// Writes an aligned sequence set in the sequential PHYLIP layout that tree builders (RAxML,
// IQ-TREE, PhyML, FastTree) and readers (ape, Biopython, PHYLIP) all take: the line " n m",
// then per sequence its label, a blank and its residues. Labels are written in `form`
// (TREE_SAFE, or TREE_SAFE_PHYLIP padded to 10 bytes). The same errors as print_char_mat.
void print_sequential_phylip(output_sink &out, std::span<const sequence_type> sequences, label_form_type form);
// The two ruler lines above the symbols of a NEXUS matrix: "[" fitted to width, a tab, then
// the numbers 10, 20, ... (n_char / 10 + 1 of them) right-aligned in 10 columns, and below
// them a point at every tenth column.
void print_char_nums(output_sink &out, std::size_t n_char, std::size_t width);
void print_char_nums(std::size_t n_char, std::size_t width);
// The end of the NEXUS data block and the PAUP command block; nothing for the other layouts.
void print_footer(output_sink &out, char_format_type format);
void print_footer(char_format_type format);
// Replaces every symbol of a DISCR matrix by its image under `map`; other kinds unchanged.
void convert_chars(char_mat_type &mat, const char_map_type &map);

} // namespace phylo::print
