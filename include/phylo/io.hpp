// phylo: inputs and outputs.
//
// An input_source is a buffered byte source over a file descriptor or an in-memory text; an
// output_sink assembles output in a large buffer and writes it to a file descriptor (or keeps
// it in a string of its own) in blocks. Every reader takes the source it reads and every
// writer the sink it writes; the forms of the older readers and writers that take neither
// use the current input and output of the calling thread, which scoped_input and
// scoped_output set.
#pragma once

#include "phylo/types.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace phylo {

class input_mark;
struct gzip_stream;

class input_source {
public:
  // Opens a file for reading. name_error when it cannot be opened; use_error when it is
  // a directory. The descriptor is closed with the source.
  static input_source open_file(const std::string &path);
  // Reads a descriptor that the caller keeps open (standard input, a pipe).
  static input_source from_fd(int fd, std::string name);
  // Reads an in-memory text.
  static input_source from_text(std::string_view text, std::string name = "text");
  // Reads a text in place, without a copy: the caller keeps it alive and unchanged while the
  // source lives. Nothing is ever written into it (drop_ahead declines).
  static input_source from_view(std::string_view text, std::string name = "text");

  input_source(input_source &&) noexcept;
  input_source &operator=(input_source &&) noexcept;
  ~input_source();

  // When the input starts with the magic bytes of gzip (31, 139), reads it decompressed from
  // here on, member after member; offsets, lines and columns then count decompressed bytes.
  // Call before anything is consumed; does nothing for other inputs and in-memory texts.
  // Reading then raises format_error for data that is not valid gzip or that ends early.
  void decompress_gzip();

  // From here on a NUL byte anywhere in the input is a format_error ("NUL byte at line L,
  // column C: not a text file", with that position), raised when the byte is first buffered:
  // no text that phylo reads holds one. karvel's reader, which takes a NUL as a character of
  // a label, does not ask for this.
  void refuse_nul_bytes();

  // The name used in diagnostics (a path, or "standard input").
  const std::string &name() const noexcept { return name_; }
  // 1-based number of the line that holds the read position; at the end of an input whose
  // last line has its line end, the last line.
  std::size_t line() const noexcept;
  // 1-based column of the read position: the bytes since the last line end, plus one.
  std::size_t column() const noexcept;
  // The name, line and column of the read position, as errors carry them.
  input_position position() const;
  // The same for an earlier offset whose byte is still buffered (under an input_mark, say);
  // the read position's when it is not.
  input_position position_at(std::uint64_t offset) const;
  // How many bytes were consumed since the start of the input.
  std::uint64_t offset() const noexcept { return base_ + static_cast<std::uint64_t>(pos_ - buf_.get()); }
  // How many lines of the whole input begin with `c`, when that can be told without reading
  // it (an in-memory text, or a regular file read as it stands, counted with reads of its
  // own that leave the read position where it is); none otherwise (a pipe, gzip).
  std::optional<std::uint64_t> lines_starting_with(char c) const;
  // How many bytes are left when that is known (a text, a regular file); none otherwise.
  std::optional<std::uint64_t> known_size_left() const noexcept;
  // Calls hook(context) before each read of the descriptor (of at most a buffer's size, or a
  // gzip block), on the reading thread; what it throws leaves the reader that read (a way to
  // cancel a long read). An in-memory text, read at once, never calls it. Null: no hook.
  void set_read_hook(void (*hook)(void *), void *context) noexcept {
    read_hook_ = hook;
    read_hook_context_ = context;
  }

  // The next byte without consuming it, or -1 at the end of input.
  int peek() {
    if (pos_ == end_ && !refill()) return -1;
    return static_cast<unsigned char>(*pos_);
  }
  // Consumes one byte; only after peek() returned a byte.
  void advance() noexcept { ++pos_; }
  // The byte k positions past the read position without consuming anything, or -1 when the
  // input ends first. The buffer grows as far as needed.
  int peek_at(std::size_t k);
  // The bytes that are already buffered, starting at the read position; refills when empty.
  // An empty view means the end of input.
  std::string_view buffered() {
    if (pos_ == end_) refill();
    return {pos_, static_cast<std::size_t>(end_ - pos_)};
  }
  // Consumes n buffered bytes (n <= buffered().size()).
  void consume(std::size_t n) noexcept { pos_ += n; }
  // Drops the n buffered bytes that follow the first `keep` unread ones, so that a long
  // lookahead need not stay in memory; the line ends among them still count in line() once
  // a byte after them has been read (offset() does not count the bytes). Only one place of
  // the buffer may hold dropped line ends at a time: false, and nothing dropped, when these
  // would need a second one, or when an input_mark keeps the bytes.
  bool drop_ahead(std::size_t keep, std::size_t n) noexcept;

private:
  friend class input_mark;
  input_source(int fd, bool owns_fd, std::string name, std::size_t capacity);
  bool refill();                                     // false at the end of input
  std::size_t read_some(char *to, std::size_t room); // 0 at the end
  bool fill(std::size_t want);
  void credit_hole() noexcept;
  void release() noexcept;

