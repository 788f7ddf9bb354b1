// Tests of include/phylo/output_file.hpp: a name as long as the folder allows still gets its
// temporary file, a signal removes the temporary files, and refusals carry the system's reason.
// The command-line cases (output_file_* in tests/data/cli) show the rest: the file replaced only
// when the run succeeds, with its mode and owner, and no temporary file left behind.
#include "phylo/output_file.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct scratch_folder {
  fs::path path;
  scratch_folder() {
    char name[] = "/tmp/phylo-output-XXXXXX";
    path = ::mkdtemp(name);
  }
  ~scratch_folder() { fs::remove_all(path); }
  std::set<std::string> names() const {
    std::set<std::string> found;
    for (const auto &e : fs::directory_iterator(path)) found.insert(e.path().filename().string());
    return found;
  }
};

std::string slurp(const fs::path &p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void put(int fd, const std::string &text) { ASSERT_EQ(::write(fd, text.data(), text.size()), ssize_t(text.size())); }

TEST(OutputFile, ALongNameGetsAShorterTemporaryName) {
  scratch_folder dir;
  const std::string name(255, 'n'); // NAME_MAX: ".", the name and ".XXXXXX" cannot all fit
  phylo::output_file file((dir.path / name).string());
  put(file.fd(), "text");
  file.commit();
  EXPECT_EQ(dir.names(), std::set<std::string>{name});
  EXPECT_EQ(slurp(dir.path / name), "text");
}

// A signal that ends the process removes the temporary files, all 256 that it guards at once.
TEST(OutputFile, ASignalRemovesEveryGuardedFile) {
  scratch_folder dir;
  const pid_t child = ::fork();
  if (child == 0) {
    try {
      std::vector<std::unique_ptr<phylo::output_file>> files;
      for (int k = 0; k < 256; ++k)
        files.push_back(std::make_unique<phylo::output_file>((dir.path / std::to_string(k)).string(),
                                                             phylo::output_file::on_signal::remove_file));
      ::raise(SIGTERM);
    } catch (...) {
    }
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(dir.names(), std::set<std::string>{});
}

TEST(OutputFile, RefusalsCarryTheSystemsReason) {
  scratch_folder dir;
  const struct {
    std::string path;
    int code;
  } cases[] = {
      {dir.path.string(), EISDIR},
      {dir.path.string() + "/", EISDIR},
      {(dir.path / "no" / "out").string(), ENOENT},
      {"", 0},
  };
  for (const auto &c : cases) {
    try {
      phylo::output_file file(c.path);
      ADD_FAILURE() << c.path << " was opened";
    } catch (const phylo::name_error &e) {
      EXPECT_EQ(e.system_code(), c.code) << c.path << ": " << e.what();
    }
  }
  EXPECT_EQ(dir.names(), std::set<std::string>{});
}

} // namespace
