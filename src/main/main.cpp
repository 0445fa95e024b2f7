// The program's entry point.
#include <csignal>
#include <span>

#include "main/run.h"

int main(int argc, char** argv) {
  // A closed pipe, or a file grown past the size limit, must surface as a write error, not end
  // the process.
  std::signal(SIGPIPE, SIG_IGN);
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  return run(std::span<char* const>(argv, static_cast<std::size_t>(argc)));
}
