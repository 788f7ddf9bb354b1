// The command-line tests: each case of tests/data/cli/*.tst runs karvel or phylo in a scratch
// folder and compares its whole standard output, standard error and exit status, and the files
// it leaves, with what the case expects. tests/data/cli/README.md describes the case format.
#include "quoting.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// ---- Texts: made piece by piece, so that one of gigabytes never sits in memory whole ----

using sink = std::function<void(std::string_view)>;
using text = std::vector<std::function<void(const sink &)>>;

void emit(const text &t, const sink &to) {
  for (const auto &piece : t) piece(to);
}

std::string whole(const text &t) {
  std::string s;
  emit(t, [&](std::string_view v) { s.append(v); });
  return s;
}

// Emits n bytes, byte(i) the i-th, in blocks.
void emit_bytes(std::size_t n, const sink &to, const std::function<char(std::size_t)> &byte) {
  std::string block;
  for (std::size_t i = 0; i < n; ++i) {
    block.push_back(byte(i));
    if (block.size() == 1 << 16 || i + 1 == n) to(block), block.clear();
  }
}

// The test matrix of n taxa Taxon00001, Taxon00002, ...: cell (i, j) holds the digit
// (3i + 7j) mod 10, which is asymmetric and places every row differently; in layouts q, l and L
// it is made symmetric, (i, j) and (j, i) both holding the digit of the larger index as i. Layouts
// p, x and t are inputs (the digits as they stand), q the square and l the lower triangle in
// PHYLIP; P, E, T, N, C, O and R are karvel's outputs (a NEXUS block up to its trailer), L phylo's
// relaxed lower triangle.
void emit_matrix(int n, char layout, const sink &to) {
  const bool input = std::strchr("pxtql", layout) != nullptr, lower = layout == 'l' || layout == 'L';
  const bool symmetric = std::strchr("qlL", layout) != nullptr, phylip = std::strchr("pql", layout) != nullptr;
  auto label = [](int i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "Taxon%05d", i + 1);
    return std::string(buf);
  };
  auto cell = [&](int i, int j) {
    if (symmetric && j > i) std::swap(i, j);
    const char digit = static_cast<char>('0' + (3 * i + 7 * j) % 10);
    return input ? std::string(1, digit) : std::string(" ") + digit + ".00000E+00";
  };
  std::string line = phylip ? std::to_string(n) + "\n" : "";
  if (layout == 'x') line = " " + std::to_string(n) + " taxa\n";
  if (layout == 'P' || layout == 'E' || layout == 'L') line = " " + std::to_string(n) + "\n";
  if (layout == 'N' || layout == 'C')
    line = "#NEXUS\n\nbegin distances;\n\tdimensions newtaxa ntax= " + std::to_string(n) +
           ";\n\tformat triangle=both labels;\n\tmatrix\n";
  if (layout == 't' || layout == 'T') {
    for (int i = 0; i < n; ++i) line += "\t" + label(i);
    line += "\n";
  }
  to(line);
  for (int i = 0; i < n; ++i) {
    line.clear();
    if (layout == 'O') {
      for (int j = 0; j < i; ++j) line += label(i) + "\t" + label(j) + "\t" + cell(i, j) + "\n";
    } else {
      line = layout == 'C' ? "'" + label(i) + "'" : label(i);
      for (int j = 0; j < (lower ? i : n); ++j) line += (phylip ? " " : "\t") + cell(i, j);
      line += "\n";
    }
    to(line);
  }
}

// ---- Reading the case files -------------------------------------------------------------

struct syntax_error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A word of a case line: a bare word ('w'), a "quoted text" with its escapes decoded ('"'),
// @file ('@') or {generator argument...} ('{').
struct token {
  char kind;
  std::string value;
  std::vector<std::string> args;
};

