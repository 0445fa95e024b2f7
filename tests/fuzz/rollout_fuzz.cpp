#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "codex/rollout.h"

namespace {

// One scratch file per fuzzing process, rewritten for every input and removed at exit. Kept
// in memory where possible: truncating a file on disk can cost a millisecond per input.
struct ScratchFile {
  std::string path = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                     std::string("/meterly-rollout-fuzz-") + std::to_string(getpid()) +
                     "-0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5b.jsonl";
  ~ScratchFile() { unlink(path.c_str()); }
};

const std::string& scratch_path() {
  static const ScratchFile file;
  return file.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = scratch_path();
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return 0;
  const bool written = write(fd, data, size) == static_cast<ssize_t>(size);
  close(fd);
  if (!written) return 0;

  static LineReader reader(64);  // a small buffer makes lines cross buffer boundaries
  RunOptions options;
  options.view = static_cast<ReportView>(size % 3);
  for (const bool fast_default : {false, true}) {
    read_rollout_file(path, options, fast_default, reader);
  }
  return 0;
}
