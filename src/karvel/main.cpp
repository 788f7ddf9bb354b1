// karvel: converts distance matrices between layouts, transforming the distances on the way.

#include "phylo/distfunc.hpp"
#include "phylo/io.hpp"
#include "phylo/print.hpp"
#include "phylo/read.hpp"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

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
std::vector<std::string> parse_arguments(int argc, char **argv, selections &s) {
  std::vector<std::string> names;
  for (int k = argc - 1; k >= 1; --k) {
    std::string_view arg = argv[k];
    if (arg.size() == 2 && arg[0] == '-' && apply_option(arg[1], s)) continue;
    names.emplace_back(arg);
  }
  return {names.rbegin(), names.rend()};
}

void print_usage(const char *program) {
  std::string p = program;
  std::string text = p + " converts distance matrices.\n"
                         "\n"
                         "Usage: " + p + " [options] inputfile(s)\n"
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
                         "\n";
  std::fwrite(text.data(), 1, text.size(), stderr);
}

// Reads, transforms and prints every matrix of the current input.
void convert_all(const selections &s) {
  while (!phylo::read::at_end()) {
    const int n = phylo::read::read_dist_header(s.input);
    phylo::dist_mat_access dist = std::make_unique<phylo::dist_mat_type>(static_cast<std::size_t>(n));
    phylo::read::read_dist_mat(s.input, *dist);
    phylo::distfunc::convert_dist(*dist, s.conversion);
    phylo::print::print_dist_mat(*dist, s.output);
    dist.reset();
  }
}

// The input being read; it outlives the run so that a diagnostic can name its line.
struct inputs {
  phylo::input_source standard_input = phylo::input_source::from_fd(0, "standard input");
  std::optional<phylo::input_source> file;
  phylo::input_source *active = nullptr;
};

void traverse_files(const std::vector<std::string> &names, const selections &s, inputs &in) {
  for (const std::string &name : names) {
    in.active = nullptr;
    if (name == "-") {
      in.active = &in.standard_input;
    } else {
      in.file.reset();
      in.file.emplace(phylo::input_source::open_file(name));
      in.active = &*in.file;
    }
    phylo::scoped_input use(*in.active);
    convert_all(s);
  }
}

// The standard descriptors must exist: were one closed, the first file opened would take its
// number, and output would go to an input file.
void reserve_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1) {
      int null = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
      if (null >= 0 && null != fd) ::close(null);
    }
  }
}

std::string program_name(const char *argv0) {
  std::string_view p = argv0 && *argv0 ? argv0 : "karvel";
  std::size_t slash = p.rfind('/');
  return std::string(slash == std::string_view::npos ? p : p.substr(slash + 1));
}

void report(const std::string &line) {
  std::string text = line + "\n";
  std::fwrite(text.data(), 1, text.size(), stderr);
}

// Delivers what is buffered for standard output; reports a failure and returns false.
bool flush_output(const std::string &program) {
  try {
    phylo::current_output().flush();
    return true;
  } catch (const phylo::error &e) {
    report(program + ": " + e.what());
    return false;
  }
}

} // namespace

int main(int argc, char **argv) {
  reserve_standard_descriptors();
  const std::string program = program_name(argc > 0 ? argv[0] : nullptr);
  selections s;
  std::vector<std::string> names = parse_arguments(argc, argv, s);
  if (names.empty()) {
    print_usage(argc > 0 && argv[0] ? argv[0] : "karvel");
    return 1;
  }
  int status = 0;
  inputs in;
  try {
    traverse_files(names, s, in);
  } catch (const phylo::name_error &) {
    status = 1;
    flush_output(program);
    report("Invalid filename.");
    return status;
  } catch (const phylo::use_error &) {
    status = 1;
    flush_output(program);
    report("Invalid filename.");
    return status;
  } catch (const phylo::format_error &) {
    status = 1;
    flush_output(program);
    report("Wrong file format.");
    return status;
  } catch (const phylo::write_error &e) {
    report(program + ": " + e.what());
    return 1;
  } catch (const phylo::error &e) {
    flush_output(program);
    std::string where = in.active ? in.active->name() + ":" + std::to_string(in.active->line()) + ": " : "";
    report(program + ": " + where + e.kind() + ": " + e.what());
    return 1;
  } catch (const std::bad_alloc &) {
    flush_output(program);
    report(program + ": out of memory");
    return 1;
  }
  return flush_output(program) ? status : 1;
}
