// peak_rss FILE COMMAND [ARG...]: runs COMMAND, writes its peak resident memory in KiB to FILE
// and exits as it did (128 + signal when a signal ended it). A process started straight from a
// large test program is charged that program's pages by some kernels; started from this small
// one, the figure is the command's own.
#include <errno.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>

extern char** environ;

int main(int argc, char** argv) {
  if (argc == 1) return 0;  // the harness checks that this helper runs here at all
  if (argc < 3) return 127;
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[2], nullptr, nullptr, argv + 2, environ) != 0) return 127;
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  long kib = usage.ru_maxrss;
#ifdef __APPLE__
  kib /= 1024;  // bytes there, KiB everywhere else
#endif
  if (FILE* file = std::fopen(argv[1], "w")) {
    std::fprintf(file, "%ld\n", kib);
    std::fclose(file);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
