// phylo: the errors of the library. Every failure is one of these: a kind (its name as
// diagnostics write it), a message, and, for a problem found in an input, where it lies.
// Errors are raised where a problem is found; the commands turn them into messages.
#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

namespace phylo {

// Where a problem lies in an input: the input's name as messages give it (a path, "standard
// input"), and the 1-based line and column of the byte where the problem was found (0 when
// not known).
struct input_position {
  std::string name;
  std::size_t line = 0;
  std::size_t column = 0;
};

struct error : std::runtime_error {
  error(const char *kind, const std::string &what) : std::runtime_error(what), kind_(kind) {}
  error(const char *kind, const std::string &what, input_position where)
      : std::runtime_error(what), kind_(kind), where_(std::make_shared<const input_position>(std::move(where))) {}
  error(const char *kind, const std::string &what, int system_code)
      : std::runtime_error(what), kind_(kind), system_code_(system_code) {}
  // The error kind as written in diagnostics: "format_error", "range_error", ...
  const char *kind() const noexcept { return kind_; }
  // Where in an input the problem was found; null for an error that concerns no input (a
  // transformation, a file that cannot be opened).
  const input_position *where() const noexcept { return where_.get(); }
  // The system's error number (errno) that said why a file could not be opened, read or
  // written; 0 for every other error.
  int system_code() const noexcept { return system_code_; }

private:
  const char *kind_;
  int system_code_ = 0;
  std::shared_ptr<const input_position> where_; // shared, so that copying cannot throw
};

#define PHYLO_ERROR_KIND(name)                                                                                         \
  struct name : error {                                                                                                \
    explicit name(const std::string &what) : error(#name, what) {}                                                     \
    name(const std::string &what, input_position where) : error(#name, what, std::move(where)) {}                      \
    name(const std::string &what, int system_code) : error(#name, what, system_code) {}                                \
  }
// The characters at the read position do not form the expected number or item.
PHYLO_ERROR_KIND(format_error);
// The input ends before a read is complete.
PHYLO_ERROR_KIND(end_of_input);
// A file name that cannot be opened.
PHYLO_ERROR_KIND(name_error);
// A file that exists but cannot be used as asked (a directory, a read failure).
PHYLO_ERROR_KIND(use_error);
// A value outside its accepted range, an index outside its bounds.
PHYLO_ERROR_KIND(range_error);
// An argument outside the domain of an elementary function.
PHYLO_ERROR_KIND(argument_error);
// The current output cannot be written (full disk, closed descriptor).
PHYLO_ERROR_KIND(write_error);
// A character set or pattern that must not be empty (phylo::text).
PHYLO_ERROR_KIND(pattern_error);
// A text that must not be empty (phylo::text).
PHYLO_ERROR_KIND(length_error);
// A distance form that is not defined for the kind of character matrix (make_dist).
PHYLO_ERROR_KIND(formula_error);
// Sequences of unequal length printed as a matrix (print_char_mat).
PHYLO_ERROR_KIND(unaligned_error);
#undef PHYLO_ERROR_KIND

// A FASTA sequence holding a character that is no nucleotide code (read_fasta): where the
// first such character stands, and the character.
struct invalid_character_error : error {
  explicit invalid_character_error(const std::string &what) : error("invalid_character_error", what) {}
  invalid_character_error(const std::string &what, input_position where, char character)
      : error("invalid_character_error", what, std::move(where)), character_(character) {}
  char character() const noexcept { return character_; }

private:
  char character_ = 0;
};

} // namespace phylo
