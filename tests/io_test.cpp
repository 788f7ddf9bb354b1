// The current input and output at their edges: positions across refills and bounded lookahead
// under marks.
#include "phylo/io.hpp"
#include "phylo/number.hpp"
#include "phylo/words.hpp"
#include "test_io.hpp"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <zlib.h>

namespace {

// Everything a source has left.
std::string drain(phylo::input_source &in) {
  std::string all;
  for (std::string_view chunk; !(chunk = in.buffered()).empty(); in.consume(chunk.size())) all += chunk;
  return all;
}

// A file of the test's scratch folder, removed at the end of the test.
struct temp_file {
  temp_file(const std::string &name, const std::string &text) : path(testing::TempDir() + name) {
    std::ofstream(path, std::ios::binary) << text;
  }
  ~temp_file() { std::remove(path.c_str()); }
  std::string path;
};

// A pipe whose writing end a thread fills with a text and then closes.
struct pipe_feed {
  explicit pipe_feed(const std::string &text) {
    EXPECT_EQ(::pipe(fds), 0);
    writer = std::thread([this, text] {
      for (std::size_t at = 0; at < text.size();) {
        const ssize_t n = ::write(fds[1], text.data() + at, text.size() - at);
        if (n <= 0) break;
        at += static_cast<std::size_t>(n);
      }
      ::close(fds[1]);
    });
  }
  ~pipe_feed() {
    writer.join();
    ::close(fds[0]);
  }
  int fds[2] = {-1, -1};
  std::thread writer;
};

// A text read in place: the source's bytes are the text's own (no copy), every byte reads,
// positions count lines and columns (ahead too, and at the end), a lookahead is never dropped
// from it (it cannot be written), and the text is left as it was.
TEST(InputSource, FromViewReadsInPlace) {
  const std::string text = "ab\ncd\n\nxyz";
  const std::string before = text;
  phylo::input_source in = phylo::input_source::from_view(text, "view");
  EXPECT_EQ(in.buffered().data(), text.data());
  EXPECT_EQ(in.buffered(), text);
  EXPECT_EQ(in.known_size_left(), text.size());
  EXPECT_EQ(in.peek_at(text.size() - 1), 'z');
  EXPECT_EQ(in.peek_at(text.size()), -1);
  EXPECT_EQ(std::to_string(in.position_at(4).line) + ":" + std::to_string(in.position_at(4).column), "2:2");
  EXPECT_FALSE(in.drop_ahead(0, 3));
  std::string read;
  for (int c; (c = in.peek()) >= 0; in.advance()) {
    if (c == 'y') {
      EXPECT_EQ(in.position().line, 4u);
      EXPECT_EQ(in.position().column, 2u);
    }
    read.push_back(static_cast<char>(c));
  }
  EXPECT_EQ(read, text);
  EXPECT_EQ(in.offset(), text.size());
  EXPECT_EQ(in.position().name, "view");
  EXPECT_EQ(text, before);
  // An empty std::string_view holds a null pointer, which memcpy must never see.
  for (auto *make : {&phylo::input_source::from_view, &phylo::input_source::from_text})
    EXPECT_EQ(make(std::string_view{}, "none").peek(), -1);
  phylo::input_source ended = phylo::input_source::from_text("ab\ncd\n");
  ended.consume(6);
  EXPECT_EQ(ended.line(), 2u) << "the last line, not the one after its line end";
}

// Under a mark the lookahead must stay, since the mark may come back to it: drop_ahead declines
// and nothing is dropped; without the mark the same bytes are dropped.
TEST(InputSource, DropAheadDeclinesUnderAMark) {
  phylo::input_source in = phylo::input_source::from_text("0123456789");
  {
    phylo::input_mark mark(in);
    EXPECT_FALSE(in.drop_ahead(2, 3));
    EXPECT_EQ(in.buffered(), "0123456789");
  }
  EXPECT_TRUE(in.drop_ahead(2, 3));
  EXPECT_EQ(in.buffered(), "0156789");
}

// The line ends among bytes dropped ahead count once a byte after them has been read; offsets
// leave the dropped bytes out.
TEST(InputSource, DropAheadKeepsTheLineEnds) {
  phylo::input_source in = phylo::input_source::from_text("a\nb\nc\nd\ne\n");
  in.consume(1);
  ASSERT_TRUE(in.drop_ahead(1, 4)); // "b\nc\n"
  EXPECT_EQ(in.buffered(), "\nd\ne\n");
  std::string lines;
  for (int k = 0; k < 5; ++k, in.advance()) lines += std::to_string(in.line()) + " ";
  EXPECT_EQ(lines, "1 2 4 5 5 ");
  EXPECT_EQ(in.offset(), 6u);
  EXPECT_EQ(in.line(), 5u);
}

// A source moved into another reads on where the first stood: its bytes, lines and offset.
TEST(InputSource, MoveAssignmentReadsOn) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "line\n";
  const temp_file file("phylo_move.txt", text);
  phylo::input_source in = phylo::input_source::open_file(file.path);
  ASSERT_GE(in.buffered().size(), 12u);
  in.consume(12);
  phylo::input_source other = phylo::input_source::from_text("other");
  other = std::move(in);
  EXPECT_EQ(other.offset(), 12u);
  EXPECT_EQ(other.line(), 3u);
  EXPECT_EQ(other.position().name, file.path);
  EXPECT_EQ(other.known_size_left(), text.size() - 12);
  EXPECT_EQ(drain(other), text.substr(12));
}

