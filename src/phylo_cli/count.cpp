// phylo count: how many quartets or triplets of taxa there are, within the 32-bit limit
// that the library's quartet and triplet tools share.

#include "commands.hpp"
#include "options.hpp"

#include "phylo/distfunc.hpp"

#include <charconv>
#include <climits>
#include <cstdio>
#include <string>

namespace phylo_cli {
namespace {

using cli::arg_kind;
using cli::usage_error;

constexpr std::string_view help_text = "Usage: phylo count quartets|triplets N\n"
                                       "Print the number of quartets (sets of four taxa) or triplets (sets of three\n"
                                       "taxa) that N taxa give. A count must lie in 1 to 2147483647: quartets need 4\n"
                                       "to 477 taxa, triplets 3 to 2345; for any other N the message \"Too many\n"
                                       "quartets.\" or \"Too many triplets.\" is written on standard error (followed,\n"
                                       "for too few taxa, by a line that says so) and the exit status is 1.\n"
                                       "\n"
                                       "  -h, --help  print this help and exit\n"
                                       "\n"
                                       "Exit status: 0 success, 1 a count out of range, 2 a mistake in the command\n"
                                       "line.\n";

constexpr cli::option_def defs[] = {
    {"help", 'h', arg_kind::NONE},
};

// N as a whole number of 0 or more; numbers past the range of int stand for INT_MAX, whose
// count is out of range as theirs is.
int parse_taxa(const std::string &text) {
  const char *first = text.data(), *last = first + text.size();
  bool digits = !text.empty();
  for (char c : text) digits = digits && c >= '0' && c <= '9';
  if (!digits) throw usage_error{"N must be a whole number of taxa, not '" + text + "'"};
  int n = 0;
  const auto [end, ec] = std::from_chars(first, last, n);
  if (ec == std::errc::result_out_of_range) return INT_MAX;
  (void)end;
  return n;
}

} // namespace

int run_count(const cli::streams_type &streams, std::span<char *const> args) {
  bool quartets = false;
  int n = 0;
  try {
    cli::parsed_args parsed = cli::parse_options(args, defs);
    if (!parsed.options.empty()) return cli::print_text(streams, help_text); // --help is the only option
    if (parsed.operands.size() != 2) throw usage_error{"give what to count (quartets or triplets) and N"};
    const std::string &what = parsed.operands[0];
    if (what != "quartets" && what != "triplets") throw usage_error{"'" + what + "' is not one of quartets, triplets"};
    quartets = what == "quartets";
    n = parse_taxa(parsed.operands[1]);
  } catch (const usage_error &e) {
    streams.report("count: " + e.message + "\nTry 'phylo count --help' for more information.");
    return 2;
  }
  // Too few taxa give none: said here, without the library's message about counts too large.
  const int least = quartets ? 4 : 3;
  if (n < least) {
    streams.report("count: fewer than " + std::to_string(least) + " taxa give no " +
                   (quartets ? "quartet" : "triplet"));
    return 1;
  }
  std::int32_t count = 0;
  try {
    count = quartets ? phylo::distfunc::no_quartets(n) : phylo::distfunc::no_triplets(n);
  } catch (const phylo::range_error &) {
    return 1; // the library has written its message
  }
  return cli::print_text(streams, std::to_string(count) + "\n");
}

} // namespace phylo_cli
