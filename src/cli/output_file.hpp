// An output file that appears only when everything written to it succeeded. A regular file
// (new, or one that stands at the path, or the file that a symbolic link names) is written
// to a temporary file in its folder, which commit() renames into place, keeping the mode,
// owner and group of the file it replaces; a file that is never committed is removed, also
// when SIGINT, SIGTERM or SIGHUP ends the run. Anything else that is not a folder (a FIFO, a
// character device such as /dev/null) is written directly, as the shell's '>' would.
#pragma once

#include <string>

namespace cli {

class output_file {
public:
  // Opens the output. phylo::name_error when the path names a folder or a file that may not
  // be written, or when the folder cannot take the temporary file.
  explicit output_file(std::string path);
  output_file(const output_file &) = delete;
  output_file &operator=(const output_file &) = delete;
  ~output_file(); // removes the temporary file unless committed

  int fd() const noexcept { return fd_; }
  // Makes the written text durable and renames it to the path. phylo::write_error on failure.
  void commit();

private:
  std::string path_, target_, temp_; // the path as given, the file it names, the temporary file
  int fd_ = -1;
  bool committed_ = false;
};

} // namespace cli
