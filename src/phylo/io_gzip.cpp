// gzip input: the compressed bytes of a descriptor inflated into the input's buffer.
#include "io_parts.hpp"
#include "phylo/io.hpp"

#include <algorithm>
#include <cstring>
#include <new>

namespace phylo {

gzip_stream::gzip_stream() : in(new unsigned char[detail::input_block]) {
  if (inflateInit2(&z, 15 + 16) != Z_OK) throw std::bad_alloc();
}

gzip_stream::~gzip_stream() { inflateEnd(&z); }

std::size_t detail::inflate_some(gzip_stream &g, int fd, const std::string &name, char *to, std::size_t room) {
  g.z.next_out = reinterpret_cast<unsigned char *>(to);
  g.z.avail_out = static_cast<uInt>(std::min<std::size_t>(room, 1u << 30));
  while (g.z.avail_out == static_cast<uInt>(std::min<std::size_t>(room, 1u << 30))) {
    if (g.z.avail_in == 0 && !g.in_eof) {
      g.z.next_in = g.in.get();
      g.z.avail_in = static_cast<uInt>(read_fd(fd, reinterpret_cast<char *>(g.in.get()), input_block, name));
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

} // namespace phylo
