// phylo: tools for phylogenetic distance matrices, one subcommand per task.

#include "commands.hpp"

#include <cstdio>
#include <string>

#ifndef PHYLO_VERSION
#define PHYLO_VERSION "0"
#endif

namespace {

void print_help(std::FILE *to) {
  std::string text = "Usage: phylo COMMAND [OPTION]... [FILE]...\n"
                     "Tools for phylogenetic distance matrices.\n"
                     "\n"
                     "Commands:\n";
  for (const auto &c : phylo_cli::commands) {
    std::string name(c.name);
    name.resize(10, ' ');
    text += "  " + name + std::string(c.summary) + "\n";
  }
  text += "\n"
          "  -h, --help     print this help and exit\n"
          "  -V, --version  print the version and exit\n"
          "\n"
          "'phylo COMMAND --help' describes a command.\n";
  std::fwrite(text.data(), 1, text.size(), to);
}

} // namespace

int main(int argc, char **argv) {
  cli::reserve_standard_descriptors();
  phylo::input_source standard_input = phylo::input_source::from_fd(0, "standard input");
  phylo::output_sink standard_output = phylo::output_sink::to_fd(1, "standard output");
  phylo::output_sink diagnostics = phylo::output_sink::to_fd(2, "standard error");
  const cli::reporter report("phylo", diagnostics, true);
  const cli::streams_type streams{standard_input, standard_output, report};
  if (argc < 2) {
    print_help(stderr);
    return 2;
  }
  const std::string_view first = argv[1];
  if (first == "-h" || first == "--help" || first == "help") {
    if (first == "help" && argc > 2) {
      char help[] = "--help";
      char *args[] = {help};
      for (const auto &c : phylo_cli::commands)
        if (c.name == argv[2]) return c.run(streams, std::span<char *const>(args, 1));
      report("unknown command '" + std::string(argv[2]) + "'");
      return 2;
    }
    print_help(stdout);
    return 0;
  }
  if (first == "-V" || first == "--version") {
    std::fputs("phylo " PHYLO_VERSION "\n", stdout);
    return 0;
  }
  for (const auto &c : phylo_cli::commands)
    if (c.name == first) return c.run(streams, std::span<char *const>(argv + 2, static_cast<std::size_t>(argc - 2)));
  report("unknown command '" + std::string(first) + "'\nTry 'phylo --help' for more information.");
  return 2;
}
