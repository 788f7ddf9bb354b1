// The progress line of long runs: the share done and the time left, redrawn in place on a
// terminal's standard error.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace phylo_cli {

// A line on standard error, redrawn in place: "phylo: NAME:  42% WHAT, 7 s left", shown only
// once the work looks set to take more than about a second, and at most five times a second.
// The caller decides whether standard error is a terminal (and the user wants it); called as
// a library's progress hook with the work done and the work in all.
class progress_line {
public:
  progress_line(std::string name, std::string what)
      : name_(std::move(name)), what_(std::move(what)), start_(clock::now()) {}
  progress_line(const progress_line &) = delete;
  progress_line &operator=(const progress_line &) = delete;
  ~progress_line() { clear(); }

  void operator()(std::uint64_t done, std::uint64_t total);
  // Blanks the line and returns to its start.
  void clear();

private:
  using clock = std::chrono::steady_clock;
  std::string name_, what_;
  clock::time_point start_, drawn_;
  bool shown_ = false;
  int width_ = 0;
};

} // namespace phylo_cli
