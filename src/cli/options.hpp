// GNU-style option parsing for the subcommands of phylo: short options (-o FILE, -oFILE,
// clusters such as -qc), long options (--output FILE, --output=FILE, unique prefixes such as
// --out), "--" to end the options, and "-" as an operand. Options and operands may mix.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

enum class arg_kind { NONE, REQUIRED, OPTIONAL };

struct option_def {
  std::string_view long_name; // without the leading "--"
  char short_name;            // 0 when the option has no short form
  arg_kind arg;
};

struct parsed_option {
  const option_def *def;
  std::optional<std::string> value;
};

struct parsed_args {
  std::vector<parsed_option> options; // in command-line order
  std::vector<std::string> operands;
};

// A mistake in the command line; the message says what is wrong.
struct usage_error {
  std::string message;
};

// Parses args (the words after the subcommand). usage_error for an unknown or ambiguous
// option, a missing or empty value, or a value given to an option that takes none.
parsed_args parse_options(std::span<char *const> args, std::span<const option_def> defs);

// A name on the command line and the value it stands for.
template <class T> struct named {
  std::string_view name;
  T value;
};

// The entry of `table` called `value`; usage_error naming the option and the known names.
template <class Table> auto pick(const Table &table, std::string_view option, const std::string &value) {
  std::string known;
  for (const auto &entry : table) {
    if (entry.name == value) return &entry;
    known += (known.empty() ? "" : ", ") + std::string(entry.name);
  }
  throw usage_error{"--" + std::string(option) + "=" + value + " is not one of " + known};
}

} // namespace cli
