// Output sinks: output assembled in a large buffer and delivered in blocks.
#include "phylo/io.hpp"

#include "io_parts.hpp"
#include "phylo/types.hpp"

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace phylo {
namespace {

constexpr std::size_t output_block = std::size_t{1} << 20;

} // namespace

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
      const int err = errno;
      if (err == EINTR) continue;
      throw write_error(name_ + ": write error: " + detail::system_message(err), err);
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
