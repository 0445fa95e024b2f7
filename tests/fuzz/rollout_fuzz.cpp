// Arbitrary bytes as one rollout file, read with either fast-tier default as a run does.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "codex/rollout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // In memory where possible: truncating a file on disk can cost a millisecond per input.
  static const std::string path = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                  ("/meterly-rollout-fuzz-" + std::to_string(getpid()) + ".jsonl");
  [[maybe_unused]] static const int removed = std::atexit([] { unlink(path.c_str()); });
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const bool written = fd >= 0 && write(fd, data, size) == static_cast<ssize_t>(size);
  if (fd < 0 || close(fd) != 0 || !written) return 0;
  static LineReader reader(64);  // a small buffer makes lines cross reads
  const RunOptions options{.view = static_cast<ReportView>(size % 3)};
  for (const bool fast_default : {false, true})
    read_rollout_file(path, options, fast_default, reader);
  return 0;
}
