// Runs a program with its standard streams set up as a test needs: standard input from a
// file or closed, standard output to a file, closed, or a pipe that the test reads while the
// program runs (and may close early), SIGPIPE ignored or not. Standard error is collected.
#pragma once

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace phylo::test {

struct launch_setup {
  std::vector<std::string> args;
  std::string stdin_path = "/dev/null";
  bool close_stdin = false;
  std::string stdout_path; // empty: a pipe handed to the reader
  bool close_stdout = false;
  bool close_stderr = false;
  bool ignore_sigpipe = false;
};

struct launch_result {
  int status = -1; // exit status
  int signal = 0;  // the signal that ended the process, or 0
  std::string err; // what it wrote on standard error
  long max_rss_kib = 0;
};

// Reads a descriptor to its end (or as far as the reader wants, then returns).
using pipe_reader = std::function<void(int fd)>;

inline void drain(int fd) {
  char buf[1 << 16];
  while (::read(fd, buf, sizeof buf) > 0) {
  }
}

inline launch_result launch(const std::string &program, const launch_setup &def, const pipe_reader &reader = drain) {
  char err_tmpl[] = "/tmp/phylo-launch-err-XXXXXX";
  const int err_fd = ::mkstemp(err_tmpl);
  int out_pipe[2] = {-1, -1};
  const bool piped = def.stdout_path.empty() && !def.close_stdout;
  if (piped && ::pipe(out_pipe) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (def.ignore_sigpipe) std::signal(SIGPIPE, SIG_IGN);
    if (def.close_stdin) ::close(0);
    else {
      int in = ::open(def.stdin_path.c_str(), O_RDONLY);
      ::dup2(in, 0);
      ::close(in);
    }
    if (def.close_stdout) ::close(1);
    else if (piped) {
      ::dup2(out_pipe[1], 1);
      ::close(out_pipe[0]);
      ::close(out_pipe[1]);
    } else {
      int out = ::open(def.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(out, 1);
      ::close(out);
    }
    if (def.close_stderr) ::close(2);
    else ::dup2(err_fd, 2);
    ::close(err_fd);
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const std::string &a : def.args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  if (piped) {
    ::close(out_pipe[1]);
    reader(out_pipe[0]);
    ::close(out_pipe[0]);
  }
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  launch_result r;
  if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  r.max_rss_kib = usage.ru_maxrss;
  ::lseek(err_fd, 0, SEEK_SET);
  char buf[4096];
  for (ssize_t got; (got = ::read(err_fd, buf, sizeof buf)) > 0;) r.err.append(buf, static_cast<std::size_t>(got));
  ::close(err_fd);
  ::unlink(err_tmpl);
  return r;
}

// Collects everything from a pipe into a string.
inline pipe_reader collect_into(std::string &target) {
  return [&target](int fd) {
    char buf[1 << 16];
    for (ssize_t got; (got = ::read(fd, buf, sizeof buf)) > 0;) target.append(buf, static_cast<std::size_t>(got));
  };
}

} // namespace phylo::test
