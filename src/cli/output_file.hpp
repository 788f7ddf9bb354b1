// An output file that appears only when everything written to it succeeded: the text goes
// to a temporary file in the same folder, which commit() renames into place; a file that is
// never committed is removed. Only a regular file is replaced: a symbolic link is followed to
// the file it names, and anything else that stands at the path is refused.
#pragma once

#include <string>

namespace cli {

class output_file {
public:
  // Creates the temporary file. phylo::name_error when the folder cannot take it, or the path
  // names something other than a regular file.
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
