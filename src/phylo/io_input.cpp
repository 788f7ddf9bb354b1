// Input sources: buffered reading of a descriptor or a text, its line and column, marks.
#include "phylo/io.hpp"

#include "io_parts.hpp"
#include "line_input.hpp"
#include "phylo/types.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace phylo {
namespace {

using detail::count_line_ends;
using detail::input_block;

} // namespace

// ------------------------------------------------------------------------------------------
// input_source

input_source::input_source(int fd, bool owns_fd, std::string name, std::size_t capacity)
    : fd_(fd), owns_fd_(owns_fd), name_(std::move(name)), buf_(new char[capacity ? capacity : 1]),
      cap_(capacity ? capacity : 1), pos_(buf_.get()), end_(buf_.get()) {}

namespace {
// The bytes left in a descriptor that reads a regular file, from its current offset.
// A pipe is made to hold a whole input block where the system allows it, so that the writer
// runs ahead and each read takes a full block rather than the default 64 KiB.
std::optional<std::uint64_t> regular_file_left(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return std::nullopt;
#ifdef F_SETPIPE_SZ
  if (S_ISFIFO(st.st_mode) && ::fcntl(fd, F_GETPIPE_SZ) < static_cast<int>(input_block))
    (void)::fcntl(fd, F_SETPIPE_SZ, static_cast<int>(input_block));
#endif
  if (!S_ISREG(st.st_mode)) return std::nullopt;
  const off_t at = ::lseek(fd, 0, SEEK_CUR);
  if (at < 0 || at > st.st_size) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size - at);
}
} // namespace

input_source input_source::open_file(const std::string &path) {
  if (path.empty()) throw name_error("empty file name");
  int fd;
  do fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int err = errno;
    throw name_error(path + ": " + detail::system_message(err), err);
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw use_error(path + ": is a directory", EISDIR);
  }
  input_source in(fd, true, path, input_block);
  in.size_ = regular_file_left(fd);
  return in;
}

input_source input_source::from_fd(int fd, std::string name) {
  input_source in(fd, false, std::move(name), input_block);
  in.size_ = regular_file_left(fd);
  return in;
}

input_source input_source::from_text(std::string_view text, std::string name) {
  input_source in(-1, false, std::move(name), text.size());
  if (!text.empty()) std::memcpy(in.buf_.get(), text.data(), text.size()); // an empty view may hold no pointer
  in.end_ = in.buf_.get() + text.size();
  in.eof_ = true;
  in.size_ = text.size();
  return in;
}

input_source input_source::from_view(std::string_view text, std::string name) {
  input_source in(-1, false, std::move(name), 0);
  in.buf_.reset(const_cast<char *>(text.data())); // never written: no descriptor, and pinned
  in.borrowed_ = true;
  in.cap_ = text.size();
  in.pos_ = in.buf_.get();
  in.end_ = in.buf_.get() + text.size();
  in.pinned_ = 0;
  in.eof_ = true;
  in.size_ = text.size();
  return in;
}

input_source::input_source(input_source &&o) noexcept
    : fd_(std::exchange(o.fd_, -1)), owns_fd_(std::exchange(o.owns_fd_, false)), eof_(o.eof_),
      name_(std::move(o.name_)), buf_(std::move(o.buf_)), cap_(o.cap_), pos_(std::exchange(o.pos_, nullptr)),
      end_(std::exchange(o.end_, nullptr)), base_(o.base_), pinned_(o.pinned_), lines_before_(o.lines_before_),
      column_before_(o.column_before_), last_dropped_(o.last_dropped_), hole_(std::exchange(o.hole_, nullptr)),
      hole_lines_(o.hole_lines_), size_(o.size_), gzip_(std::move(o.gzip_)), refuse_nul_(o.refuse_nul_),
      borrowed_(std::exchange(o.borrowed_, false)), read_hook_(std::exchange(o.read_hook_, nullptr)),
      read_hook_context_(o.read_hook_context_), counted_to_(o.counted_to_), counted_lines_(o.counted_lines_) {}

