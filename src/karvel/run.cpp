#include "run.hpp"

#include "phylo/distfunc.hpp"
#include "phylo/phylip.hpp"
#include "phylo/words.hpp"
#include "shell.hpp"

#include <memory>
#include <new>
#include <optional>
#include <string_view>

namespace karvel {
namespace {

using phylo::dist_format_type;
using phylo::distfunc::dist_conv_type;

struct selections {
  dist_format_type input = dist_format_type::EXTENDED_PHYLIP;
  dist_conv_type conversion = dist_conv_type::NONE;
  dist_format_type output = dist_format_type::EXTENDED_PHYLIP;
};

// Sets the selection of an option letter; false for a letter that is no option.
bool apply_option(char letter, selections &s) {
  switch (letter) {
  case 'a': s.conversion = dist_conv_type::ARCSIN; return true;
  case 'e': s.conversion = dist_conv_type::EXP; return true;
  case 'l': s.conversion = dist_conv_type::NEG_LOG; return true;
  case 'n': s.conversion = dist_conv_type::NONE; return true;
  case 'q': s.conversion = dist_conv_type::SQUARE; return true;
  case 'r': s.conversion = dist_conv_type::RANGING; return true;
  case 's': s.conversion = dist_conv_type::SQUARE_ROOT; return true;
  case 'p': s.input = dist_format_type::PHYLIP; return true;
  case 't': s.input = dist_format_type::TAB; return true;
  case 'x': s.input = dist_format_type::EXTENDED_PHYLIP; return true;
  case 'C': s.output = dist_format_type::NEXUS_ENCLOSED; return true;
  case 'E': s.output = dist_format_type::EXTENDED_PHYLIP; return true;
  case 'N': s.output = dist_format_type::NEXUS; return true;
  case 'O': s.output = dist_format_type::ONE_COLUMN; return true;
  case 'P': s.output = dist_format_type::PHYLIP; return true;
  case 'R': s.output = dist_format_type::RAW; return true;
  case 'T': s.output = dist_format_type::TAB; return true;
  default: return false;
  }
}

// Scans the arguments from the last to the first, so that the leftmost option of a group
// wins, and removes the options; what remains names the inputs, in command-line order.
std::vector<std::string> parse_arguments(const std::vector<std::string> &args, selections &s) {
  std::vector<std::string> names;
  for (auto k = args.rbegin(); k != args.rend(); ++k) {
    const std::string &arg = *k;
    if (arg.size() == 2 && arg[0] == '-' && apply_option(arg[1], s)) continue;
    names.push_back(arg);
  }
  return {names.rbegin(), names.rend()};
}

void print_usage(const std::string &p, phylo::output_sink &diagnostics) {
  diagnostics.write(p +
                    " converts distance matrices.\n"
                    "\n"
                    "Usage: " +
                    p +
                    " [options] inputfile(s)\n"
                    "\n"
                    "Options:\n"
                    "  -a  Transformation is Dij := arcsin(sqrt(Dij)).\n"
                    "  -e  Transformation is Dij := 1-exp(-Dij).\n"
                    "  -l  Transformation is Dij := -log(1-Dij).\n"
                    "  -n  No transformation (default).\n"
                    "  -p  Input is in normal PHYLIP format.\n"
                    "  -q  Transformation is Dij := Dij^2.\n"
                    "  -r  Transformation is Dij := Dij/max(D).\n"
                    "  -s  Transformation is Dij := sqrt(Dij).\n"
                    "  -t  Input is in tab-separated format.\n"
                    "  -x  Input is in extended PHYLIP format (default).\n"
                    "  -C  Output is in NEXUS format with labels enclosed in \"'\".\n"
                    "  -E  Output is in extended PHYLIP format (default).\n"
                    "  -N  Output is in NEXUS format with labels cleaned.\n"
                    "  -O  Output is in one-column format.\n"
                    "  -P  Output is in PHYLIP format.\n"
                    "  -R  Output is in raw format (no labels, no header).\n"
                    "  -T  Output is in tab-separated format.\n"
                    "\n"
                    "Written by the phylo developers <phylo-devel@lists.phylo.invalid>.\n"
                    "\n");
}

// Reads, transforms and prints every matrix of the input.
void convert_all(phylo::input_source &in, phylo::output_sink &out, const selections &s) {
  while (!phylo::read::at_end(in, s.input)) {
    const int n = phylo::read::read_dist_header(in, s.input);
    phylo::dist_mat_access dist = std::make_unique<phylo::dist_mat_type>(static_cast<std::size_t>(n));
    phylo::read::read_dist_mat(in, s.input, *dist);
    phylo::distfunc::convert_dist(*dist, s.conversion);
    phylo::print::print_dist_mat(out, *dist, s.output);
    dist.reset();
  }
}

// Reads every input in turn; `in` holds the input being read, and outlives the run so that
// a diagnostic can name its line.
void traverse_files(const std::vector<std::string> &names, const selections &s, phylo::input_source &standard_input,
                    phylo::output_sink &out, std::unique_ptr<cli::input_operand> &in) {
  for (const std::string &name : names) {
    in.reset();
    in = std::make_unique<cli::input_operand>(name, standard_input);
    convert_all(in->source(), out, s);
  }
}

// Delivers what is buffered for the output; reports a failure and returns false.
bool flush_output(phylo::output_sink &out, const cli::reporter &report) {
  try {
    out.flush();
    return true;
  } catch (const phylo::error &e) {
    report(e.what());
    return false;
  }
}

} // namespace

int run(const std::string &invoked_as, const std::vector<std::string> &args, phylo::input_source &standard_input,
        phylo::output_sink &out, phylo::output_sink &diagnostics) {
  const cli::reporter report(cli::program_name(invoked_as, "karvel"), diagnostics);
  selections s;
  const std::vector<std::string> names = parse_arguments(args, s);
  if (names.empty()) {
    print_usage(invoked_as, diagnostics);
    diagnostics.flush();
    return 1;
  }
  std::unique_ptr<cli::input_operand> in;
  try {
    traverse_files(names, s, standard_input, out, in);
  } catch (const phylo::name_error &) {
    flush_output(out, report);
    report.line("Invalid filename.");
    return 1;
  } catch (const phylo::use_error &) {
    flush_output(out, report);
    report.line("Invalid filename.");
    return 1;
  } catch (const phylo::format_error &) {
    flush_output(out, report);
    report.line("Wrong file format.");
    return 1;
  } catch (const phylo::write_error &e) {
    report(e.what());
    return 1;
  } catch (const phylo::error &e) {
    flush_output(out, report);
    // The line where reading stopped.
    const std::string where = in ? cli::place(in->source().name(), in->source().line()) : "";
    report(where + e.kind() + ": " + e.what());
    return 1;
  } catch (const std::bad_alloc &) {
    flush_output(out, report);
    report("out of memory");
    return 1;
  }
  return flush_output(out, report) ? 0 : 1;
}

} // namespace karvel
