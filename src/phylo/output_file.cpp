#include "phylo/output_file.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace phylo {
namespace {

[[noreturn]] void refuse(const std::string &path, int code, const std::string &why) {
  throw name_error(path + ": " + why, code);
}

[[noreturn]] void refuse(const std::string &path, int code) { refuse(path, code, std::strerror(code)); }

[[noreturn]] void fail(const std::string &path, const char *doing = "") {
  const int code = errno;
  throw write_error(path + ": " + doing + std::strerror(code), code);
}

// The temporary files that a signal must remove, each named in storage that stays put while
// its slot holds it. The handler is installed while any slot is taken; files past the last
// slot are removed by their owners alone.
constexpr std::size_t max_guarded = 256, no_slot = SIZE_MAX;
const char *volatile pending_temps[max_guarded];
std::size_t guarded_files = 0; // slots taken, under guard_mutex
std::mutex guard_mutex;
constexpr int removal_signals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction saved_actions[std::size(removal_signals)];

extern "C" void remove_and_die(int sig) {
  for (const char *volatile &slot : pending_temps)
    if (const char *t = slot) ::unlink(t);
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

// Takes a slot for `temp`, with the signals blocked in this thread; the first file installs
// the handler for the signals that end the run, but leaves an ignored signal ignored. Returns
// the slot, or no_slot when none is free.
std::size_t guard_temp(const char *temp) {
  const std::lock_guard<std::mutex> lock(guard_mutex);
  std::size_t slot = 0;
  while (slot < max_guarded && pending_temps[slot]) ++slot;
  if (slot == max_guarded) return no_slot;
  pending_temps[slot] = temp;
  if (guarded_files++ == 0)
    for (std::size_t k = 0; k < std::size(removal_signals); ++k) {
      struct sigaction act {};
      act.sa_handler = remove_and_die;
      ::sigemptyset(&act.sa_mask);
      ::sigaction(removal_signals[k], nullptr, &saved_actions[k]);
      if (saved_actions[k].sa_handler != SIG_IGN) ::sigaction(removal_signals[k], &act, nullptr);
    }
  return slot;
}

// Frees the slot; the last file puts the signals' actions back.
void release_temp(std::size_t slot) {
  const std::lock_guard<std::mutex> lock(guard_mutex);
  pending_temps[slot] = nullptr;
  if (--guarded_files == 0)
    for (std::size_t k = 0; k < std::size(removal_signals); ++k)
      if (saved_actions[k].sa_handler != SIG_IGN) ::sigaction(removal_signals[k], &saved_actions[k], nullptr);
}

// The hidden name ".BASE.XXXXXX" beside `target`, BASE cut so that the name fits the folder.
std::string temp_template(const std::string &target) {
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  const long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  const std::size_t most = limit > 16 ? static_cast<std::size_t>(limit) : 255;
  base.resize(std::min(base.size(), most - 8)); // "." and ".XXXXXX"
  return folder + "." + base + ".XXXXXX";
}

} // namespace

output_file::output_file(std::string path, on_signal signals) : path_(std::move(path)), target_(path_) {
  if (path_.empty()) throw name_error("the output file name is empty");
  if (path_.back() == '/') refuse(path_, EISDIR, "names a folder, not a file");
  struct stat st;
  if (::lstat(path_.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char *real = ::realpath(path_.c_str(), nullptr);
    if (!real) refuse(path_, errno);
    target_ = real;
    std::free(real);
  }
  if (::stat(target_.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) refuse(path_, EISDIR, "is a folder");
    if (::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) refuse(path_, errno);
    if (!S_ISREG(st.st_mode)) { // a FIFO, a device: written where it stands
      fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
      if (fd_ < 0) refuse(path_, errno);
      committed_ = true;
      return;
    }
  }
  const std::string name_template = temp_template(target_);
  std::vector<char> name(name_template.begin(), name_template.end());
  name.push_back('\0');
  // With a handler to tell, the signals wait while the file is made and named for it.
  const bool guarded = signals == on_signal::remove_file;
  sigset_t ending, before;
  ::sigemptyset(&ending);
  for (const int sig : removal_signals) ::sigaddset(&ending, sig);
  if (guarded) ::pthread_sigmask(SIG_BLOCK, &ending, &before);
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);
  const int err = errno;
  if (fd_ >= 0) {
    temp_.assign(name.data());
    if (guarded) slot_ = guard_temp(temp_.c_str());
  }
  if (guarded) ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
  if (fd_ < 0) refuse(path_, err, std::string("cannot create a file beside it: ") + std::strerror(err));
}

output_file::~output_file() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !temp_.empty()) {
    ::unlink(temp_.c_str());
    if (slot_ != no_slot) release_temp(slot_);
  }
}

void output_file::commit() {
  if (committed_) { // written directly
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail(path_);
    return;
  }
  // The file gets the mode that an ordinary new file would get, or keeps the mode, owner and
  // group of the file it replaces, as far as the process may set them.
  struct stat st;
  mode_t mode;
  if (::stat(target_.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
    if (::fchown(fd_, st.st_uid, st.st_gid) != 0 && ::fchown(fd_, static_cast<uid_t>(-1), st.st_gid) != 0) {
      // the owner and group of the process stand
    }
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd_, mode) != 0 || ::fsync(fd_) != 0) fail(path_);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail(path_);
  if (::rename(temp_.c_str(), target_.c_str()) != 0) fail(path_, "cannot put the output in place: ");
  committed_ = true;
  if (slot_ != no_slot) release_temp(slot_);
  slot_ = no_slot;
}

} // namespace phylo
