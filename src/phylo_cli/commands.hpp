// The subcommands of phylo. Each runs with the words after its name and returns the exit
// status: 0 success, 1 a problem with the data or the files, 2 a mistake in the command line.
#pragma once

#include "shell.hpp"

#include <span>
#include <string_view>

namespace phylo_cli {

struct command_type {
  std::string_view name;
  std::string_view summary;
  int (*run)(const cli::streams_type &streams, std::span<char *const> args);
};

int run_convert(const cli::streams_type &streams, std::span<char *const> args);
int run_align(const cli::streams_type &streams, std::span<char *const> args);
int run_dist(const cli::streams_type &streams, std::span<char *const> args);
int run_count(const cli::streams_type &streams, std::span<char *const> args);
int run_tree(const cli::streams_type &streams, std::span<char *const> args);
int run_plot(const cli::streams_type &streams, std::span<char *const> args);

// Every subcommand, in the order that --help lists them.
inline constexpr command_type commands[] = {
    {"convert", "convert distance matrices between layouts and transform them", run_convert},
    {"align", "write FASTA alignments as PHYLIP or NEXUS character matrices", run_align},
    {"dist", "compute distance matrices from alignments and character matrices", run_dist},
    {"count", "count the quartets or triplets of N taxa", run_count},
    {"tree", "build trees from distance matrices and alignments (NJ, UPGMA, ...)", run_tree},
    {"plot", "draw distance matrices as heatmaps and trees as pictures (SVG)", run_plot},
};

} // namespace phylo_cli
