// phylo::print: writers of the current output (see phylo/io.hpp).
//
// Every line ends with a line feed; the only separator inside a line is the tab.
#pragma once

#include "phylo/chars.hpp"
#include "phylo/types.hpp"

#include <string>
#include <string_view>

namespace phylo::print {

// ---- Number images ----------------------------------------------------------------------

// Width of the image of a single-precision value.
inline constexpr std::size_t number_image_size = 12;
// Writes the 12-character scientific image of v at out (« 2.50000E-01», «-1.00000E-03»):
// six significant digits, the exact value rounded halfway away from zero; a negative zero
// gives «-0.00000E+00». Not-finite values give « +Inf*******», «-Inf*******», «NaN********».
// Returns the end of what was written.
char *write_number_image(float v, char *out) noexcept;
std::string number_image(float v);
// An integer in decimal, preceded by one blank when it is not negative (« 12»).
std::string integer_image(long long v);

// ---- Labels -----------------------------------------------------------------------------

// The label as a bare NEXUS word: characters of non_nexus_label_set trimmed from both ends,
// those inside replaced by '_'. May be empty.
std::string to_nexus_label(std::string_view label);
// The length of the longest label (every character counted), at least 1. range_error for
// an empty label.
std::size_t max_label_length(const tax_lab_type &labels);
// The same over the labels of a sequence set (1 for an empty set).
std::size_t max_label_length(const sequence_vecs &sequences);
// Writes one label, without anything after it: PHYLIP fitted to 10; EXTENDED_PHYLIP with
// blanks made '_' and fitted to width; NEXUS cleaned and fitted; NEXUS_ENCLOSED with ' made `
// and enclosed in ', the whole fitted; TAB, ONE_COLUMN, RAW exactly as stored.
void print_label(std::string_view label, dist_format_type format, std::size_t width);
// The same for character-matrix layouts; COMMENTED_PHYLIP is written as EXTENDED_PHYLIP.
void print_label(std::string_view label, char_format_type format, std::size_t width);

// ---- Distance matrices ------------------------------------------------------------------

// Writes the whole matrix in one of the seven layouts, NEXUS trailer included. In every
// layout but PHYLIP and ONE_COLUMN, range_error for an empty label before anything is written.
void print_dist_mat(const dist_mat_type &dist, dist_format_type format);

// ---- Character matrices and sequence sets -----------------------------------------------

// Writes the matrix in one of the five layouts: the count line (COMMENTED_PHYLIP with the
// trimmed matrix comment) or the NEXUS data-block header (with a ruler for DISCR data), one
// line per taxon, and the closing block of print_footer. In every layout but PHYLIP,
// range_error for an empty label before anything is written.
void print_char_mat(const char_mat_type &mat, char_format_type format);
// Writes an aligned sequence set as a symbol matrix in one of the five layouts.
// unaligned_error "phylo-print:330" when the sequences differ in length; range_error when
// the set is empty, the first sequence is empty or longer than max_chars, or (but in PHYLIP)
// a label is empty. Nothing is written on failure.
void print_char_mat(const sequence_vecs &sequences, char_format_type format);
// The two ruler lines above the symbols of a NEXUS matrix: "[" fitted to width, a tab, then
// the numbers 10, 20, ... (n_char / 10 + 1 of them) right-aligned in 10 columns, and below
// them a point at every tenth column.
void print_char_nums(std::size_t n_char, std::size_t width);
// The end of the NEXUS data block and the PAUP command block; nothing for the other layouts.
void print_footer(char_format_type format);
// Replaces every symbol of a DISCR matrix by its image under `map`; other kinds unchanged.
void convert_chars(char_mat_type &mat, const char_map_type &map);

} // namespace phylo::print