input_source &input_source::operator=(input_source &&o) noexcept {
  if (this != &o) {
    release();
    fd_ = std::exchange(o.fd_, -1);
    owns_fd_ = std::exchange(o.owns_fd_, false);
    eof_ = o.eof_;
    name_ = std::move(o.name_);
    buf_ = std::move(o.buf_);
    cap_ = o.cap_;
    pos_ = std::exchange(o.pos_, nullptr);
    end_ = std::exchange(o.end_, nullptr);
    base_ = o.base_;
    pinned_ = o.pinned_;
    lines_before_ = o.lines_before_;
    column_before_ = o.column_before_;
    last_dropped_ = o.last_dropped_;
    hole_ = std::exchange(o.hole_, nullptr);
    hole_lines_ = o.hole_lines_;
    size_ = o.size_;
    gzip_ = std::move(o.gzip_);
    refuse_nul_ = o.refuse_nul_;
    borrowed_ = std::exchange(o.borrowed_, false);
    read_hook_ = std::exchange(o.read_hook_, nullptr);
    read_hook_context_ = o.read_hook_context_;
    counted_to_ = o.counted_to_;
    counted_lines_ = o.counted_lines_;
  }
  return *this;
}

input_source::~input_source() { release(); }

void input_source::release() noexcept {
  if (borrowed_) (void)buf_.release();
  borrowed_ = false;
  if (owns_fd_ && fd_ >= 0) ::close(fd_);
  fd_ = -1;
  owns_fd_ = false;
}

std::size_t input_source::line() const noexcept {
  if (!buf_) return lines_before_ + 1;
  const std::uint64_t here = offset();
  std::size_t ends;
  if (hole_) { // rare: counted afresh, with the line ends that drop_ahead took out
    ends = lines_before_ + count_line_ends(buf_.get(), pos_) + (pos_ > hole_ ? hole_lines_ : 0);
    counted_to_ = 0;
    counted_lines_ = 0;
    std::size_t line = ends + 1;
    const char previous = pos_ != buf_.get() ? pos_[-1] : last_dropped_;
    if (pos_ == end_ && eof_ && previous == '\n' && line > 1) --line;
    return line;
  }
  if (counted_to_ >= base_ && counted_to_ <= here)
    ends = counted_lines_ + count_line_ends(buf_.get() + (counted_to_ - base_), pos_);
  else ends = lines_before_ + count_line_ends(buf_.get(), pos_);
  counted_to_ = here;
  counted_lines_ = ends;
  std::size_t line = ends + 1;
  // At the end of an input whose last line has its line end, the position is the last line,
  // not the line after it that does not exist.
  const char previous = pos_ != buf_.get() ? pos_[-1] : last_dropped_;
  if (pos_ == end_ && eof_ && previous == '\n' && line > 1) --line;
  return line;
}

std::size_t input_source::column() const noexcept {
  if (!buf_) return column_before_ + 1;
  for (const char *p = pos_; p != buf_.get(); --p) {
    if (p == hole_ && hole_lines_ != 0) return static_cast<std::size_t>(pos_ - p) + 1; // a line ended there
    if (p[-1] == '\n') return static_cast<std::size_t>(pos_ - p) + 1;
  }
  return column_before_ + static_cast<std::size_t>(pos_ - buf_.get()) + 1;
}

input_position input_source::position() const { return {name_, line(), column()}; }

