// karvel: converts distance matrices between layouts, transforming the distances on the way.

#include "run.hpp"

#include "phylo/types.hpp"
#include "shell.hpp"

#include <csignal>
#include <string>
#include <vector>

int main(int argc, char **argv) {
  cli::reserve_standard_descriptors();
  // A reader that goes away (karvel ... | head) ends the run quietly by SIGPIPE, also when
  // the parent left the signal ignored.
  std::signal(SIGPIPE, SIG_DFL);
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  phylo::input_source standard_input = phylo::input_source::from_fd(0, "standard input");
  phylo::output_sink out = phylo::output_sink::to_fd(1, "standard output");
  phylo::output_sink diagnostics = phylo::output_sink::to_fd(2, "standard error");
  try {
    return karvel::run(argc > 0 && argv[0] ? argv[0] : "karvel", args, standard_input, out, diagnostics);
  } catch (const phylo::write_error &) {
    return 1; // standard error cannot be written either: nothing is left to tell
  }
}
