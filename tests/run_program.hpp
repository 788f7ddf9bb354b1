// Runs a program with arguments and a standard input text, and collects what it wrote.
#pragma once

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace phylo::test {

// What follows the matrix in both NEXUS layouts: the end of the block and the PAUP block.
inline const std::string paup_trailer = "\t;\nend;\n\nbegin paup;\n"
                                        "\tset torder=left tcompress taxlabels=full outroot=monophyl\n"
                                        "\t\tautoclose maxtrees=1000 increase=auto autoinc=1000\n"
                                        "\t\tstoretreewts storebrlens rootmethod=outgroup\n"
                                        "\t\twarnroot=no;\n"
                                        "\tdefaults nj bionj breakties=random;\n"
                                        "\tdefaults upgma bionj breakties=random;\n"
                                        "\tdefaults contree grpfreq=no;\n"
                                        "\tdefaults hsearch addseq=random;\n"
                                        "\tdefaults savedist triangle=both;\n"
                                        "end;\n\n";

struct run_result {
  int status = -1; // exit status, or 128 + signal
  std::string out, err;
};

inline std::string slurp(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

inline void write_file(const std::string &path, const std::string &text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
}

// A scratch directory removed at the end of the test.
struct scratch_dir {
  scratch_dir() {
    char tmpl[] = "/tmp/phylo-test-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~scratch_dir() { std::system(("rm -rf '" + path + "'").c_str()); }
  std::string file(const std::string &name, const std::string &text) const {
    std::string p = path + "/" + name;
    write_file(p, text);
    return p;
  }
  std::string path;
};

// Runs program with args (argv[0] = program) in directory `cwd` (empty: the current one).
// stdout_path redirects standard output to a file of the caller's choosing (e.g. /dev/full).
inline run_result run(const std::string &program, const std::vector<std::string> &args, const std::string &input = "",
                      const std::string &cwd = "", const std::string &stdout_path = "") {
  scratch_dir io;
  std::string in = io.file("stdin", input), out = io.path + "/stdout", err = io.path + "/stderr";
  pid_t pid = fork();
  if (pid == 0) {
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
    int fd0 = open(in.c_str(), O_RDONLY);
    int fd1 = open(stdout_path.empty() ? out.c_str() : stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int fd2 = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd0, 0);
    dup2(fd1, 1);
    dup2(fd2, 2);
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const auto &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  run_result r;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = slurp(out);
  r.err = slurp(err);
  return r;
}

} // namespace phylo::test
