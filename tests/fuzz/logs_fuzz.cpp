// Arbitrary bytes as one log file, read as both agents' readers read it in a run: as a transcript
// twice, merged as copies of one are, and as a rollout file with either fast-tier default.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "claude/merge.h"
#include "claude/transcript.h"
#include "codex/rollout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // In memory where possible: truncating a file on disk can cost a millisecond per input.
  static const std::string path = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                  ("/meterly-logs-fuzz-" + std::to_string(getpid()) + ".jsonl");
  [[maybe_unused]] static const int removed = std::atexit([] { unlink(path.c_str()); });
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const bool written = fd >= 0 && write(fd, data, size) == static_cast<ssize_t>(size);
  if (fd < 0 || close(fd) != 0 || !written) return 0;

  static LineReader reader(97);  // small and odd: lines cross reads, long ones are read again
  const RunOptions options{.view = static_cast<ReportView>(size % 3)};
  std::vector<FileUsage> files(2);
  for (FileUsage& file : files) file = read_claude_transcript(path, reader);
  ReportState state;
  merge_file_usages(std::move(files), options, state);
  for (const bool fast_default : {false, true})
    read_rollout_file(path, options, fast_default, reader);
  return 0;
}
