// A whole run of a phylo command in memory (convert, align, dist, count, tree or plot), with
// arbitrary options.
//
// The first line of the input is the command line, split at blanks: its first word names the
// command; of the other words, an option stays as it is (one that could name an output file is
// dropped), and every operand becomes "-" (standard input), so that no file is opened. The
// rest of the input is standard input. Properties:
//   - the run returns (every failure is a typed error or a message) with status 0, 1 or 2;
//   - a failed run says why on standard error, and every line there belongs to a message;
//   - what convert or dist wrote in the tab-separated layout or in standard NEXUS (a text
//     for each matrix), convert reads back in that layout and writes identically.
#include "fuzz_support.hpp"

#include "commands.hpp"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using phylo::fuzz::reused_sink;

// An option that names a file to write: -o in any cluster of short options, or a prefix of
// --output.
bool names_output(std::string_view word) {
  if (word.size() > 2 && word.substr(0, 3) == "--o") return true;
  return word.size() > 1 && word[0] == '-' && word[1] != '-' && word.find('o') != std::string_view::npos;
}

// An option that asks phylo tree for a bootstrap or for its replicates' file: any number of
// replicates is a valid request, and a large one is work that would only time out.
bool names_bootstrap(std::string_view word) {
  if (word.size() > 2 && (word.substr(0, 3) == "--b" || word.substr(0, 3) == "--r")) return true;
  return word.size() > 1 && word[0] == '-' && word[1] != '-' && word.find('b') != std::string_view::npos;
}

int run(std::string_view command, std::vector<std::string> args, std::string_view input, reused_sink &out,
        reused_sink &err) {
  out.reset();
  err.reset();
  int status = -1;
  phylo::input_source standard_input = phylo::input_source::from_text(input, "standard input");
  const cli::reporter report("phylo", err.sink(), false, true);
  const cli::streams_type streams{standard_input, out.sink(), report};
  std::vector<char *> argv;
  for (std::string &a : args) argv.push_back(a.data());
  const char *kind = phylo::fuzz::typed_errors_only([&] {
    for (const auto &c : phylo_cli::commands)
      if (c.name == command) status = c.run(streams, argv);
  });
  FUZZ_CHECK(kind == nullptr);
  return status;
}

// The value of the last --to or -t given, or the default.
std::string output_layout(const std::vector<std::string> &args) {
  std::string layout = "relaxed";
  for (std::size_t k = 0; k < args.size(); ++k) {
    const std::string &a = args[k];
    if (a.rfind("--to=", 0) == 0) layout = a.substr(5);
    else if (a.rfind("-t", 0) == 0 && a.size() > 2) layout = a.substr(2);
    else if ((a == "-t" || a == "--to") && k + 1 < args.size()) layout = args[k + 1];
  }
  return layout;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view text = phylo::fuzz::as_text(data, size);
  const std::size_t nl = std::min(text.find('\n'), text.size());
  std::vector<std::string> words;
  const std::string_view line = text.substr(0, nl);
  for (std::size_t p = 0; p < line.size();) {
    const std::size_t end = std::min(line.find(' ', p), line.size());
    const std::string_view word = line.substr(p, end - p);
    if (!word.empty() && !names_output(word) && !names_bootstrap(word))
      words.emplace_back(word[0] == '-' || words.empty() ? std::string(word) : std::string("-"));
    p = end + 1;
  }
  if (words.empty() || words.size() > 8) return 0;
  const std::string command = words[0];
  const std::vector<std::string> args(words.begin() + 1, words.end());
  if (command == "count") return 0; // writes on the process's standard output
  const std::string_view input = text.substr(std::min(nl + 1, text.size()));

  static reused_sink out_sink, err_sink;
  const int status = run(command, args, input, out_sink, err_sink);
  const std::string out = out_sink.take(), err = err_sink.take();
  FUZZ_CHECK(status >= -1 && status <= 2); // -1: no such command
  if (status == 1 || status == 2) FUZZ_CHECK(!err.empty());
  FUZZ_CHECK(err.empty() || (err.back() == '\n' && err.rfind("phylo: ", 0) == 0));

  const std::string layout = output_layout(args);
  const bool help = out.rfind("Usage: ", 0) == 0;
  if (status == 0 && !help && (command == "convert" || command == "dist") && (layout == "tsv" || layout == "nexus")) {
    const std::vector<std::string> again{"--from=" + layout, "--to=" + layout, "-q", "-"};
    const int back = run("convert", again, out, out_sink, err_sink);
    if (back != 0) std::fprintf(stderr, "did not read back:\n%s\n%s", out.c_str(), err_sink.take().c_str());
    FUZZ_CHECK(back == 0);
    FUZZ_CHECK(out_sink.take() == out);
  }
  return 0;
}
