// phylo::read: readers of the current input (see phylo/io.hpp).
//
// Line ends are line feeds. A carriage return is an ordinary (control) character.
#pragma once

#include "phylo/chars.hpp"
#include "phylo/types.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace phylo::read {

// Capacity of the line buffers of the line-oriented readers.
inline constexpr std::size_t max_line_len = 10000;

// ---- Input primitives ------------------------------------------------------------------

// The next character; line ends are passed over and never returned. end_of_input at the end.
char read_char();
// Passes over blanks, tabs and line ends, then reads [+-]digits and stops at the first
// character that cannot continue it (left unread). format_error when no integer starts
// there or it does not fit 32 bits; end_of_input when the input ends first.
std::int32_t read_integer();
// As read_integer for [+-]digits[.digits][(E|e)[+-]digits], rounded correctly to single
// precision; a value that underflows becomes zero of its sign. format_error for an
// incomplete number ("1.", "1e", a lone sign) and for a value beyond the largest float.
float read_real();
// True when the next character is a line end or the input is exhausted; consumes nothing.
bool at_end_of_line();
// Discards everything up to and including the next line end; the end of input counts as a
// line end when at least one character remains. end_of_input when nothing remains.
void skip_line();
// Ends a row: like skip_line, but also quiet when the input is already exhausted.
void end_row();
// True when nothing but blanks, tabs, carriage returns and line feeds is left. Before a header
// that begins with a number (every distance layout but TAB, character matrices): the blanks,
// tabs and line feeds that the number reader would pass over are consumed, and a carriage
// return, on which it fails, is left where it is. Memory stays bounded however long the run
// of blanks: blanks that the next reader does not reach may be dropped (line() still counts
// their line ends).
bool at_end();
// The same before read_dist_header(format). For TAB the next line, whose tabs the header
// reader counts, is left as it is.
bool at_end(dist_format_type format);

// ---- Words and labels ------------------------------------------------------------------

// One word: delimiters before it are skipped (line ends too); it ends at a delimiter
// (consumed) or at a line end (left unread) and is never empty. end_of_input when the input
// ends before the word begins.
std::string get_word(const char_set_type &delimiters);
// Consumes one word exactly as get_word would and discards it.
void skip_word(const char_set_type &delimiters);
// The next character that is not in `set` (line ends are passed over). end_of_input at the end.
char get_black(const char_set_type &set);
// The characters of `text` that are not in `set`, in order.
std::string black_only(std::string_view text, const char_set_type &set);
// Appends the characters of `text` that are not in `set` to `target`.
void append_black(std::string &target, std::string_view text, const char_set_type &set);

// One taxon label: PHYLIP takes exactly the next 10 characters (line ends not counted);
// EXTENDED_PHYLIP a word delimited by whitespace; COMMENTED_PHYLIP such a word and then
// discards the next word; TAB_SEPARATED a word delimited by control characters.
std::string read_label(label_format_type format);

// ---- Distance matrices -----------------------------------------------------------------

// The taxon count of the next matrix, 1 .. 5000. TAB counts the tab characters of the whole
// current line; the other layouts read an integer and skip the rest of its line.
// range_error for a count outside 1 .. 5000, format_error for a count that is no number.
int read_dist_header(dist_format_type format);
// Fills the labels and all n_tax x n_tax distances of `mat`, row by row; each row is a label
// and n_tax numbers (which may run over several lines), the rest of its last line ignored.
// PHYLIP rows use PHYLIP labels, TAB rows tab-separated labels, all others extended labels.
// range_error for a negative distance; format_error when a row's last number is followed by
// anything but a blank, a tab, a carriage return, a line end or the end of the input.
void read_dist_mat(dist_format_type format, dist_mat_type &mat);
// The same for the flat form; range_error when the cells do not fit in n_cells.
void read_fast_dist_mat(dist_format_type format, fast_dist_mat_type &mat);

// ---- Character matrices ----------------------------------------------------------------

// The two counts of a character-matrix header.
struct char_mat_size {
  int n_tax;  // 1 .. max_taxa
  int n_char; // 1 .. max_chars
};

// Reads the taxon count and the character count (integers, on one line or on several) and
// skips the rest of the line holding the second. format_error when a count is no number;
// range_error for a taxon count outside 1 .. 5000 (the second count is then not read) or a
// character count outside 1 .. 1048576.
char_mat_size read_header();
// Fills the labels and the cells of `mat` (whose kind says what a cell is): n_tax rows, each a
// label (PHYLIP: 10 characters; COMMENTED_PHYLIP: a word, the next word dropped; otherwise a
// word) and n_char values, which may run over several lines; the rest of the row's last line
// is ignored. QUANT cells are numbers; DISCR cells the next characters that are not
// whitespace; CNTCH cells integers, range_error when negative. A QUANT or CNTCH row's last
// number must end as a distance row's does. Comments are not touched.
void read_char_mat(char_format_type format, char_mat_type &mat);

// ---- FASTA -----------------------------------------------------------------------------

// Reads FASTA text to the end of the input and appends one sequence per header line (lines
// before the first header belong to the first sequence; an input without a header gives one
// sequence with an empty label). The label is the header after '>' with whitespace trimmed
// from both ends; residues are the sequence lines joined, whitespace removed and '.' made '-'.
// invalid_character_error "phylo-read:285" for a residue outside wide_nuc_set, range_error
// when the vector is full; the sequences appended before stay.
void read_fasta(sequence_vecs &sequences);
// True when every sequence has as many residues as the first. range_error when the vector
// is empty or the first sequence has no residues.
bool is_aligned(const sequence_vecs &sequences);

} // namespace phylo::read
