// What the parts of the input source share: the size of its reads, descriptor reads, and the
// decompression of gzip input (io_gzip.cpp).
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <zlib.h>

namespace phylo {

// gzip: the compressed bytes come through their own buffer and inflate into the input's.
struct gzip_stream {
  z_stream z{};
  std::unique_ptr<unsigned char[]> in;
  bool in_eof = false;
  bool ended = false; // the last member ended
  gzip_stream();
  gzip_stream(const gzip_stream &) = delete;
  gzip_stream &operator=(const gzip_stream &) = delete;
  ~gzip_stream();
};

namespace detail {

// How much an input source reads from its descriptor at a time.
inline constexpr std::size_t input_block = std::size_t{1} << 18;

// The system's text for an errno value.
inline std::string system_message(int err) { return std::strerror(err); }

// Reads up to `room` bytes of a descriptor; 0 at its end. use_error (naming `name`) when the
// descriptor cannot be read.
std::size_t read_fd(int fd, char *to, std::size_t room, const std::string &name);
// Inflates up to `room` bytes of the gzip data that `fd` holds into `to`, member after member;
// 0 at the end of the last member. format_error for data that is not valid gzip or ends early.
std::size_t inflate_some(gzip_stream &g, int fd, const std::string &name, char *to, std::size_t room);

} // namespace detail
} // namespace phylo
