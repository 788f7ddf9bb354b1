#include "phylo/io.hpp"

#include "phylo/types.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace phylo {
namespace {

constexpr std::size_t input_block = 1 << 18;
constexpr std::size_t output_block = 1 << 20;

std::size_t count_line_ends(const char *first, const char *last) noexcept {
  std::size_t n = 0;
  while (first < last) {
    const void *hit = std::memchr(first, '\n', static_cast<std::size_t>(last - first));
    if (!hit) break;
    ++n;
    first = static_cast<const char *>(hit) + 1;
  }
  return n;
}

std::string system_message(int err) { return std::strerror(err); }

} // namespace

// ------------------------------------------------------------------------------------------
// input_source

input_source::input_source(int fd, bool owns_fd, std::string name, std::size_t capacity)
    : fd_(fd), owns_fd_(owns_fd), name_(std::move(name)), buf_(new char[capacity ? capacity : 1]),
      cap_(capacity ? capacity : 1), pos_(buf_.get()), end_(buf_.get()) {}

input_source input_source::open_file(const std::string &path) {
  if (path.empty()) throw name_error("empty file name");
  int fd;
  do fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) throw name_error(path + ": " + system_message(errno));
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw use_error(path + ": is a directory");
  }
  return input_source(fd, true, path, input_block);
}

input_source input_source::from_fd(int fd, std::string name) {
  return input_source(fd, false, std::move(name), input_block);
}

input_source input_source::from_text(std::string_view text, std::string name) {
  input_source in(-1, false, std::move(name), text.size());
  if (!text.empty()) std::memcpy(in.buf_.get(), text.data(), text.size()); // an empty view may hold no pointer
  in.end_ = in.buf_.get() + text.size();
  in.eof_ = true;
  return in;
}

input_source::input_source(input_source &&o) noexcept
    : fd_(o.fd_), owns_fd_(o.owns_fd_), eof_(o.eof_), name_(std::move(o.name_)),
      buf_(std::move(o.buf_)), cap_(o.cap_), pos_(o.pos_), end_(o.end_),
      lines_before_(o.lines_before_), last_dropped_(o.last_dropped_), hole_(o.hole_), hole_lines_(o.hole_lines_) {
  o.fd_ = -1;
  o.owns_fd_ = false;
  o.pos_ = o.end_ = nullptr;
}

input_source &input_source::operator=(input_source &&o) noexcept {
  if (this != &o) {
    release();
    fd_ = o.fd_;
    owns_fd_ = o.owns_fd_;
    eof_ = o.eof_;
    name_ = std::move(o.name_);
    buf_ = std::move(o.buf_);
    cap_ = o.cap_;
    pos_ = o.pos_;
    end_ = o.end_;
    lines_before_ = o.lines_before_;
    last_dropped_ = o.last_dropped_;
    hole_ = o.hole_;
    hole_lines_ = o.hole_lines_;
    o.fd_ = -1;
    o.owns_fd_ = false;
    o.pos_ = o.end_ = nullptr;
  }
  return *this;
}

input_source::~input_source() { release(); }

void input_source::release() noexcept {
  if (owns_fd_ && fd_ >= 0) ::close(fd_);
  fd_ = -1;
  owns_fd_ = false;
}

std::size_t input_source::line() const noexcept {
  if (!buf_) return lines_before_ + 1;
  std::size_t line = lines_before_ + count_line_ends(buf_.get(), pos_) + 1;
  if (hole_ && pos_ > hole_) line += hole_lines_;
  // At the end of an input whose last line has its line end, the position is the last line,
  // not the line after it that does not exist.
  const char previous = pos_ != buf_.get() ? pos_[-1] : last_dropped_;
  if (pos_ == end_ && eof_ && previous == '\n' && line > 1) --line;
  return line;
}

// Once a byte after the dropped ones has been read, their line ends join those before the buffer.
void input_source::credit_hole() noexcept {
  if (hole_ && pos_ > hole_) {
    lines_before_ += hole_lines_;
    hole_ = nullptr;
    hole_lines_ = 0;
  }
}

