// Records of delimited text: the lines of CSV files, of tab-separated tables with a corner
// cell and of lists of pairs, split into fields. The recognising reader looks at the first
// records to tell these layouts apart; the readers of CSV matrices and of pairs read on.
#pragma once

#include "phylo/io.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace phylo::detail {

// What separates the fields of a record: one tab, one comma, or a run of blanks and tabs.
enum class field_delimiter { TAB, COMMA, BLANKS };

// The delimiter of the line at the read position: a tab when the line holds one, else a comma
// when it holds one, else blanks. Consumes nothing.
field_delimiter delimiter_of_line(input_source &in);

// One record: its fields, where each began (column, from 1) and the line where it began.
struct record_type {
  std::vector<std::string> fields; // the first `size` hold this record; the rest are spare
  std::vector<std::size_t> columns;
  std::size_t size = 0;
  std::size_t line = 0;
  std::string_view operator[](std::size_t k) const noexcept { return fields[k]; }
};

// Reads the next record that is not a blank line. A field that begins with '"' is quoted as
// RFC 4180 says: it ends at the next lone '"', holds "" as one '"', and may hold delimiters and
// line ends. A carriage return before a line end is dropped; with BLANKS, blanks around the
// fields are no fields. False at the end of the input. format_error for a quoted field that
// the input ends in or that is followed by anything but a delimiter or the line end.
// Blank lines before it are passed over; under an input_mark, at most `blank_limit` bytes of
// them (false when more follow, as at the end of the input).
bool read_record(input_source &in, field_delimiter delimiter, record_type &record, std::size_t blank_limit = SIZE_MAX);

// A field as the readers take it as a label: without the ASCII blanks around it.
std::string_view trim_field(std::string_view text) noexcept;

// The format_error of a header (tab-separated or CSV) whose label k (from 0), at `where`,
// is not the label of row k.
[[noreturn]] void fail_header_mismatch(std::size_t k, std::string_view row_label, std::string_view header_label,
                                       input_position where);

} // namespace phylo::detail
