// The help texts of the commands against the tables that their options are parsed with: every
// layout that a command accepts is named in its --help. And the progress line of long runs.
#include "commands.hpp"
#include "dist_layouts.hpp"
#include "distance_input.hpp"
#include "plot_names.hpp"
#include "progress.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <thread>

namespace {

// The --help text of a phylo command, run in-process.
std::string help_of(std::string_view command) {
  phylo::input_source in = phylo::input_source::from_text("");
  phylo::output_sink out = phylo::output_sink::to_string();
  phylo::output_sink diagnostics = phylo::output_sink::to_string();
  const cli::reporter report("phylo", diagnostics);
  const cli::streams_type streams{in, out, report};
  char help[] = "--help";
  char *args[] = {help};
  for (const auto &c : phylo_cli::commands)
    if (c.name == command) {
      EXPECT_EQ(c.run(streams, std::span<char *const>(args, 1)), 0);
      return out.take_text();
    }
  ADD_FAILURE() << "no command " << command;
  return {};
}

// Whether `name` stands in `text` as a whole word of a list ("tsv," but not "pairs" in
// "pairs-header").
bool names(const std::string &text, std::string_view name) {
  auto word_char = [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; };
  for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
    const bool starts = at == 0 || !word_char(text[at - 1]);
    const bool ends = at + name.size() == text.size() || !word_char(text[at + name.size()]);
    if (starts && ends) return true;
  }
  return false;
}

TEST(Help, EveryOutputLayoutIsNamed) {
  for (std::string_view command : {"convert", "dist"}) {
    const std::string text = help_of(command);
    for (const auto &layout : phylo_cli::output_layouts)
      EXPECT_TRUE(names(text, layout.name)) << "phylo " << command << " --help does not name " << layout.name;
  }
}

TEST(Help, EveryOrderColourMapAndModelIsNamed) {
  const std::string plot = help_of("plot"), tree = help_of("tree");
  for (const auto &order : phylo_cli::plot_orders)
    EXPECT_TRUE(names(plot, order.name)) << "phylo plot --help does not name " << order.name;
  for (const auto &map : phylo_cli::plot_colour_maps)
    EXPECT_TRUE(names(plot, map.name)) << "phylo plot --help does not name " << map.name;
  for (const auto &model : phylo_cli::fasta_models) {
    EXPECT_TRUE(names(plot, model.name)) << "phylo plot --help does not name " << model.name;
    EXPECT_TRUE(names(tree, model.name)) << "phylo tree --help does not name " << model.name;
  }
}

TEST(Help, WordsAreWhole) {
  EXPECT_TRUE(names("pairs, raw", "pairs"));
  EXPECT_FALSE(names("pairs-header", "pairs"));
  EXPECT_FALSE(names("xtsv", "tsv"));
  EXPECT_TRUE(names("tsv", "tsv"));
}

// Nothing is drawn for the first quarter second; then the share done and the time left (two
// thirds done in 0.7 s or more: 0.35 s or more left, shown as 1 s until 2 s have passed), and at
// the end a blank of the line's width.
TEST(Progress, LineShowsTheShareAndTheTimeLeftAndIsBlankedAtTheEnd) {
  testing::internal::CaptureStderr();
  {
    phylo_cli::progress_line line("dist", "of the pairs");
    line(2, 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    line(0, 3);
    line(2, 3);
  }
  const std::string drawn = "\rphylo: dist:  66% of the pairs, 1 s left ";
  EXPECT_EQ(testing::internal::GetCapturedStderr(), drawn + "\r" + std::string(drawn.size(), ' ') + "\r");
}

} // namespace