input_position input_source::position_at(std::uint64_t offset) const {
  if (!buf_ || offset < base_ || offset > base_ + static_cast<std::uint64_t>(end_ - buf_.get())) return position();
  const char *at = buf_.get() + (offset - base_);
  std::size_t ends;
  if (!hole_ && counted_to_ >= base_ && counted_to_ <= offset) { // counted on from where line() stopped
    ends = counted_lines_ + count_line_ends(buf_.get() + (counted_to_ - base_), at);
  } else if (!hole_ && counted_to_ > offset && counted_to_ - base_ <= static_cast<std::uint64_t>(end_ - buf_.get())) {
    ends = counted_lines_ - count_line_ends(at, buf_.get() + (counted_to_ - base_)); // or back from there
  } else {
    ends = lines_before_ + count_line_ends(buf_.get(), at);
  }
  if (!hole_) {
    counted_to_ = offset;
    counted_lines_ = ends;
  }
  std::size_t line = ends + 1;
  const char previous = at != buf_.get() ? at[-1] : last_dropped_;
  if (at == end_ && eof_ && previous == '\n' && line > 1) --line;
  std::size_t column = column_before_ + static_cast<std::size_t>(at - buf_.get()) + 1;
  for (const char *p = at; p != buf_.get(); --p)
    if (p[-1] == '\n') {
      column = static_cast<std::size_t>(at - p) + 1;
      break;
    }
  return {name_, line, column};
}

