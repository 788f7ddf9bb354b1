// phylo: tools for phylogenetic distance matrices, one subcommand per task.

#include "commands.hpp"

#include <cstdio>
#include <string>

#ifndef PHYLO_VERSION
#define PHYLO_VERSION "0"
#endif

namespace {

std::string help_text() {
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
  return text;
}

} // namespace

int main(int argc, char **argv) {
  cli::reserve_standard_descriptors();
  phylo::input_source standard_input = phylo::input_source::from_fd(0, "standard input");
  phylo::output_sink standard_output = phylo::output_sink::to_fd(1, "standard output");
  phylo::output_sink diagnostics = phylo::output_sink::to_fd(2, "standard error");
  const cli::reporter report("phylo", diagnostics, true, true);
  const cli::streams_type streams{standard_input, standard_output, report};
  if (argc < 2) {
    report.line(help_text().substr(0, help_text().size() - 1)); // the report adds the line end
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
    return cli::print_text(streams, help_text());
  }
  if (first == "-V" || first == "--version") {
    return cli::print_text(streams, "phylo " PHYLO_VERSION "\n");
  }
  for (const auto &c : phylo_cli::commands)
    if (c.name == first) return c.run(streams, std::span<char *const>(argv + 2, static_cast<std::size_t>(argc - 2)));
  report("unknown command '" + std::string(first) + "'\nTry 'phylo --help' for more information.");
  return 2;
}