  int fd_ = -1;
  bool owns_fd_ = false;
  bool eof_ = false;
  std::string name_;
  std::unique_ptr<char[]> buf_;
  std::size_t cap_ = 0;
  char *pos_ = nullptr;
  char *end_ = nullptr;
  std::uint64_t base_ = 0;            // the offset of buf_[0] in the input
  std::uint64_t pinned_ = UINT64_MAX; // bytes from this offset on stay buffered (input_mark)
  std::size_t lines_before_ = 0;      // line ends in bytes already dropped from the buffer
  std::size_t column_before_ = 0;     // bytes after the last line end among the dropped ones
  char last_dropped_ = 0;             // the last byte dropped from the buffer
  char *hole_ = nullptr;              // where drop_ahead took out bytes holding line ends, or null
  std::size_t hole_lines_ = 0;        // how many
  std::optional<std::uint64_t> size_; // the size of the whole input, when known
  std::unique_ptr<gzip_stream> gzip_; // decompression, when the input is gzip
  bool refuse_nul_ = false;
  bool borrowed_ = false;                 // buf_ is the caller's text (from_view), not ours to free
  void check_nul(const char *from) const; // format_error for a NUL in [from, end_)
  void (*read_hook_)(void *) = nullptr;   // set_read_hook
  void *read_hook_context_ = nullptr;
  // line() remembers how far it counted, so that calling it as reading goes on costs only
  // the bytes read in between.
  mutable std::uint64_t counted_to_ = 0;
  mutable std::size_t counted_lines_ = 0;
};

// Bounded lookahead: while a mark lives, the bytes of its source from the marked position
// on stay in the buffer, and rewind() takes the read position back there. A reader marks
// where a row begins, tries the ways the row can be read, and rewinds between them; what it
// looks ahead is what the buffer holds meanwhile. Marks may nest.
class input_mark {
public:
  explicit input_mark(input_source &in) noexcept;
  input_mark(const input_mark &) = delete;
  input_mark &operator=(const input_mark &) = delete;
  ~input_mark();

  // Back to the marked position.
  void rewind() noexcept;
  // To a position between the mark and the furthest byte read since (an offset()).
  void seek(std::uint64_t offset) noexcept;
  std::uint64_t offset() const noexcept { return offset_; }

private:
  input_source &in_;
  std::uint64_t offset_;
  std::uint64_t previous_pin_;
};

// The current input of the calling thread; standard input until set otherwise.
input_source &current_input();
// Makes `in` the current input of the calling thread (the caller keeps it alive) and returns
// the previous one.
input_source *set_current_input(input_source *in) noexcept;

// Makes a source the current input for the lifetime of this object.
class scoped_input {
public:
  explicit scoped_input(input_source &in) : previous_(set_current_input(&in)) {}
  scoped_input(const scoped_input &) = delete;
  scoped_input &operator=(const scoped_input &) = delete;
  ~scoped_input() { set_current_input(previous_); }

private:
  input_source *previous_;
};

class output_sink {
public:
  // Writes to a descriptor that the caller keeps open.
  static output_sink to_fd(int fd, std::string name);
  // Keeps what is written in a string of its own (tests, in-memory conversion): text().
  static output_sink to_string();

  output_sink(output_sink &&) noexcept;
  output_sink &operator=(output_sink &&) noexcept;
  ~output_sink(); // flushes, ignoring errors: call flush() to see them

  // A pointer to at least n writable bytes; finish with commit(end of what was written).
  char *reserve(std::size_t n) {
    if (static_cast<std::size_t>(limit_ - pos_) < n) make_room(n);
    return pos_;
  }
  void commit(char *end) noexcept { pos_ = end; }
  void write(std::string_view text);
  void put(char c) {
    *reserve(1) = c;
    ++pos_;
  }
  // Delivers everything buffered. write_error when the descriptor cannot be written.
  void flush();
  const std::string &name() const noexcept { return name_; }
  // A sink into a string: everything written so far (flushed first); empty for a descriptor.
  const std::string &text();
  // The same, taken out of the sink, which starts again empty.
  std::string take_text();

private:
  output_sink(int fd, bool to_text, std::string name);
  void make_room(std::size_t n);
  void deliver(const char *data, std::size_t n);

  int fd_ = -1;
  bool to_text_ = false;
  std::string text_;
  std::string name_;
  std::unique_ptr<char[]> buf_;
  std::size_t cap_ = 0;
  char *pos_ = nullptr;
  char *limit_ = nullptr;
};

// The current output of the calling thread; standard output until set otherwise.
output_sink &current_output();
output_sink *set_current_output(output_sink *out) noexcept;

// Makes a sink the current output for the lifetime of this object.
class scoped_output {
public:
  explicit scoped_output(output_sink &out) : previous_(set_current_output(&out)) {}
  scoped_output(const scoped_output &) = delete;
  scoped_output &operator=(const scoped_output &) = delete;
  ~scoped_output() { set_current_output(previous_); }

private:
  output_sink *previous_;
};

} // namespace phylo
