// phylo: taxon labels, read and written in every layout.
//
// A label is an 8-bit text of any length; how a layout reads and writes it is decided here:
// PHYLIP takes exactly 10 characters, the extended layouts a word, NEXUS a cleaned or quoted
// word, the tab-separated layouts the text as it stands.
#pragma once

#include "phylo/io.hpp"
#include "phylo/types.hpp"

#include <cstddef>
#include <string>
#include <string_view>

namespace phylo::read {

// One taxon label: PHYLIP takes exactly the next 10 characters (line
// ends not counted); EXTENDED_PHYLIP a word delimited by whitespace; COMMENTED_PHYLIP such a
// word and then discards the next word; TAB_SEPARATED a word delimited by control characters.
// end_of_input when the input ends first; range_error for a value outside the enumeration.
std::string read_label(input_source &in, label_format_type format);
std::string read_label(label_format_type format); // from the current input

} // namespace phylo::read

namespace phylo::print {

// The label as a bare NEXUS word: characters of non_nexus_label_set trimmed from both ends,
// those inside replaced by '_'. May be empty.
std::string to_nexus_label(std::string_view label);
// The label as one NEXUS word that reads back as the label: unchanged when it is made of
// characters of nexus_label_set other than '_'; otherwise enclosed in single quotes with
// every quote doubled.
std::string to_quoted_nexus_label(std::string_view label);
// The length of the longest label (every character counted), at least 1. range_error for
// an empty label.
std::size_t max_label_length(const tax_lab_type &labels);
// The same over the labels of a sequence set (1 for an empty set).
std::size_t max_label_length(const sequence_vecs &sequences);
// Writes one label, without anything after it: PHYLIP fitted to 10;
// EXTENDED_PHYLIP with blanks made '_' and fitted to width; NEXUS cleaned and fitted;
// NEXUS_ENCLOSED with ' made ` and enclosed in ', the whole fitted; TAB, ONE_COLUMN, RAW
// exactly as stored. range_error for a value outside the enumeration.
void print_label(output_sink &out, std::string_view label, dist_format_type format, std::size_t width);
// The same for character-matrix layouts; COMMENTED_PHYLIP is written as EXTENDED_PHYLIP.
void print_label(output_sink &out, std::string_view label, char_format_type format, std::size_t width);
// Both on the current output.
void print_label(std::string_view label, dist_format_type format, std::size_t width);
void print_label(std::string_view label, char_format_type format, std::size_t width);

} // namespace phylo::print

namespace phylo {

// A PHYLIP label without the blanks that pad it at either end.
std::string_view trim_phylip_label(std::string_view label) noexcept;

// How an output layout writes a label, as a reader of that layout tells labels apart:
// AS_STORED; PHYLIP (first 10 characters, padding blanks not counted); NO_BLANK (blanks made
// '_'); NEXUS_CLEANED (to_nexus_label); NEXUS_ENCLOSED (' made `); NEXUS_QUOTED (unchanged).
// The NEXUS forms ignore the case of letters A-Z, as NEXUS readers do.
// TREE_SAFE and TREE_SAFE_PHYLIP: the characters of tree_unsafe_label_set made '_' (and cut
// to 10 bytes), as the sequential layouts of phylo align write labels. CELL: as stored, in a
// tab-separated cell.
enum class label_form_type {
  AS_STORED,
  PHYLIP,
  NO_BLANK,
  NEXUS_CLEANED,
  NEXUS_ENCLOSED,
  NEXUS_QUOTED,
  TREE_SAFE,
  TREE_SAFE_PHYLIP,
  CELL
};

// The label as the layout writes it, letters in their case.
std::string label_as_written(std::string_view label, label_form_type form);
// The label as the layout writes it, in the form in which two labels compare (the NEXUS
// forms in upper case).
std::string label_as_compared(std::string_view label, label_form_type form);

} // namespace phylo
