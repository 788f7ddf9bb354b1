// measure [-i INPUT] COMMAND [ARG...]: runs COMMAND with its standard output on /dev/null
// (and its standard input from INPUT when given, which may be a pipe), and prints
//   WALL_S USER_S SYSTEM_S PEAK_KIB
// for that process alone, to the microsecond: the resolution that /usr/bin/time lacks when a
// goal is a tenth of half a second.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double seconds(const timeval &t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; }

double now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

} // namespace

int main(int argc, char **argv) {
  int first = 1;
  const char *input = nullptr;
  if (argc > 2 && std::strcmp(argv[1], "-i") == 0) {
    input = argv[2];
    first = 3;
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: measure [-i INPUT] COMMAND [ARG...]\n");
    return 2;
  }
  const double start = now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("measure: fork");
    return 1;
  }
  if (child == 0) {
    const int out = open("/dev/null", O_WRONLY);
    if (out < 0 || dup2(out, STDOUT_FILENO) < 0) _exit(126);
    if (input != nullptr) {
      const int in = open(input, O_RDONLY);
      if (in < 0 || dup2(in, STDIN_FILENO) < 0) _exit(126);
    }
    execvp(argv[first], argv + first);
    std::fprintf(stderr, "measure: %s: %s\n", argv[first], std::strerror(errno));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  while (wait4(child, &status, 0, &usage) < 0)
    if (errno != EINTR) {
      std::perror("measure: wait4");
      return 1;
    }
  const double wall = now() - start;
  std::printf("%.6f %.6f %.6f %ld\n", wall, seconds(usage.ru_utime), seconds(usage.ru_stime), usage.ru_maxrss);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