// The tokens of a line; $NAME stands for the size that `scale` gives NAME, and sets `scaled`.
std::vector<token> tokenize(std::string_view line, const std::map<std::string, std::string> &vars, bool &scaled) {
  std::vector<token> tokens, inner;
  std::vector<token> *into = &tokens;
  for (std::size_t p = 0; p < line.size();) {
    if (line[p] == ' ' || line[p] == '\t') {
      ++p;
    } else if (line[p] == '"') {
      into->push_back({'"', phylo::test::unquote(line, p), {}});
    } else if (line[p] == '{' || line[p] == '}') {
      if ((line[p] == '{') != (into == &tokens) || (line[p] == '}' && inner.empty()))
        throw syntax_error("unbalanced { }");
      if (line[p++] == '{') {
        into = &inner;
        continue;
      }
      tokens.push_back({'{', inner[0].value, {}});
      for (std::size_t k = 1; k < inner.size(); ++k) tokens.back().args.push_back(inner[k].value);
      inner.clear(), into = &tokens;
    } else {
      const std::size_t end = std::min(line.find_first_of(" \t{}\"", p), line.size());
      std::string word(line.substr(p, end - p));
      p = end;
      if (word[0] == '$') {
        if (!vars.count(word.substr(1))) throw syntax_error("no scale for " + word);
        word = vars.at(word.substr(1)), scaled = true;
      }
      into->push_back(word[0] == '@' ? token{'@', word.substr(1), {}} : token{'w', word, {}});
    }
  }
  if (into != &tokens) throw syntax_error("unbalanced { }");
  return tokens;
}

// A size: digits, then K or M for binary kilo- or megabytes.
std::size_t size_of(const std::string &s) {
  std::size_t used = 0;
  const std::size_t n = std::stoul(s, &used);
  if (s.substr(used).empty()) return n;
  if (s.substr(used) == "K") return n << 10;
  if (s.substr(used) == "M") return n << 20;
  throw syntax_error("not a size: " + s);
}

