// phylo::text: string utilities, scanning, splitting and joining of 8-bit Latin-1 texts.
//
// Each operation comes as a function returning a new value and, where it makes sense, in
// in-place forms of the same name:
//   - a text is read through std::string_view;
//   - a growable text (in and out) is a std::string&, replaced by the function's result;
//   - a text held in place is a std::span<char>, overwritten with a result of its own length.
// Given a std::string lvalue, overload resolution picks the in-place form; pass a
// std::string_view (or std::as_const) to get a new value instead. revstr has no growable
// form: a std::string s is reversed in place through std::span<char>(s). Errors are raised
// before an in-place or appending form touches its argument, which then keeps its value.
#pragma once

#include "phylo/chars.hpp"
#include "phylo/types.hpp"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace phylo::text {

// ---------------------------------------------------------------------------------------
// String utilities.

// The number of leading positions at which a and b hold the same character (0 when either
// is empty).
std::size_t common(std::string_view a, std::string_view b) noexcept;
// common<std::string>(a, b): the leading part of a that a and b share, as a new text.
template <class Result> Result common(std::string_view a, std::string_view b) = delete;
template <> std::string common<std::string>(std::string_view a, std::string_view b);

// True when every character of text belongs to set. length_error "phylo-text:46" for an
// empty text (checked first), pattern_error "phylo-text:48" for an empty set.
bool is_in(std::string_view text, const char_set_type &set);

// The characters of text in reverse order.
std::string revstr(std::string_view text);
// Reverses the characters of text in place.
void revstr(std::span<char> text) noexcept;

// text without the characters that belong to set. pattern_error "phylo-text:101" for an
// empty set (even for an empty text).
std::string remove(std::string_view text, const char_set_type &set);
void remove(std::string &text, const char_set_type &set);

// text without the characters of set at either end: a view into text.
std::string_view trim(std::string_view text, const char_set_type &set) noexcept;

// text with every run of consecutive set characters reduced to the run's first character.
// pattern_error "phylo-text:143" for an empty set.
std::string squeeze(std::string_view text, const char_set_type &set);
void squeeze(std::string &text, const char_set_type &set);

// The first character upper-cased and all others lower-cased, by the Latin-1 letters (215,
// 223, 247 and 255 are left alone). The text is treated as a whole, not word by word.
std::string cap(std::string_view text);
void cap(std::span<char> text) noexcept;
void cap(std::string &text) noexcept;

// The first character lower-cased (Latin-1), all others unchanged.
std::string uncap(std::string_view text);
void uncap(std::span<char> text) noexcept;
void uncap(std::string &text) noexcept;

// text with its first maximal run of set characters (or, when all is set, every such run)
// replaced by replacement. pattern_error "phylo-text:313" for an empty set.
std::string string_map(std::string_view text, const char_set_type &set, std::string_view replacement, bool all);
void string_map(std::string &text, const char_set_type &set, std::string_view replacement, bool all);

// text with the first (or, when all is set, every, without overlap) occurrence of pattern
// replaced by replacement; each text character passes through map before it is compared.
// Unmatched characters are kept as they were. text is returned unchanged when pattern equals
// replacement. pattern_error "phylo-text:363" for an empty pattern.
std::string string_map(std::string_view text, std::string_view pattern, std::string_view replacement, bool all,
                       const char_map_type &map);
void string_map(std::string &text, std::string_view pattern, std::string_view replacement, bool all,
                const char_map_type &map);

// ---------------------------------------------------------------------------------------
// Vectors of strings: scanning, splitting and joining.

// A vector of texts in order, of at most max_vector_length elements.
using ustr_vecs = std::vector<std::string>;
inline constexpr std::size_t max_vector_length = 2147483647;
inline const ustr_vecs empty_vector{};

// Every form below that builds or appends to a vector raises range_error "vector is already at
// its maximum length" rather than let it grow past max_vector_length. An appending form
// computes its function's result first and appends all of it, or nothing, at the end of vec.

// The maximal runs of set characters in text, in order. pattern_error "phylo-text:418" for an
// empty set (even for an empty text).
ustr_vecs scan(std::string_view text, const char_set_type &set);
void scan(ustr_vecs &vec, std::string_view text, const char_set_type &set);

// Consecutive pieces of width characters; the last piece may be shorter. range_error for a
// width below 1.
ustr_vecs split(std::string_view text, std::ptrdiff_t width);
void split(ustr_vecs &vec, std::string_view text, std::ptrdiff_t width);

// The fields between runs of set characters: a leading or trailing run gives an empty first
// or last field. An empty set gives one element per character.
ustr_vecs split(std::string_view text, const char_set_type &set);
void split(ustr_vecs &vec, std::string_view text, const char_set_type &set);

// The fields between non-overlapping occurrences of separator, matched on the characters of
// text passed through map; adjacent separators give an empty field. Fields hold the text's own
// characters. An empty separator gives one element per character.
ustr_vecs split(std::string_view text, std::string_view separator, const char_map_type &map);
void split(ustr_vecs &vec, std::string_view text, std::string_view separator, const char_map_type &map);

// The elements of vec in order with separator between each two neighbours.
std::string join(const ustr_vecs &vec, std::string_view separator);

} // namespace phylo::text
