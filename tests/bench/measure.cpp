// One measured run of a command, for scripts/bench: starts the command with
// its standard output on /dev/null, waits for it and prints
//
//     <wall time in microseconds> <peak resident set size in KiB> <exit status>
//
// The wall time runs from just before the start to the end of the wait; the
// peak memory is the kernel's figure for the child (and any children it
// waited for).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s COMMAND [ARGUMENT...]\n", argv[0]);
    return 2;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

  timespec start{};
  timespec end{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  pid_t child = 0;
  const int error = posix_spawnp(&child, argv[1], &actions, nullptr, argv + 1, environ);
  if (error != 0) {
    std::fprintf(stderr, "measure: cannot start %s: %s\n", argv[1], std::strerror(error));
    return 2;
  }
  int status = 0;
  rusage usage{};
  while (wait4(child, &status, 0, &usage) < 0) {
    if (errno != EINTR) {
      std::perror("measure: wait4");
      return 2;
    }
  }
  clock_gettime(CLOCK_MONOTONIC, &end);
  posix_spawn_file_actions_destroy(&actions);

  const long long micros =
      (end.tv_sec - start.tv_sec) * 1000000LL + (end.tv_nsec - start.tv_nsec) / 1000;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::printf("%lld %ld %d\n", micros, usage.ru_maxrss, code);
  return 0;
}
