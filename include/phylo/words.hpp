// phylo::read: the input primitives that the strict readers stand on: a character, a line, a
// word at a time (see phylo/io.hpp). Each reads the input_source it is given; the forms
// without one read the current input.
//
// Line ends are line feeds. A carriage return is an ordinary (control) character.
#pragma once

#include "phylo/chars.hpp"
#include "phylo/io.hpp"
#include "phylo/types.hpp"

#include <string>
#include <string_view>

namespace phylo::read {

// The next character; line ends are passed over and never returned. end_of_input at the end.
char read_char(input_source &in);
char read_char();
// True when the next character is a line end or the input is exhausted; consumes nothing.
bool at_end_of_line(input_source &in);
bool at_end_of_line();
// Discards everything up to and including the next line end; the end of input counts as a
// line end when at least one character remains. end_of_input when nothing remains.
void skip_line(input_source &in);
void skip_line();
// Ends a row: like skip_line, but also quiet when the input is already exhausted.
void end_row(input_source &in);
void end_row();
// True when nothing but blanks, tabs, carriage returns and line feeds is left. Before a header
// that begins with a number (every distance layout but TAB, character matrices): the blanks,
// tabs and line feeds that the number reader would pass over are consumed, and a carriage
// return, on which it fails, is left where it is. Memory stays bounded however long the run
// of blanks: blanks that the next reader does not reach may be dropped (line() still counts
// their line ends).
bool at_end(input_source &in);
bool at_end();
// The same before read_dist_header(format). For TAB the next line, whose tabs the header
// reader counts, is left as it is.
bool at_end(input_source &in, dist_format_type format);
bool at_end(dist_format_type format);

// One word: delimiters before it are skipped (line ends too); it ends at a delimiter
// (consumed) or at a line end (left unread) and is never empty. end_of_input when the input
// ends before the word begins.
std::string get_word(input_source &in, const char_set_type &delimiters);
std::string get_word(const char_set_type &delimiters);
// Consumes one word exactly as get_word would and discards it.
void skip_word(input_source &in, const char_set_type &delimiters);
void skip_word(const char_set_type &delimiters);
// The next character that is not in `set` (line ends are passed over). end_of_input at the end.
char get_black(input_source &in, const char_set_type &set);
char get_black(const char_set_type &set);
// The characters of `text` that are not in `set`, in order.
std::string black_only(std::string_view text, const char_set_type &set);
// Appends the characters of `text` that are not in `set` to `target`.
void append_black(std::string &target, std::string_view text, const char_set_type &set);

// True when the first line of `in` ends in a carriage return alone (judged from its first
// 4096 bytes), which a line-based reader would take as one line with what follows; a NEXUS
// text, which does not depend on line ends, passes when `nexus_passes`. Consumes nothing;
// a read error of the input propagates.
bool first_line_ends_in_cr(input_source &in, bool nexus_passes);

} // namespace phylo::read
