// phylo: character classes and character maps over the 256 Latin-1 character values.
//
// Every named set and map is a constant table, complete before main runs and read-only
// afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace phylo {

// A set over the 256 8-bit character values.
struct char_set_type {
  std::array<std::uint64_t, 4> bits{};

  constexpr bool contains(unsigned char c) const noexcept { return (bits[c >> 6] >> (c & 63)) & 1u; }
  constexpr bool contains(char c) const noexcept { return contains(static_cast<unsigned char>(c)); }
  constexpr bool empty() const noexcept { return (bits[0] | bits[1] | bits[2] | bits[3]) == 0; }
  constexpr char_set_type &add(unsigned char c) noexcept {
    bits[c >> 6] |= std::uint64_t{1} << (c & 63);
    return *this;
  }
  constexpr char_set_type &add_range(unsigned lo, unsigned hi) noexcept {
    for (unsigned c = lo; c <= hi; ++c) add(static_cast<unsigned char>(c));
    return *this;
  }
  constexpr char_set_type &add(std::string_view chars) noexcept {
    for (char c : chars) add(static_cast<unsigned char>(c));
    return *this;
  }
  // The set of the characters of a text.
  static constexpr char_set_type of(std::string_view chars) noexcept { return char_set_type{}.add(chars); }
  constexpr char_set_type operator~() const noexcept { return {{~bits[0], ~bits[1], ~bits[2], ~bits[3]}}; }
  constexpr char_set_type operator|(const char_set_type &o) const noexcept {
    return {{bits[0] | o.bits[0], bits[1] | o.bits[1], bits[2] | o.bits[2], bits[3] | o.bits[3]}};
  }
  constexpr char_set_type operator&(const char_set_type &o) const noexcept {
    return {{bits[0] & o.bits[0], bits[1] & o.bits[1], bits[2] & o.bits[2], bits[3] & o.bits[3]}};
  }
  constexpr char_set_type operator-(const char_set_type &o) const noexcept { return *this & ~o; }
  friend constexpr bool operator==(const char_set_type &, const char_set_type &) = default;
};

// A total map of the 256 character values onto themselves.
struct char_map_type {
  std::array<unsigned char, 256> to{};

  static constexpr char_map_type identity() noexcept {
    char_map_type m;
    for (unsigned c = 0; c < 256; ++c) m.to[c] = static_cast<unsigned char>(c);
    return m;
  }
  // Sends from[i] to to_chars[i] and every other character to itself (equal lengths).
  static constexpr char_map_type from_strings(std::string_view from, std::string_view to_chars) noexcept {
    char_map_type m = identity();
    for (std::size_t i = 0; i < from.size() && i < to_chars.size(); ++i)
      m.to[static_cast<unsigned char>(from[i])] = static_cast<unsigned char>(to_chars[i]);
    return m;
  }
  // Sends every member of the set to one character and every other character to itself.
  static constexpr char_map_type replacing(const char_set_type &set, char by) noexcept {
    char_map_type m = identity();
    for (unsigned c = 0; c < 256; ++c)
      if (set.contains(static_cast<unsigned char>(c))) m.to[c] = static_cast<unsigned char>(by);
    return m;
  }
  constexpr char operator()(char c) const noexcept { return static_cast<char>(to[static_cast<unsigned char>(c)]); }
};

// Applies a map character by character.
std::string apply(const char_map_type &map, std::string_view text);
void apply_in_place(const char_map_type &map, std::string &text) noexcept;

// ---------------------------------------------------------------------------------------
// The building blocks: the Latin-1 character classification.

inline constexpr char_set_type control_chars = char_set_type{}.add_range(0, 31).add_range(127, 159);
inline constexpr char_set_type graphic_chars = ~control_chars;
inline constexpr char_set_type letters =
    char_set_type{}.add_range('A', 'Z').add_range('a', 'z').add_range(192, 214).add_range(216, 246).add_range(248, 255);
inline constexpr char_set_type decimal_digits = char_set_type{}.add_range('0', '9');

// ---------------------------------------------------------------------------------------
// The published sets and maps.