// A sink moved into another keeps its text and its name; the one moved from is left empty, and
// a sink moved into itself stays whole; taking the text empties the sink.
TEST(OutputSink, MoveAssignmentKeepsTheText) {
  phylo::output_sink a = phylo::output_sink::to_string();
  a.write("first");
  phylo::output_sink b = phylo::output_sink::to_string();
  b.write("second");
  b = std::move(a);
  b.write(" and more");
  b.write(std::string_view{}); // empty, without a pointer
  EXPECT_EQ(b.take_text(), "first and more");
  EXPECT_EQ(b.text(), "");
  phylo::output_sink &same = b;
  b.write("again");
  b = std::move(same);
  EXPECT_EQ(b.text(), "again");
}

// A file larger than the input buffer: after the refills the line numbers go on counting, and a
// reader's error names the line where it stands (karvel's diagnostics take it from here).
TEST(InputSource, LineNumbersAcrossRefills) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "line\n"; // 500,000 bytes: the buffer holds 262,144
  const temp_file file("phylo_refills.txt", text + "x\n");
  phylo::input_source in = phylo::input_source::open_file(file.path);
  phylo::scoped_input scope(in);
  for (int i = 0; i < 60000; ++i) phylo::read::skip_line(); // past the first refill
  EXPECT_EQ(in.offset(), 300000u);
  EXPECT_EQ(in.line(), 60001u);
  EXPECT_EQ(in.position().column, 1u);
  in.consume(2);
  EXPECT_EQ(in.position().column, 3u);
  for (int i = 0; i < 40000; ++i) phylo::read::skip_line();
  try {
    phylo::read::read_real();
    ADD_FAILURE() << "x was read as a number";
  } catch (const phylo::format_error &e) {
    ASSERT_NE(e.where(), nullptr);
    EXPECT_EQ(e.where()->line, 100001u);
  }
}

// A gzip file of several members (as `cat a.gz b.gz` makes) reads as the texts one after the
// other, across members that end inside a buffer and members larger than one.
TEST(InputSource, GzipMembersOneAfterAnother) {
  auto member = [](const std::string &text) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&z, static_cast<uLong>(text.size())) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
  };
  std::string big;
  for (int i = 0; big.size() < 700000; ++i) big += std::to_string(i * 7919 % 100003) + "\n";
  const std::string texts[] = {"first member\n", big, "", "last\n"};
  std::string want, gz;
  for (const std::string &t : texts) want += t, gz += member(t);
  const temp_file file("phylo_members.gz", gz);
  phylo::input_source in = phylo::input_source::open_file(file.path);
  in.decompress_gzip();
  const std::string got = drain(in);
  EXPECT_EQ(got.size(), want.size());
  EXPECT_TRUE(got == want);
}

// reserve(n) gives n writable bytes however large n is, beyond the buffer too, and what
// follows is written after them.
TEST(OutputSink, ReserveBeyondTheBuffer) {
  phylo::output_sink out = phylo::output_sink::to_string();
  out.write("head ");
  const std::size_t large = std::size_t{5} << 20;
  char *p = out.reserve(large);
  std::memset(p, 'x', large);
  out.commit(p + large);
  for (int i = 0; i < 3; ++i) {
    char *q = out.reserve(large + 1);
    std::memset(q, static_cast<char>('a' + i), 10);
    out.commit(q + 10);
  }
  const std::string piece(100, 'y');
  for (int i = 0; i < 100000; ++i) out.write(piece); // 10 MB more, in small pieces
  out.write(" tail");
  const std::string text = out.take_text();
  EXPECT_TRUE(text == "head " + std::string(large, 'x') + std::string(10, 'a') + std::string(10, 'b') +
                          std::string(10, 'c') + std::string(10000000, 'y') + " tail");
}

