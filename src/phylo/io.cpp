#include "phylo/io.hpp"

#include "phylo/types.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <zlib.h>

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
  if (fd < 0) throw name_error(path + ": " + system_message(errno));
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw use_error(path + ": is a directory");
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

input_source::input_source(input_source &&o) noexcept
    : fd_(std::exchange(o.fd_, -1)), owns_fd_(std::exchange(o.owns_fd_, false)), eof_(o.eof_),
      name_(std::move(o.name_)), buf_(std::move(o.buf_)), cap_(o.cap_), pos_(std::exchange(o.pos_, nullptr)),
      end_(std::exchange(o.end_, nullptr)), base_(o.base_), pinned_(o.pinned_), lines_before_(o.lines_before_),
      column_before_(o.column_before_), last_dropped_(o.last_dropped_), hole_(std::exchange(o.hole_, nullptr)),
      hole_lines_(o.hole_lines_), size_(o.size_), gzip_(std::move(o.gzip_)),
      read_hook_(std::exchange(o.read_hook_, nullptr)), read_hook_context_(o.read_hook_context_),
      counted_to_(o.counted_to_), counted_lines_(o.counted_lines_) {}

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
    read_hook_ = std::exchange(o.read_hook_, nullptr);
    read_hook_context_ = o.read_hook_context_;
    counted_to_ = o.counted_to_;
    counted_lines_ = o.counted_lines_;
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
  }
  return static_cast<std::size_t>(end_ - pos_) >= want;
}

// gzip: the compressed bytes come through their own buffer and inflate into the input's.
struct gzip_stream {
  z_stream z{};
  std::unique_ptr<unsigned char[]> in{new unsigned char[input_block]};
  bool in_eof = false;
  bool ended = false; // the last member ended
  gzip_stream() {
    if (inflateInit2(&z, 15 + 16) != Z_OK) throw std::bad_alloc();
  }
  gzip_stream(const gzip_stream &) = delete;
  gzip_stream &operator=(const gzip_stream &) = delete;
  ~gzip_stream() { inflateEnd(&z); }
};

namespace {
// Reads up to `room` bytes of a descriptor; 0 at its end.
std::size_t read_fd(int fd, char *to, std::size_t room, const std::string &name) {
  for (;;) {
    const ssize_t got = ::read(fd, to, room);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) throw use_error(name + ": read error: " + system_message(errno));
  }
}
} // namespace

std::size_t input_source::read_some(char *to, std::size_t room) {
  if (read_hook_) read_hook_(read_hook_context_);
  if (!gzip_) return read_fd(fd_, to, room, name_);
  gzip_stream &g = *gzip_;
  g.z.next_out = reinterpret_cast<unsigned char *>(to);
  g.z.avail_out = static_cast<uInt>(std::min<std::size_t>(room, 1u << 30));
  while (g.z.avail_out == static_cast<uInt>(std::min<std::size_t>(room, 1u << 30))) {
    if (g.z.avail_in == 0 && !g.in_eof) {
      g.z.next_in = g.in.get();
      g.z.avail_in = static_cast<uInt>(read_fd(fd_, reinterpret_cast<char *>(g.in.get()), input_block, name_));
      g.in_eof = g.z.avail_in == 0;
    }
    if (g.ended) {
      if (g.z.avail_in == 0) return 0;
      // Another member follows.
      if (inflateReset(&g.z) != Z_OK) throw format_error("the gzip data is corrupt");
      g.ended = false;
    }
    if (g.z.avail_in == 0 && g.in_eof) throw format_error("the gzip data ends early");
    const int status = inflate(&g.z, Z_NO_FLUSH);
    if (status == Z_STREAM_END) g.ended = true;
    else if (status != Z_OK && status != Z_BUF_ERROR)
      throw format_error("the gzip data is corrupt" + (g.z.msg ? std::string(" (") + g.z.msg + ")" : ""));
  }
  return static_cast<std::size_t>(reinterpret_cast<char *>(g.z.next_out) - to);
}

void input_source::decompress_gzip() {
  if (fd_ < 0 || gzip_ || offset() != 0 || peek_at(0) != 0x1f || peek_at(1) != 0x8b) return;
  auto g = std::make_unique<gzip_stream>();
  const std::size_t buffered = static_cast<std::size_t>(end_ - pos_);
  std::memcpy(g->in.get(), pos_, buffered); // at most what one read gave
  g->z.next_in = g->in.get();
  g->z.avail_in = static_cast<uInt>(buffered);
  g->in_eof = eof_;
  gzip_ = std::move(g);
  pos_ = end_ = buf_.get();
  eof_ = false;
  size_.reset();
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

// ------------------------------------------------------------------------------------------
// output_sink

output_sink::output_sink(int fd, bool to_text, std::string name)
    : fd_(fd), to_text_(to_text), name_(std::move(name)), buf_(new char[output_block]), cap_(output_block),
      pos_(buf_.get()), limit_(buf_.get() + output_block) {}

output_sink output_sink::to_fd(int fd, std::string name) { return output_sink(fd, false, std::move(name)); }

output_sink output_sink::to_string() { return output_sink(-1, true, "string"); }

const std::string &output_sink::text() {
  flush();
  return text_;
}

std::string output_sink::take_text() {
  flush();
  return std::exchange(text_, std::string());
}

output_sink::output_sink(output_sink &&o) noexcept
    : fd_(o.fd_), to_text_(o.to_text_), text_(std::move(o.text_)), name_(std::move(o.name_)), buf_(std::move(o.buf_)),
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
    to_text_ = o.to_text_;
    text_ = std::move(o.text_);
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
  if (to_text_) {
    text_.append(data, n);
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
thread_local output_sink *current_out = nullptr;
} // namespace

output_sink &current_output() { return current_out ? *current_out : standard_output(); }

output_sink *set_current_output(output_sink *out) noexcept {
  output_sink *previous = current_out;
  current_out = out;
  return previous;
}

} // namespace phylo
