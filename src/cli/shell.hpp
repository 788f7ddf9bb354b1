// What karvel and the commands of phylo share: the standard descriptors, messages on standard
// error, inputs named on the command line, output that appears whole or not at all, and the
// frame of a subcommand.
#pragma once

#include "phylo/io.hpp"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace cli {

// The standard descriptors must exist: were one closed, the first file opened would take its
// number, and output would go to an input file. Each stand-in is opened for the wrong
// direction, so that using it fails with a message instead of reading or writing nothing.
void reserve_standard_descriptors() noexcept;

// The name of a program as its messages give it: the name it was invoked as, without its
// folder, or `fallback` when that is empty.
std::string program_name(std::string_view invoked_as, std::string_view fallback);

// A program's messages on its diagnostics sink, each delivered at once. A message that cannot
// be written raises write_error, or, when the reporter is told to carry on, is lost. An
// escaping reporter shows every control character of a message but the line end as \xNN, so
// that no byte from an input or a file name acts on the terminal.
class reporter {
public:
  reporter(std::string program, phylo::output_sink &diagnostics, bool carry_on = false, bool escape = false)
      : program_(std::move(program)), sink_(diagnostics), carry_on_(carry_on), escape_(escape) {}
  // "PROGRAM: text" and a line end.
  void operator()(std::string_view text) const;
  // The line as it stands, and a line end.
  void line(std::string_view text) const;
  const std::string &program() const noexcept { return program_; }

private:
  std::string program_;
  phylo::output_sink &sink_;
  bool carry_on_, escape_;
};

// The standard streams of a run as the library sees them, and its messages.
struct streams_type {
  phylo::input_source &standard_input;
  phylo::output_sink &standard_output;
  const reporter &report;
};

// One input named on the command line: "-" is `standard_input`, which the caller keeps
// open; any other name a file opened here and closed with the object (name_error or
// use_error when it cannot be opened).
class input_operand {
public:
  input_operand(const std::string &operand, phylo::input_source &standard_input);
  input_operand(const input_operand &) = delete;
  input_operand &operator=(const input_operand &) = delete;
  phylo::input_source &source() noexcept { return *source_; }

private:
  std::optional<phylo::input_source> file_;
  phylo::input_source *source_;
};

// Where a message places what it says: "NAME:LINE: ", or "NAME: " for line 0 (not known).
std::string place(const std::string &name, std::size_t line);
// An error as a message gives it: place(NAME, LINE) and what it says when it carries a
// position in a named input, otherwise what it says.
std::string describe(const phylo::error &e);

// A problem found in the data and already reported; ends the run with status 1.
struct data_refused {};

// Refuses (reported, data_refused) a text whose first line ends in a carriage return alone,
// which the line-based readers would take as one line; judged from the first 4096 bytes.
// A NEXUS text, which does not depend on line ends, passes when `nexus_passes`.
void refuse_cr_line_ends(const reporter &report, phylo::input_source &in, bool nexus_passes);

// Runs `body` with the current output on `standard_output`, or on a new file `output` that
// replaces what the name held only when `body` succeeded (see phylo/output_file.hpp). Returns the
// exit status: 0, or 1 after data_refused, a library error or exhausted memory (the last two
// reported here). On standard output, what was written before a failure stays.
int run_with_output(const streams_type &streams, const std::optional<std::string> &output,
                    const std::function<void()> &body);

// Writes `text` on standard output: status 0, or 1 (reported) when it cannot be written.
int print_text(const streams_type &streams, std::string_view text);

// The frame of a subcommand NAME of PROGRAM: `parse` reads the arguments and tells whether
// help was asked for (a usage_error is reported with a hint at --help, status 2); help prints
// `help_text` on standard output (print_text); otherwise `body` runs and gives the status.
int run_subcommand(const streams_type &streams, std::string_view name, std::string_view help_text,
                   const std::function<bool()> &parse, const std::function<int()> &body);

} // namespace cli
