// phylo: tools for phylogenetic distance matrices, one subcommand per task.

#include "commands.hpp"

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#ifndef PHYLO_VERSION
#define PHYLO_VERSION "0"
#endif

namespace phylo_cli {

void report(std::string_view text) {
  std::string line = "phylo: ";
  line.append(text);
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
}

} // namespace phylo_cli

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

} // namespace

int main(int argc, char **argv) {
  reserve_standard_descriptors();
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
        if (c.name == argv[2]) return c.run(std::span<char *const>(args, 1));
      phylo_cli::report("unknown command '" + std::string(argv[2]) + "'");
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
    if (c.name == first) return c.run(std::span<char *const>(argv + 2, static_cast<std::size_t>(argc - 2)));
  phylo_cli::report("unknown command '" + std::string(first) + "'\nTry 'phylo --help' for more information.");
  return 2;
}