std::string slurp(const fs::path &path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw syntax_error("cannot read " + path.string());
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// The text of tokens[from...]: words and quoted texts as they stand, data files (beside the
// case file) and generators.
text make_text(const std::vector<token> &tokens, std::size_t from, const fs::path &folder) {
  text t;
  for (std::size_t k = from; k < tokens.size(); ++k) {
    const token &tok = tokens[k];
    const std::vector<std::string> &a = tok.args;
    if (tok.kind == '{' && a.size() != (tok.value == "version"                           ? 0u
                                        : tok.value == "letters" || tok.value == "noise" ? 1u
                                        : tok.value == "replace"                         ? 3u
                                                                                         : 2u))
      throw syntax_error("{" + tok.value + "}: wrong number of arguments");
    if (tok.kind == 'w' || tok.kind == '"') {
      t.push_back([s = tok.value](const sink &to) { to(s); });
    } else if (tok.kind == '@') {
      t.push_back([s = slurp(folder / tok.value)](const sink &to) { to(s); });
    } else if (tok.value == "letters") { // N letters a, b, ..., z, a, ...
      t.push_back([n = size_of(a[0])](const sink &to) {
        emit_bytes(n, to, [](std::size_t i) { return static_cast<char>('a' + i % 26); });
      });
    } else if (tok.value == "repeat") { // TEXT N times
      t.push_back([s = a[0], n = size_of(a[1])](const sink &to) {
        emit_bytes(n * s.size(), to, [&](std::size_t i) { return s[i % s.size()]; });
      });
    } else if (tok.value == "numbered") { // TEXT N times, '#' standing for 1, 2, ..., N
      t.push_back([s = a[0], n = size_of(a[1])](const sink &to) {
        std::string all;
        for (std::size_t i = 1; i <= n; ++i)
          for (char c : s) all += c == '#' ? std::to_string(i) : std::string(1, c);
        to(all);
      });
    } else if (tok.value == "noise") { // N bytes of a fixed xorshift sequence
      t.push_back([n = size_of(a[0])](const sink &to) {
        std::uint32_t x = 2463534242u;
        emit_bytes(n, to, [&](std::size_t) {
          x ^= x << 13, x ^= x >> 17, x ^= x << 5;
          return static_cast<char>(x);
        });
      });
    } else if (tok.value == "matrix") { // the test matrix of N taxa in a layout
      t.push_back(
          [n = static_cast<int>(size_of(a[0])), layout = a[1].at(0)](const sink &to) { emit_matrix(n, layout, to); });
    } else if (tok.value == "replace") { // the data file FILE with every FROM made TO
      std::string r = slurp(folder / a[0]);
      for (std::size_t p = r.find(a[1]); p != std::string::npos; p = r.find(a[1], p + a[2].size()))
        r.replace(p, a[1].size(), a[2]);
      t.push_back([r](const sink &to) { to(r); });
    } else if (tok.value == "version") {
      t.push_back([](const sink &to) { to(PHYLO_VERSION); });
    } else {
      throw syntax_error("no generator {" + tok.value + "}");
    }
  }
  return t;
}

struct cli_case {
  std::string name, file;
  int line = 0;
  std::string program, as; // as: argv[0], when not the program's name
  std::vector<std::string> args;
  std::vector<std::pair<std::string, text>> files;          // put into the folder before the run
  std::vector<std::function<void(const fs::path &)>> setup; // links, FIFOs, folders, modes made after them
  std::vector<std::string> fifos;                           // read by the runner while the program runs
  std::string in_mode = "none";                             // none (/dev/null), file, pipe or closed
  std::string out_mode = "pipe";                            // pipe, head, full or closed
  text in, out, err;
  bool err_closed = false, sigpipe_ignored = false, not_root = false, root_only = false;
  int status = 0, signal = 0, kill = 0; // kill: sent once `hidden` hidden files are in the folder
  std::size_t hidden = 1;
  std::vector<std::pair<std::string, text>> after; // what files hold after the run
  std::optional<std::vector<std::string>> listing; // the names in the folder after the run
  std::vector<std::pair<std::string, unsigned>> modes;
  std::vector<std::pair<std::string, std::string>> owners; // UID:GID after the run
  std::size_t width = 0, rss_kib = 0, limit = 0;
  bool scaled = false; // uses a size of `scale`
};

void set_file(std::vector<std::pair<std::string, text>> &files, const std::string &name, text t) {
  std::erase_if(files, [&](const auto &f) { return f.first == name; });
  files.emplace_back(name, std::move(t));
}

int signal_named(const std::string &name) {
  for (const auto &[text, number] :
       {std::pair{"SIGPIPE", SIGPIPE}, {"SIGINT", SIGINT}, {"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}})
    if (name == text) return number;
  return 0;
}

void set_attribute(cli_case &c, const std::vector<token> &t, const fs::path &folder) {
  const std::string &key = t[0].value;
  auto word = [&](std::size_t k) {
    if (k >= t.size() || t[k].kind != 'w') throw syntax_error(key + ": a word is missing");
    return t[k].value;
  };
  const std::string mode = t.size() > 1 && t[1].kind == 'w' ? t[1].value : "";
  if (key == "in") {
    c.in_mode = mode == "closed" || mode == "pipe" ? mode : "file";
    c.in = make_text(t, mode == "pipe" ? 2 : c.in_mode == "file" ? 1 : t.size(), folder);
  } else if (key == "out") {
    c.out_mode = mode == "full" || mode == "closed" || mode == "head" ? mode : "pipe";
    c.out = make_text(t, mode == "head" ? 2 : c.out_mode == "pipe" ? 1 : t.size(), folder);
  } else if (key == "err") {
    c.err_closed = mode == "closed";
    c.err = make_text(t, c.err_closed ? t.size() : 1, folder);
  } else if (key == "status") {
    c.signal = signal_named(word(1));
    c.status = c.signal ? -1 : std::stoi(word(1));
  } else if (key == "kill") {
    c.kill = signal_named(word(1));
    if (!c.kill) throw syntax_error("kill: no such signal");
    if (t.size() > 2) c.hidden = std::stoul(word(2));
  } else if (key == "file") {
    set_file(c.files, word(1), make_text(t, 2, folder));
  } else if (key == "link" || key == "fifo" || key == "folder" || key == "chmod" || key == "chown") {
    const bool two = key == "link" || key == "chmod" || key == "chown";
    c.setup.push_back([key, name = word(1), arg = two ? word(2) : ""](const fs::path &w) {
      if (key == "link") fs::create_symlink(arg, w / name);
      if (key == "fifo") ::mkfifo((w / name).c_str(), 0644);
      if (key == "folder") fs::create_directory(w / name);
      if (key == "chmod") fs::permissions(w / name, fs::perms(std::stoul(arg, nullptr, 8)));
      if (key == "chown" && ::chown((w / name).c_str(), static_cast<uid_t>(std::stoul(arg)),
                                    static_cast<gid_t>(std::stoul(arg.substr(arg.find(':') + 1)))) != 0)
        throw std::runtime_error("chown " + name + " " + arg + " failed");
    });
    c.root_only = c.root_only || key == "chown";
    if (key == "fifo") c.fifos.push_back(word(1));
  } else if (key == "after") {
    set_file(c.after, word(1), make_text(t, 2, folder));
  } else if (key == "ls") {
    c.listing.emplace();
    for (std::size_t k = 1; k < t.size(); ++k) c.listing->push_back(word(k));
    std::sort(c.listing->begin(), c.listing->end());
  } else if (key == "mode") {
    c.modes.emplace_back(word(1), std::stoul(word(2), nullptr, 8));
  } else if (key == "owner") {
    c.owners.emplace_back(word(1), word(2));
  } else if (key == "unless" && word(1) == "root") {
    c.not_root = true;
  } else if (key == "as") {
    c.as = word(1);
  } else if (key == "sigpipe" && word(1) == "ignored") {
    c.sigpipe_ignored = true;
  } else if (key == "width") {
    c.width = size_of(word(1));
  } else if (key == "rss") {
    c.rss_kib = size_of(word(1)) >> 10;
  } else if (key == "limit") {
    c.limit = size_of(word(1));
  } else {
    throw syntax_error("unknown line '" + key + "'");
  }
}

const cli_case &find_case(const std::vector<cli_case> &cases, const std::vector<token> &t, std::size_t k) {
  for (const cli_case &c : cases)
    if (k < t.size() && c.name == t[k].value) return c;
  throw syntax_error("like: no such case before this one");
}

// The cases of one file; with `long_values`, only those that use a size of `scale`, at its
// long value.
std::vector<cli_case> read_cases(const fs::path &path, bool long_values) {
  std::ifstream f(path);
  std::vector<cli_case> cases;
  std::map<std::string, std::string> vars;
  int number = 0;
  for (std::string line; std::getline(f, line);) {
    ++number;
    try {
      bool scaled = false;
      const std::vector<token> t = line[0] == '#' ? std::vector<token>{} : tokenize(line, vars, scaled);
      const bool indented = !t.empty() && (line[0] == ' ' || line[0] == '\t');
      if (t.empty()) {
        continue;
      } else if (indented && cases.empty()) {
        throw syntax_error("an indented line before the first case");
      } else if (indented && t[0].value == "like") { // like OTHER: all of OTHER but its command
        cli_case &c = cases.back(), copy = find_case(cases, t, 1);
        for (auto &[name, content] : c.files) set_file(copy.files, name, content);
        std::swap(copy.program, c.program), std::swap(copy.args, c.args);
        std::swap(copy.name, c.name), std::swap(copy.line, c.line);
        c = std::move(copy);
      } else if (indented) {
        set_attribute(cases.back(), t, path.parent_path());
      } else if (t[0].value == "scale" && t.size() == 4) { // scale NAME DEFAULT LONG
        vars[t[1].value] = t[long_values ? 3 : 2].value;
      } else if (t[0].kind == 'w' && t[0].value.back() == ':' && t.size() >= 2) {
        cli_case c = t[1].value == "like" ? find_case(cases, t, 2) : cli_case{};
        c.name = t[0].value.substr(0, t[0].value.size() - 1);
        c.file = path.string();
        c.line = number;
        if (t[1].value != "like") { // NAME: PROGRAM ARGUMENT...
          c.program = t[1].value;
          if (c.program != "karvel" && c.program != "phylo") throw syntax_error("no program " + c.program);
          for (std::size_t k = 2; k < t.size(); ++k) {
            const std::string base = fs::path(t[k].value).filename().string();
            if (t[k].kind == '@') set_file(c.files, base, make_text({t[k]}, 0, path.parent_path()));
            c.args.push_back(t[k].kind == '@' ? base : t[k].value);
          }
        }
        cases.push_back(std::move(c));
      } else {
        throw syntax_error("neither 'NAME: PROGRAM ARGUMENT...', 'NAME: like OTHER' nor 'scale "
                           "NAME DEFAULT LONG'");
      }
      if (!cases.empty()) cases.back().scaled = cases.back().scaled || scaled;
    } catch (const std::exception &e) {
      throw syntax_error(path.string() + ":" + std::to_string(number) + ": " + e.what());
    }
  }
  if (long_values) std::erase_if(cases, [](const cli_case &c) { return !c.scaled; });
  return cases;
}

// ---- Running a case ---------------------------------------------------------------------

// A text as a case file writes it, cut after 4 KiB.
std::string shown(std::string_view s) { return phylo::test::quoted(s, 4096); }

// Compares what a descriptor delivers with the pieces of a text, as both come.
class stream_compare {
public:
  explicit stream_compare(int fd) : fd_(fd) {}
  void expect(std::string_view piece) {
    want_.append(piece.substr(0, cap - std::min(cap, want_.size())));
    want_size_ += piece.size();
    while (!differs_ && !piece.empty()) {
      const std::string got = read_up_to(std::min<std::size_t>(piece.size(), 1 << 16));
      std::size_t k = 0;
      while (k < got.size() && got[k] == piece[k]) ++k;
      if (k < got.size() || got.empty())
        differs_ = true, at_ = offset_ + k, there_ = {std::string(piece.substr(k, 80)), got.substr(k, 80)};
      offset_ += got.size();
      piece.remove_prefix(got.size());
    }
  }
  // How the output differs, or "" when it does not.
  std::string finish() {
    const std::string rest = read_up_to(1 << 16);
    if (!differs_ && !rest.empty()) differs_ = true, at_ = offset_, there_ = {"", rest.substr(0, 80)};
    while (!read_up_to(1 << 16).empty()) {
    }
    if (!differs_) return "";
    if (want_size_ <= cap && got_size_ <= cap) return "expected " + shown(want_) + "\n  actual   " + shown(got_);
    return "from byte " + std::to_string(at_) + ": expected " + shown(there_.first) + "...\n  actual   " +
           shown(there_.second) + "...";
  }
  std::size_t longest_line() const { return longest_; }

private:
  static constexpr std::size_t cap = 1 << 16; // what is kept of each text for the message
  std::string read_up_to(std::size_t n) {
    std::string got(n, '\0');
    std::size_t have = 0;
    for (ssize_t r; have < n && (r = ::read(fd_, got.data() + have, n - have)) > 0;)
      have += static_cast<std::size_t>(r);
    got.resize(have);
    got_size_ += have;
    got_.append(got.substr(0, cap - std::min(cap, got_.size())));
    for (char c : got) line_ = c == '\n' ? 0 : line_ + 1, longest_ = std::max(longest_, line_);
    return got;
  }
  int fd_;
  std::size_t offset_ = 0, at_ = 0, want_size_ = 0, got_size_ = 0, line_ = 0, longest_ = 0;
  bool differs_ = false;
  std::string want_, got_;
  std::pair<std::string, std::string> there_; // what each has where they part
};

void write_file(const fs::path &path, const text &t) {
  fs::create_directories(path.parent_path());
  std::ofstream f(path, std::ios::binary);
  emit(t, [&](std::string_view v) { f.write(v.data(), static_cast<std::streamsize>(v.size())); });
}

#ifdef __SANITIZE_ADDRESS__
constexpr bool sanitized = true;
#elif defined(__has_feature)
constexpr bool sanitized = __has_feature(address_sanitizer);
#else
constexpr bool sanitized = false;
#endif

std::size_t hidden_files(const fs::path &folder) {
  std::size_t n = 0;
  for (const auto &e : fs::directory_iterator(folder)) n += e.path().filename().string()[0] == '.';
  return n;
}

void run_case(const cli_case &c) {
  if (c.limit && sanitized) GTEST_SKIP() << "AddressSanitizer needs more address space than the limit";
  if (c.not_root && ::geteuid() == 0) GTEST_SKIP() << "the superuser may write any file";
  if (c.root_only && ::geteuid() != 0) GTEST_SKIP() << "only the superuser may give a file to another owner";
  char root_template[] = "/tmp/phylo-cli-XXXXXX";
  const fs::path root = ::mkdtemp(root_template), work = root / "work";
  struct remove_at_end {
    fs::path p;
    ~remove_at_end() { fs::remove_all(p); }
  } cleanup{root};
  fs::create_directory(work);
  for (const auto &[name, content] : c.files) write_file(work / name, content);
  for (const auto &make : c.setup) make(work);
  if (c.in_mode == "file") write_file(root / "stdin", c.in);

  // The descriptors that become the program's 0, 1 and 2 (-1: closed), and the runner's ends
  // of the pipes.
  int fd[3] = {-1, -1, -1}, in_writer = -1, out_reader = -1, ends[2];
  if (c.in_mode == "none" || c.in_mode == "file")
    fd[0] = ::open(c.in_mode == "file" ? (root / "stdin").c_str() : "/dev/null", O_RDONLY | O_CLOEXEC);
  if (c.in_mode == "pipe" && ::pipe2(ends, O_CLOEXEC) == 0) fd[0] = ends[0], in_writer = ends[1];
  if (c.out_mode == "full") fd[1] = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  if ((c.out_mode == "pipe" || c.out_mode == "head") && ::pipe2(ends, O_CLOEXEC) == 0)
    out_reader = ends[0], fd[1] = ends[1];
  if (!c.err_closed) fd[2] = ::open((root / "stderr").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);

  const std::string path = c.program == "karvel" ? KARVEL_PATH : PHYLO_PATH;
  std::vector<char *> argv{const_cast<char *>((c.as.empty() ? c.program : c.as).c_str())};
  for (const std::string &a : c.args) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<int> fifo_readers; // opened before the program, so that its opening for writing returns
  for (const std::string &name : c.fifos)
    fifo_readers.push_back(::open((work / name).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  const pid_t pid = ::fork();
  if (pid == 0) {
    for (int k = 0; k < 3; ++k) fd[k] >= 0 ? ::dup2(fd[k], k) : ::close(k);
    std::signal(SIGPIPE, c.sigpipe_ignored ? SIG_IGN : SIG_DFL);
    ::umask(022);
    const rlimit limit{c.limit, c.limit};
    if (c.limit) ::setrlimit(RLIMIT_AS, &limit);
    if (::chdir(work.c_str()) == 0) ::execv(path.c_str(), argv.data());
    ::_exit(127);
  }
  for (int k = 0; k < 3; ++k)
    if (fd[k] >= 0) ::close(fd[k]);
  std::thread writer;
  if (in_writer >= 0)
    writer = std::thread([&] {
      emit(c.in, [&](std::string_view v) {
        for (ssize_t r; !v.empty() && (r = ::write(in_writer, v.data(), v.size())) > 0;)
          v.remove_prefix(static_cast<std::size_t>(r));
      });
      if (c.kill) { // the input stays open until the program has been sent the signal
        for (int k = 0; k < 1000 && hidden_files(work) < c.hidden; ++k) ::usleep(10000);
        ::kill(pid, c.kill);
      }
      ::close(in_writer);
    });

  std::string out_problem;
  std::size_t longest = 0;
  if (c.out_mode == "head") { // the reader takes the first line, then goes away
    std::string first(1 << 12, '\0');
    const ssize_t got = ::read(out_reader, first.data(), first.size());
    first.resize(got > 0 ? first.find('\n') + 1 : 0);
    if (first != whole(c.out)) out_problem = "expected " + shown(whole(c.out)) + "\n  actual   " + shown(first);
  } else if (out_reader >= 0) {
    stream_compare compare(out_reader);
    emit(c.out, [&](std::string_view v) { compare.expect(v); });
    out_problem = compare.finish();
    longest = compare.longest_line();
  }
  if (out_reader >= 0) ::close(out_reader);
  if (writer.joinable()) writer.join();
  int wait_status = 0;
  struct rusage usage {};
  ::wait4(pid, &wait_status, 0, &usage);

  const std::string err = c.err_closed ? "" : slurp(root / "stderr");
  const int status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  const int signal = WIFSIGNALED(wait_status) ? WTERMSIG(wait_status) : 0;
  if (status != c.status || signal != c.signal)
    ADD_FAILURE_AT(c.file.c_str(), c.line) << (signal ? "signal " : "status ") << (signal ? signal : status)
                                           << "; expected " << (c.signal ? "signal " : "status ")
                                           << (c.signal ? c.signal : c.status) << "\n  standard error: " << shown(err);
  if (!out_problem.empty()) ADD_FAILURE_AT(c.file.c_str(), c.line) << "standard output differs: " << out_problem;
  if (err != whole(c.err))
    ADD_FAILURE_AT(c.file.c_str(), c.line)
        << "standard error differs: expected " << shown(whole(c.err)) << "\n  actual   " << shown(err);
  std::map<std::string, std::string> through_fifos;
  for (std::size_t k = 0; k < c.fifos.size(); ++k) {
    char block[1 << 12];
    for (ssize_t r; (r = ::read(fifo_readers[k], block, sizeof block)) > 0;)
      through_fifos[c.fifos[k]].append(block, static_cast<std::size_t>(r));
    ::close(fifo_readers[k]);
  }
  for (const auto &[name, content] : c.after) {
    const auto fifo = through_fifos.find(name);
    const std::string got = fifo != through_fifos.end() ? fifo->second
                            : fs::exists(work / name)   ? slurp(work / name)
                                                        : "(no file)";
    if (got != whole(content))
      ADD_FAILURE_AT(c.file.c_str(), c.line)
          << name << " holds " << shown(got) << "; expected " << shown(whole(content));
  }
  if (c.listing) {
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(work)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    if (names != *c.listing) {
      std::string all;
      for (const std::string &n : names) all += " " + n;
      ADD_FAILURE_AT(c.file.c_str(), c.line) << "the folder holds" << all;
    }
  }
  for (const auto &[name, mode] : c.modes) {
    struct stat st {};
    if (::stat((work / name).c_str(), &st) != 0 || (st.st_mode & 07777) != mode)
      ADD_FAILURE_AT(c.file.c_str(), c.line) << "the mode of " << name << " is " << std::oct << (st.st_mode & 07777);
  }
  for (const auto &[name, owner] : c.owners) {
    struct stat st {};
    const std::string now = ::stat((work / name).c_str(), &st) != 0
                                ? "missing"
                                : std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid);
    if (now != owner) ADD_FAILURE_AT(c.file.c_str(), c.line) << "the owner of " << name << " is " << now;
  }
  if (c.width && longest >= c.width)
    ADD_FAILURE_AT(c.file.c_str(), c.line) << "a line of standard output has " << longest << " columns";
  if (c.rss_kib && static_cast<std::size_t>(usage.ru_maxrss) >= c.rss_kib)
    ADD_FAILURE_AT(c.file.c_str(), c.line) << "the run took " << usage.ru_maxrss << " KiB of memory";
}

class cli_test : public testing::Test {
public:
  explicit cli_test(cli_case c) : c_(std::move(c)) {}
  void TestBody() override { run_case(c_); }

private:
  cli_case c_;
};

} // namespace

// Registers every case as the test FILE.CASE (FILE_long.CASE at the long sizes of `scale`).
int main(int argc, char **argv) {
  testing::InitGoogleTest(&argc, argv);
  for (int fd = 0; fd <= 2; ++fd) // the descriptors opened for a program must not take these numbers
    if (::fcntl(fd, F_GETFD) == -1) ::open("/dev/null", O_RDWR);
  std::signal(SIGPIPE,
              SIG_IGN); // a program that leaves its standard input unread must not end the runner
  std::vector<fs::path> files;
  for (const auto &e : fs::directory_iterator(CASES_DIR))
    if (e.path().extension() == ".tst") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  try {
    for (const fs::path &f : files)
      for (const bool long_values : {false, true}) {
        if (long_values && !LONG_CHECKS) continue;
        const std::string suite = f.stem().string() + (long_values ? "_long" : "");
        for (const cli_case &c : read_cases(f, long_values))
          testing::RegisterTest(suite.c_str(), c.name.c_str(), nullptr, nullptr, c.file.c_str(), c.line,
                                [c]() -> testing::Test * { return new cli_test(c); });
      }
  } catch (const std::exception &e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return RUN_ALL_TESTS();
}