std::optional<std::uint64_t> input_source::lines_starting_with(char c) const {
  // Line starts found with memchr: the scan costs little more than reading the bytes.
  auto count = [c](const char *first, const char *last, char &previous) {
    std::uint64_t n = 0;
    if (first == last) return n;
    if (previous == '\n' && *first == c) ++n;
    for (const char *p = first;;) {
      const void *end = std::memchr(p, '\n', static_cast<std::size_t>(last - p));
      if (!end) break;
      p = static_cast<const char *>(end) + 1;
      if (p == last) break;
      n += *p == c;
    }
    previous = last[-1];
    return n;
  };
  char previous = '\n';
  if (fd_ < 0) {
    if (!buf_ || base_ != 0) return std::nullopt;
    return count(buf_.get(), end_, previous);
  }
  struct stat st;
  if (gzip_ || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::unique_ptr<char[]> block(new char[input_block]);
  std::uint64_t n = 0;
  for (off_t at = 0; at < st.st_size;) {
    const ssize_t got = ::pread(fd_, block.get(), input_block, at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;
    n += count(block.get(), block.get() + got, previous);
    at += got;
  }
  return n;
}

std::optional<std::uint64_t> input_source::known_size_left() const noexcept {
  if (!size_) return std::nullopt;
  const std::uint64_t here = offset();
  return *size_ > here ? *size_ - here : 0;
}

// Once a byte after the dropped ones has been read, their line ends join those before the
// buffer.
void input_source::credit_hole() noexcept {
  if (hole_ && pos_ > hole_) {
    lines_before_ += hole_lines_;
    hole_ = nullptr;
    hole_lines_ = 0;
    counted_to_ = 0;
    counted_lines_ = 0;
  }
}

// Drops the bytes before the read position (and before the earliest mark), keeps the rest at
// the start of the buffer, and reads until at least `want` unread bytes are buffered or the
// input ends.
bool input_source::fill(std::size_t want) {
  const std::size_t unread = static_cast<std::size_t>(end_ - pos_);
  if (unread >= want) return true;
  if (fd_ < 0 || eof_) {
    eof_ = true;
    return false;
  }
  credit_hole();
  char *keep = pos_;
  if (pinned_ >= base_ && pinned_ - base_ < static_cast<std::uint64_t>(pos_ - buf_.get()))
    keep = buf_.get() + (pinned_ - base_);
  if (keep != buf_.get()) {
    const char *last_end = nullptr;
    for (const char *p = keep; p != buf_.get(); --p)
      if (p[-1] == '\n') {
        last_end = p;
        break;
      }
    column_before_ = last_end ? static_cast<std::size_t>(keep - last_end)
                              : column_before_ + static_cast<std::size_t>(keep - buf_.get());
    lines_before_ += count_line_ends(buf_.get(), keep);
    last_dropped_ = keep[-1];
  }
  const std::size_t kept = static_cast<std::size_t>(end_ - keep);
  const std::size_t need = kept - unread + want;
  const std::size_t read_at = static_cast<std::size_t>(pos_ - keep);
  const std::size_t hole_at = hole_ ? static_cast<std::size_t>(hole_ - keep) : 0;
  base_ += static_cast<std::uint64_t>(keep - buf_.get());
  if (need > cap_) {
    const std::size_t new_cap = std::max(need, cap_ * 2);
    std::unique_ptr<char[]> bigger(new char[new_cap]);
    std::memcpy(bigger.get(), keep, kept);
    buf_ = std::move(bigger);
    cap_ = new_cap;
  } else if (keep != buf_.get()) {
    std::memmove(buf_.get(), keep, kept);
  }
  pos_ = buf_.get() + read_at;
  end_ = buf_.get() + kept;
  if (hole_) hole_ = buf_.get() + hole_at;
  while (static_cast<std::size_t>(end_ - pos_) < want) {
    const std::size_t got = read_some(end_, cap_ - static_cast<std::size_t>(end_ - buf_.get()));
    if (got == 0) {
      eof_ = true;
      break;
    }
    end_ += got;
    if (refuse_nul_) check_nul(end_ - got);
  }
  return static_cast<std::size_t>(end_ - pos_) >= want;
}

std::size_t detail::read_fd(int fd, char *to, std::size_t room, const std::string &name) {
  for (;;) {
    const ssize_t got = ::read(fd, to, room);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (const int err = errno; err != EINTR)
      throw use_error(name + ": read error: " + detail::system_message(err), err);
  }
}

std::size_t input_source::read_some(char *to, std::size_t room) {
  if (read_hook_) read_hook_(read_hook_context_);
  if (!gzip_) return detail::read_fd(fd_, to, room, name_);
  return detail::inflate_some(*gzip_, fd_, name_, to, room);
}

void input_source::refuse_nul_bytes() {
  refuse_nul_ = true;
  if (buf_) check_nul(pos_);
}

void input_source::check_nul(const char *from) const {
  const void *hit = std::memchr(from, '\0', static_cast<std::size_t>(end_ - from));
  if (!hit) return;
  const input_position where =
      position_at(base_ + static_cast<std::uint64_t>(static_cast<const char *>(hit) - buf_.get()));
  throw format_error("NUL byte at line " + std::to_string(where.line) + ", column " + std::to_string(where.column) +
                         ": not a text file",
                     where);
}

bool input_source::refill() {
  if (fd_ < 0) {
    eof_ = true;
    return pos_ != end_;
  }
  return fill(1);
}

int input_source::peek_at(std::size_t k) {
  if (static_cast<std::size_t>(end_ - pos_) <= k && !fill(k + 1)) return -1;
  return static_cast<unsigned char>(pos_[k]);
}

bool input_source::drop_ahead(std::size_t keep, std::size_t n) noexcept {
  if (pinned_ != UINT64_MAX) return false; // an input_mark may come back to them
  credit_hole();
  char *first = pos_ + keep, *last = first + n;
  const std::size_t lines = count_line_ends(first, last);
  if (lines != 0 && hole_ && hole_ != first) return false;
  if (hole_ && hole_ > first) hole_ = hole_ >= last ? hole_ - n : first;
  if (lines != 0) {
    hole_ = first;
    hole_lines_ += lines;
  }
  std::memmove(first, last, static_cast<std::size_t>(end_ - last));
  end_ -= n;
  return true;
}

input_mark::input_mark(input_source &in) noexcept : in_(in), offset_(in.offset()), previous_pin_(in.pinned_) {
  if (offset_ < in_.pinned_) in_.pinned_ = offset_;
}

input_mark::~input_mark() { in_.pinned_ = previous_pin_; }

void input_mark::rewind() noexcept { seek(offset_); }

void input_mark::seek(std::uint64_t offset) noexcept { in_.pos_ = in_.buf_.get() + (offset - in_.base_); }

namespace {
input_source &standard_input() {
  static input_source in = input_source::from_fd(0, "standard input");
  return in;
}
thread_local input_source *current_in = nullptr;
} // namespace

input_source &current_input() { return current_in ? *current_in : standard_input(); }

input_source *set_current_input(input_source *in) noexcept {
  input_source *previous = current_in;
  current_in = in;
  return previous;
}

} // namespace phylo
