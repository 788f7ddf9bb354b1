#include "output_file.hpp"

#include "phylo/types.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace cli {

output_file::output_file(std::string path) : path_(std::move(path)), target_(path_) {
  if (path_.empty()) throw phylo::name_error("the output file name is empty");
  if (path_.back() == '/') throw phylo::name_error(path_ + ": names a folder, not a file");
  struct stat st;
  if (::lstat(path_.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char *real = ::realpath(path_.c_str(), nullptr);
    if (!real) throw phylo::name_error(path_ + ": " + std::strerror(errno));
    target_ = real;
    std::free(real);
  }
  if (::stat(target_.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    throw phylo::name_error(path_ + ": is not a regular file; only a regular file is replaced");
  const std::size_t slash = target_.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  temp_ = folder + "." + base + ".XXXXXX";
  std::vector<char> name(temp_.begin(), temp_.end());
  name.push_back('\0');
  fd_ = ::mkstemp(name.data());
  if (fd_ < 0) {
    const int err = errno;
    temp_.clear();
    throw phylo::name_error(path_ + ": cannot create a file beside it: " + std::strerror(err));
  }
  temp_.assign(name.data());
  ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
}

output_file::~output_file() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
}

void output_file::commit() {
  // The file gets the mode that an ordinary new file would get, or keeps the mode of the
  // file it replaces.
  struct stat st;
  mode_t mode;
  if (::stat(target_.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd_, mode) != 0 || ::fsync(fd_) != 0) throw phylo::write_error(path_ + ": " + std::strerror(errno));
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) throw phylo::write_error(path_ + ": " + std::strerror(errno));
  if (::rename(temp_.c_str(), target_.c_str()) != 0)
    throw phylo::write_error(path_ + ": cannot put the output in place: " + std::strerror(errno));
  committed_ = true;
}

} // namespace cli
