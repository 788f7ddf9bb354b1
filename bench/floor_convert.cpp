// floor_convert: the least work a conversion of an extended PHYLIP matrix can do with the
// standard library alone. It reads the whole file into memory, parses every number with
// std::from_chars, formats it with std::to_chars(scientific, 5) into one buffer and writes
// that buffer. The benchmarks measure karvel against it.
//
//   floor_convert FILE > OUT

#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: floor_convert FILE > OUT\n");
    return 2;
  }
  const int fd = ::open(argv[1], O_RDONLY);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  std::string in(static_cast<std::size_t>(st.st_size), '\0');
  for (std::size_t got = 0; got < in.size();) {
    const ssize_t r = ::read(fd, in.data() + got, in.size() - got);
    if (r <= 0) {
      std::perror(argv[1]);
      return 1;
    }
    got += static_cast<std::size_t>(r);
  }
  ::close(fd);

  std::string out(in.size() + 64, '\0');
  char *o = out.data();
  const char *p = in.data();
  const char *const end = p + in.size();
  // The count line is copied; then every row is a label and numbers up to its line end.
  const char *nl = static_cast<const char *>(std::memchr(p, '\n', in.size()));
  if (!nl) return 1;
  std::memcpy(o, p, static_cast<std::size_t>(nl + 1 - p));
  o += nl + 1 - p;
  p = nl + 1;
  while (p < end) {
    const char *label = p;
    while (p < end && *p != '\t' && *p != ' ' && *p != '\n') ++p;
    std::memcpy(o, label, static_cast<std::size_t>(p - label));
    o += p - label;
    for (;;) {
      while (p < end && (*p == '\t' || *p == ' ')) ++p;
      if (p == end || *p == '\n') break;
      float v;
      const auto r = std::from_chars(p, end, v);
      if (r.ec != std::errc()) {
        std::fprintf(stderr, "floor_convert: not a number at byte %td\n", p - in.data());
        return 1;
      }
      p = r.ptr;
      *o++ = '\t';
      o = std::to_chars(o, out.data() + out.size(), v, std::chars_format::scientific, 5).ptr;
    }
    *o++ = '\n';
    ++p;
  }
  const char *w = out.data();
  while (w < o) {
    const ssize_t r = ::write(1, w, static_cast<std::size_t>(o - w));
    if (r <= 0) {
      std::perror("floor_convert");
      return 1;
    }
    w += r;
  }
  return 0;
}