inline constexpr char_set_type nuc_set = char_set_type::of("acgt");
inline constexpr char_set_type gapped_nuc_set = char_set_type::of("acgt-");
inline constexpr char_set_type non_nuc_set = ~nuc_set;
inline constexpr char_set_type non_gapped_nuc_set = ~gapped_nuc_set;
inline constexpr char_set_type wide_nuc_set = char_set_type::of("acgtrymkswhbvdnACGTRYMKSWHBVDN-?");
inline constexpr char_set_type non_wide_nuc_set = ~wide_nuc_set;
inline constexpr char_set_type wide_amino_acids = char_set_type::of("acdefghiklmnpqrstvwyACDEFGHIKLMNPQRSTVWY*-?");
inline constexpr char_map_type good_gaps = char_map_type::from_strings(".", "-");
inline constexpr char_set_type word_set = letters | decimal_digits | char_set_type::of("_");
inline constexpr char_set_type non_word_set = ~word_set;
inline constexpr char_map_type word_map = char_map_type::replacing(non_word_set, '_');
// The 21 characters that may not stand in a bare NEXUS label, besides the control characters.
inline constexpr std::string_view nexus_punctuation = " ()[]{}/\\,;:=*'\"`+-<>";
inline constexpr char_set_type nexus_label_set = graphic_chars - char_set_type::of(nexus_punctuation);
inline constexpr char_set_type non_nexus_label_set = ~nexus_label_set;
inline constexpr char_map_type nexus_label_map = char_map_type::replacing(non_nexus_label_set, '_');
inline constexpr char_set_type newick_label_set = graphic_chars - char_set_type::of(" (),;:'");
inline constexpr char_set_type non_newick_label_set = ~newick_label_set;
inline constexpr char_map_type newick_label_map = char_map_type::replacing(non_newick_label_set, '_');
// What the readers of PHYLIP files that feed tree builders cannot take in a label: the ASCII
// blanks and control characters and the punctuation of Newick; bytes from 128 on (UTF-8)
// are label characters.
inline constexpr char_set_type tree_unsafe_label_set = char_set_type{}.add_range(0, 32).add(127).add("()[]:;,'");
inline constexpr char_map_type tree_safe_label_map = char_map_type::replacing(tree_unsafe_label_set, '_');
// The ASCII control characters and blanks: what separates words in phylo's own readers, which
// take every byte from 128 on as a character of a label (UTF-8).
inline constexpr char_set_type ascii_controls = char_set_type{}.add_range(0, 31).add(127);
inline constexpr char_set_type ascii_whitespace = ascii_controls | char_set_type::of(" ");
inline constexpr char_set_type controlchr = control_chars;
inline constexpr char_set_type whitespace = controlchr | char_set_type::of(" ");
inline constexpr char_set_type blackspace = ~whitespace;
inline constexpr char_map_type no_space = char_map_type::from_strings(" ", "_");
inline constexpr char_map_type good_comment = char_map_type::from_strings("[]", "{}");

// The letters a to z to A to Z and every other character to itself: the case that NEXUS
// ignores in its words.
inline constexpr char_map_type ascii_upper_map =
    char_map_type::from_strings("abcdefghijklmnopqrstuvwxyz", "ABCDEFGHIJKLMNOPQRSTUVWXYZ");

// How a byte (or -1, the end of the input) appears in a message: 'x' for a printable ASCII
// character, "a blank", "a tab", "a carriage return", "the line end", "the end of the input",
// and \xNN for any other byte.
std::string describe_char(int c);

// Text from an input as a message quotes it: 'text', every byte below 32 and 127 as \xNN,
// cut after 40 bytes (at a character boundary of UTF-8) with "..." in place of the rest.
std::string quote_text(std::string_view text);
// Whether two texts are equal when the ASCII letters are compared without regard to case (the
// keywords of NEXUS and MEGA).
bool equal_ignoring_case(std::string_view a, std::string_view b) noexcept;
// The same escapes without the quotes and the cut, for a whole message.
std::string escape_controls(std::string_view text);

static_assert(whitespace.contains('\t') && whitespace.contains('\r') &&
              whitespace.contains(static_cast<unsigned char>(133)));
static_assert(whitespace.contains(' ') && !controlchr.contains(' '));
static_assert(!whitespace.contains(static_cast<unsigned char>(160)) &&
              nexus_label_set.contains(static_cast<unsigned char>(160)));
static_assert(nexus_punctuation.size() == 21);
static_assert(ascii_upper_map('q') == 'Q' && ascii_upper_map(static_cast<char>(224)) == static_cast<char>(224));

} // namespace phylo
