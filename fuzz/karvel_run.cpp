// A whole karvel run in memory, with arbitrary options.
//
// The first line of the input is the command line, split at blanks: a word of two characters
// that begins with '-' stays as it is (an option, or a name that names no file), every other
// word becomes "-" (standard input), so that no file is ever opened. The rest of the input is
// standard input. Properties:
//   - the run returns (every failure is a typed error or a message) with status 0 or 1;
//   - status 0 comes with no diagnostic, status 1 with a diagnostic of one line (or the usage
//     text), and a failed run prints only whole matrices: whatever it printed is followed by
//     what a run that succeeded would print next, so the output always ends with a line end;
//   - what a successful run printed in the extended PHYLIP or the tab-separated layout from
//     input in either of those layouts (whose labels hold no control characters), karvel
//     reads back in that layout and prints identically.
#include "fuzz_support.hpp"

#include "run.hpp"

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The option letter of a group that takes effect: the leftmost one given, or the default.
char selected(const std::vector<std::string> &args, std::string_view group, char fallback) {
  for (const std::string &a : args)
    if (a.size() == 2 && a[0] == '-' && group.find(a[1]) != std::string_view::npos) return a[1];
  return fallback;
}

int run(const std::vector<std::string> &args, std::string_view input, phylo::fuzz::reused_sink &out,
        phylo::fuzz::reused_sink &err) {
  out.reset();
  err.reset();
  int status = -1;
  phylo::input_source standard_input = phylo::input_source::from_text(input, "standard input");
  const char *kind = phylo::fuzz::typed_errors_only(
      [&] { status = karvel::run("karvel", args, standard_input, out.sink(), err.sink()); });
  FUZZ_CHECK(kind == nullptr);
  return status;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view text = phylo::fuzz::as_text(data, size);
  const std::size_t nl = std::min(text.find('\n'), text.size());
  std::vector<std::string> args;
  const std::string_view line = text.substr(0, nl);
  for (std::size_t p = 0; p < line.size();) {
    const std::size_t end = std::min(line.find(' ', p), line.size());
    const std::string_view word = line.substr(p, end - p);
    if (!word.empty()) args.emplace_back(word.size() == 2 && word[0] == '-' ? std::string(word) : std::string("-"));
    p = end + 1;
  }
  if (args.size() > 8) return 0; // long command lines add nothing
  const std::string_view input = text.substr(std::min(nl + 1, text.size()));

  static phylo::fuzz::reused_sink out_sink, err_sink;
  const int status = run(args, input, out_sink, err_sink);
  const std::string out = out_sink.take(), err = err_sink.take();
  FUZZ_CHECK(status == 0 || status == 1);
  if (status == 0) FUZZ_CHECK(err.empty());
  if (status == 1) {
    FUZZ_CHECK(!err.empty() && err.back() == '\n');
    const bool usage = err.find(" converts distance matrices.\n") != std::string::npos;
    FUZZ_CHECK(usage || std::count(err.begin(), err.end(), '\n') == 1);
  }
  FUZZ_CHECK(out.empty() || out.back() == '\n');

  const char in_layout = selected(args, "ptx", 'x'), out_layout = selected(args, "CENOPRT", 'E');
  if (status == 0 && in_layout != 'p' && (out_layout == 'E' || out_layout == 'T')) {
    const std::vector<std::string> again{out_layout == 'E' ? "-x" : "-t", std::string("-") + out_layout, "-"};
    FUZZ_CHECK(run(again, out, out_sink, err_sink) == 0);
    FUZZ_CHECK(out_sink.take() == out);
  }
  return 0;
}
