// phylo: an output file that appears only when everything written to it succeeded. A regular
// file (new, or one that stands at the path, or the file that a symbolic link names) is
// written to a temporary file in its folder, which commit() renames into place, keeping the
// mode, owner and group of the file it replaces; a file that is never committed is removed.
// Anything else that is not a folder (a FIFO, a character device such as /dev/null) is written
// directly, as the shell's '>' would.
#pragma once

#include "phylo/errors.hpp"

#include <cstddef>
#include <cstdint>
#include <string>

namespace phylo {

class output_file {
public:
  // What becomes of the temporary file when SIGINT, SIGTERM or SIGHUP ends the process: a
  // program that lets those signals end it asks for its removal (the handler is installed
  // while such files are open, for up to 256 of them at once, and an ignored signal stays
  // ignored); a host with handlers of its own (an interpreter) keeps them.
  enum class on_signal { keep_handlers, remove_file };

  // Opens the output. name_error when the path is empty or names a folder or a file that may
  // not be written, or when the folder cannot take the temporary file (with the system's
  // reason in system_code() where it gave one).
  explicit output_file(std::string path, on_signal signals = on_signal::keep_handlers);
  output_file(const output_file &) = delete;
  output_file &operator=(const output_file &) = delete;
  ~output_file(); // removes the temporary file unless committed

  int fd() const noexcept { return fd_; }
  // Makes the written text durable and renames it to the path. write_error on failure.
  void commit();

private:
  std::string path_, target_, temp_; // the path as given, the file it names, the temporary file
  int fd_ = -1;
  std::size_t slot_ = SIZE_MAX; // where the signal handler finds temp_, SIZE_MAX for nowhere
  bool committed_ = false;
};

} // namespace phylo