// The read hook runs before every read of the descriptor, and what it throws stops the
// reader; an in-memory text never calls it.
TEST(InputSource, ReadHookCancels) {
  const std::string text(3 << 20, 'x'); // more than a buffer
  struct stop {};
  struct counter {
    int calls = 0, limit = 0;
  } count{0, 3};
  auto hook = [](void *c) {
    auto &k = *static_cast<counter *>(c);
    if (++k.calls == k.limit) throw stop{};
  };
  {
    const pipe_feed pipe(text);
    phylo::input_source in = phylo::input_source::from_fd(pipe.fds[0], "pipe");
    in.set_read_hook(hook, &count);
    phylo::input_source moved = std::move(in); // the hook goes with the source
    EXPECT_THROW(drain(moved), stop);
    EXPECT_EQ(count.calls, 3);
    EXPECT_LT(moved.offset(), text.size());
    moved.set_read_hook(nullptr, nullptr); // the rest, so that the writer ends
    drain(moved);
    EXPECT_EQ(moved.offset(), text.size());
  }
  counter none{0, 1};
  phylo::input_source in = phylo::input_source::from_text(text);
  in.set_read_hook(hook, &none);
  EXPECT_EQ(in.buffered().size(), text.size());
  EXPECT_EQ(none.calls, 0);
}

// Under a mark the bytes read stay buffered, however far reading goes, and reading can go
// back; marks nest.
TEST(InputMark, RewindAfterRefills) {
  std::string text;
  for (int i = 0; i < 40000; ++i) text += "line " + std::to_string(i) + "\n";
  const pipe_feed pipe(text);
  phylo::input_source in = phylo::input_source::from_fd(pipe.fds[0], "pipe");
  EXPECT_FALSE(in.known_size_left());
  {
    phylo::input_mark mark(in);
    for (std::size_t k = 0; k < text.size(); ++k) {
      ASSERT_EQ(in.peek(), static_cast<unsigned char>(text[k]));
      in.advance();
    }
    EXPECT_EQ(in.peek(), -1);
    EXPECT_EQ(in.line(), 40000u);
    mark.rewind();
    EXPECT_EQ(in.offset(), 0u);
    EXPECT_EQ(in.line(), 1u);
    in.consume(7);
    {
      phylo::input_mark inner(in);
      in.consume(in.buffered().size());
      inner.rewind();
    }
    EXPECT_EQ(in.offset(), 7u);
    EXPECT_EQ(in.line(), 2u);
    EXPECT_EQ(in.column(), 1u);
  }
  EXPECT_EQ(drain(in), text.substr(7));
}

// The current input and output belong to the calling thread: threads that read and write
// through them at once each see only their own.
TEST(CurrentStreams, EachThreadHasItsOwn) {
  constexpr int rounds = 2000;
  auto work = [](const std::string &word, std::string &result) {
    std::string text;
    for (int k = 0; k < rounds; ++k) text += word + "\n";
    phylo::input_source in = phylo::input_source::from_text(text);
    phylo::output_sink out = phylo::output_sink::to_string();
    phylo::scoped_input use_in(in);
    phylo::scoped_output use_out(out);
    for (int k = 0; k < rounds; ++k) {
      phylo::current_output().write(phylo::read::get_word(phylo::whitespace));
      std::this_thread::yield();
    }
    result = out.take_text();
  };
  std::string a, b;
  std::thread first(work, "alpha", std::ref(a)), second(work, "beta", std::ref(b));
  first.join();
  second.join();
  std::string all_a, all_b;
  for (int k = 0; k < rounds; ++k) {
    all_a += "alpha";
    all_b += "beta";
  }
  EXPECT_EQ(a, all_a);
  EXPECT_EQ(b, all_b);
}

// The header lines of a file are counted across its blocks of reading, a line that begins
// right after a block's end among them, without moving the read position; a pipe tells none.
TEST(InputSource, LinesStartingWithCountsAcrossBlocks) {
  std::string text;
  for (int k = 0; text.size() < 700000; ++k)
    text += (k % 3 == 0 ? ">" : "") + std::string(static_cast<std::size_t>(k % 97), 'A') + "\n";
  text.insert(262143, "\n>"); // a line end that ends the first block, and a header after it
  std::uint64_t expected = 0;
  for (std::size_t k = 0; k < text.size(); ++k) expected += text[k] == '>' && (k == 0 || text[k - 1] == '\n');
  const temp_file file("phylo_line_starts.txt", text);
  phylo::input_source in = phylo::input_source::open_file(file.path);
  ASSERT_EQ(in.peek(), '>');
  in.advance();
  EXPECT_EQ(in.lines_starting_with('>'), expected);
  EXPECT_EQ(in.offset(), 1u);
  EXPECT_EQ(in.peek(), text[1]);
  EXPECT_EQ(phylo::input_source::from_text(text).lines_starting_with('>'), expected);
  EXPECT_EQ(phylo::input_source::from_text("a\n>b\n>").lines_starting_with('>'), 2u);
  const pipe_feed pipe("");
  EXPECT_EQ(phylo::input_source::from_fd(pipe.fds[0], "pipe").lines_starting_with('>'), std::nullopt);
}

} // namespace
