#include "progress.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace phylo_cli {

void progress_line::operator()(std::uint64_t done, std::uint64_t total) {
  const auto now = clock::now();
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  if (done == 0 || (shown_ && now - drawn_ < std::chrono::milliseconds(200))) return;
  const double left = elapsed * static_cast<double>(total - done) / static_cast<double>(done);
  if (!shown_ && (elapsed < 0.25 || elapsed + left < 1.0)) return;
  char text[200];
  const int width = std::snprintf(text, sizeof text, "\rphylo: %.100s: %3d%% %.40s, %.0f s left ", name_.c_str(),
                                  static_cast<int>(100.0 * static_cast<double>(done) / static_cast<double>(total)),
                                  what_.c_str(), std::ceil(left));
  width_ = std::max(width_, width);
  std::fwrite(text, 1, static_cast<std::size_t>(std::min<int>(width, sizeof text - 1)), stderr);
  std::fflush(stderr);
  shown_ = true;
  drawn_ = now;
}

void progress_line::clear() {
  if (!shown_) return;
  const std::string blank = "\r" + std::string(static_cast<std::size_t>(width_), ' ') + "\r";
  std::fwrite(blank.data(), 1, blank.size(), stderr);
  std::fflush(stderr);
  shown_ = false;
}

} // namespace phylo_cli
