// Tests of include/phylo/output_file.hpp: the text goes to a hidden file beside the path and
// replaces what the path held only on commit, with its mode; a file never committed leaves
// nothing behind; a name as long as the folder allows still gets its temporary file.
#include "phylo/output_file.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(OutputFile, ReplacesTheFileOnlyOnCommit) {
  scratch_folder dir;
  const fs::path target = dir.path / "out.dist";
  std::ofstream(target) << "old";
  ::chmod(target.c_str(), 0640);
  {
    phylo::output_file file(target.string());
    put(file.fd(), "new");
    const std::set<std::string> names = dir.names();
    ASSERT_EQ(names.size(), 2u);
    const std::string temp = *names.begin(); // '.' sorts before 'o'
    EXPECT_EQ(temp.rfind(".out.dist.", 0), 0u) << temp;
    EXPECT_EQ(temp.size(), std::string(".out.dist.XXXXXX").size()) << temp;
    EXPECT_EQ(slurp(target), "old");
    file.commit();
  }
  EXPECT_EQ(dir.names(), std::set<std::string>{"out.dist"});
  EXPECT_EQ(slurp(target), "new");
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  {
    phylo::output_file file(target.string());
    put(file.fd(), "lost");
  } // never committed
  EXPECT_EQ(dir.names(), std::set<std::string>{"out.dist"});
  EXPECT_EQ(slurp(target), "new");
}

TEST(OutputFile, ALongNameGetsAShorterTemporaryName) {
  scratch_folder dir;
  const std::string name(255, 'n'); // NAME_MAX: ".", the name and ".XXXXXX" cannot all fit
  phylo::output_file file((dir.path / name).string());
  put(file.fd(), "text");
  file.commit();
  EXPECT_EQ(dir.names(), std::set<std::string>{name});
  EXPECT_EQ(slurp(dir.path / name), "text");
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
