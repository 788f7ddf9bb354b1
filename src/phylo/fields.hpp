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

// The number that a field holds, blanks around it allowed: the grammar of every reader
// ([+-]digits[.digits][(E|e)[+-]digits]), converted exactly. False when the field is no number
// or beyond the largest float.
bool field_number(std::string_view text, float &value) noexcept;

// A field as the readers take it as a label: without the ASCII blanks around it.
std::string_view trim_field(std::string_view text) noexcept;

} // namespace phylo::detail

#include "phylo/types.hpp"

#include <optional>

namespace phylo::detail {

// A CSV matrix (csv.cpp): a header record of the labels, with or without a corner cell before
// them (row 1 tells which: it has as many fields as the header, or one more), then n rows of a
// label and n values. format_error with the line and column of a field that is no number or of
// a row of the wrong length; range_error for a negative value or more than max_taxa taxa.
dist_mat_access read_csv_matrix(input_source &in, std::size_t max_taxa);

// A list of pairs (pairs.cpp), read to the end of the input: one pair per record, the two
// labels in the first two fields and the distance in field `column` (from 1, at least 3);
// further fields are ignored, and a first record whose distance field is no number is a header.
// Taxa stand in the order in which they first appear; (a, a) sets the diagonal, which is zero
// otherwise; (a, b) alone sets both cells. A pair that no record gives takes `fill`, or raises
// missing_pair_error; one pair given twice in one order with different values is a
// format_error. Memory: 12 bytes per record and the labels, then the matrix.
dist_mat_access read_pairs_matrix(input_source &in, std::size_t column, std::optional<float> fill,
                                  std::size_t max_taxa);

// A MEGA distance file (mega.cpp), read to the end of the input: "#mega", commands, the
// labels after '#', then the lower-left (or, with DataFormat=UpperRight, upper-right) triangle
// without diagonal. format_error for a file of another data type or whose counts disagree.
dist_mat_access read_mega_matrix(input_source &in, std::size_t max_taxa);

} // namespace phylo::detail