// Drops the consumed bytes, keeps the unread ones at the start of the buffer, and reads
// until at least `want` unread bytes are buffered or the input ends.
bool input_source::fill(std::size_t want) {
  std::size_t unread = static_cast<std::size_t>(end_ - pos_);
  if (unread >= want) return true;
  if (eof_) return false;
  credit_hole();
  lines_before_ += count_line_ends(buf_.get(), pos_);
  if (pos_ != buf_.get()) last_dropped_ = pos_[-1];
  const std::size_t hole_at = hole_ ? static_cast<std::size_t>(hole_ - pos_) : 0;
  if (want > cap_) {
    std::size_t new_cap = std::max(want, cap_ * 2);
    std::unique_ptr<char[]> bigger(new char[new_cap]);
    std::memcpy(bigger.get(), pos_, unread);
    buf_ = std::move(bigger);
    cap_ = new_cap;
  } else if (pos_ != buf_.get()) {
    std::memmove(buf_.get(), pos_, unread);
  }
  pos_ = buf_.get();
  end_ = pos_ + unread;
  if (hole_) hole_ = pos_ + hole_at;
  while (static_cast<std::size_t>(end_ - pos_) < want) {
    ssize_t got = ::read(fd_, end_, cap_ - static_cast<std::size_t>(end_ - buf_.get()));
    if (got < 0) {
      if (errno == EINTR) continue;
      throw use_error(name_ + ": read error: " + system_message(errno));
    }
    if (got == 0) {
      eof_ = true;
      break;
    }
    end_ += got;
  }
  return static_cast<std::size_t>(end_ - pos_) >= want;
}

bool input_source::refill() {
  if (fd_ < 0) {
    eof_ = true;
    return pos_ != end_;
  }
  return fill(1);
}

int input_source::peek_at(std::size_t k) {
  if (static_cast<std::size_t>(end_ - pos_) <= k) {
    if (fd_ < 0 || !fill(k + 1)) return -1;
  }
  return static_cast<unsigned char>(pos_[k]);
}

bool input_source::drop_ahead(std::size_t keep, std::size_t n) noexcept {
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

namespace {
input_source &standard_input() {
  static input_source in = input_source::from_fd(0, "standard input");
  return in;
}
input_source *current_in = nullptr;
} // namespace

input_source &current_input() noexcept { return current_in ? *current_in : standard_input(); }

input_source *set_current_input(input_source *in) noexcept {
  input_source *previous = current_in;
  current_in = in;
  return previous;
}

// ------------------------------------------------------------------------------------------
// output_sink

output_sink::output_sink(int fd, std::string *target, std::string name)
    : fd_(fd), target_(target), name_(std::move(name)), buf_(new char[output_block]),
      cap_(output_block), pos_(buf_.get()), limit_(buf_.get() + output_block) {}

output_sink output_sink::to_fd(int fd, std::string name) { return output_sink(fd, nullptr, std::move(name)); }

output_sink output_sink::to_string(std::string &target) { return output_sink(-1, &target, "string"); }

output_sink::output_sink(output_sink &&o) noexcept
    : fd_(o.fd_), target_(o.target_), name_(std::move(o.name_)), buf_(std::move(o.buf_)),
      cap_(o.cap_), pos_(o.pos_), limit_(o.limit_) {
  o.pos_ = o.limit_ = nullptr;
}

output_sink &output_sink::operator=(output_sink &&o) noexcept {
  if (this != &o) {
    try {
      flush();
    } catch (...) {
    }
    fd_ = o.fd_;
    target_ = o.target_;
    name_ = std::move(o.name_);
    buf_ = std::move(o.buf_);
    cap_ = o.cap_;
    pos_ = o.pos_;
    limit_ = o.limit_;
    o.pos_ = o.limit_ = nullptr;
  }
  return *this;
}

output_sink::~output_sink() {
  try {
    flush();
  } catch (...) {
  }
}

void output_sink::deliver(const char *data, std::size_t n) {
  if (target_) {
    target_->append(data, n);
    return;
  }
  while (n > 0) {
    ssize_t put = ::write(fd_, data, n);
    if (put < 0) {
      if (errno == EINTR) continue;
      throw write_error(name_ + ": write error: " + system_message(errno));
    }
    data += put;
    n -= static_cast<std::size_t>(put);
  }
}

void output_sink::flush() {
  if (!buf_ || pos_ == buf_.get()) return;
  std::size_t n = static_cast<std::size_t>(pos_ - buf_.get());
  pos_ = buf_.get(); // what fails to be written is dropped: it can never be delivered
  deliver(buf_.get(), n);
}

void output_sink::make_room(std::size_t n) {
  flush();
  if (n > cap_) {
    buf_.reset(new char[n]);
    cap_ = n;
    pos_ = buf_.get();
    limit_ = pos_ + cap_;
  }
}

void output_sink::write(std::string_view text) {
  if (text.size() >= cap_) {
    flush();
    deliver(text.data(), text.size());
    return;
  }
  if (text.empty()) return; // an empty view may hold no pointer, which memcpy must not get
  char *p = reserve(text.size());
  std::memcpy(p, text.data(), text.size());
  commit(p + text.size());
}

namespace {
output_sink &standard_output() {
  static output_sink out = output_sink::to_fd(1, "standard output");
  return out;
}
output_sink *current_out = nullptr;
} // namespace

output_sink &current_output() noexcept { return current_out ? *current_out : standard_output(); }

output_sink *set_current_output(output_sink *out) noexcept {
  output_sink *previous = current_out;
  current_out = out;
  return previous;
}

} // namespace phylo
