// Arbitrary bytes as one transcript, read and merged as a run does.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "claude/merge.h"
#include "claude/transcript.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/meterly-claude-fuzz-" + std::to_string(getpid()) + ".jsonl";
  [[maybe_unused]] static const int removed = std::atexit([] { unlink(path.c_str()); });
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const bool written = fd >= 0 && write(fd, data, size) == static_cast<ssize_t>(size);
  if (fd < 0 || close(fd) != 0 || !written) return 0;

  static LineReader reader(97);     // small and odd: lines cross reads, long ones are read again
  std::vector<FileUsage> files(2);  // twice, as copies of one transcript are merged
  for (FileUsage& file : files) file = read_claude_transcript(path, reader);
  const RunOptions options{.view = static_cast<ReportView>(size % 3)};
  ReportState state;
  merge_file_usages(std::move(files), options, state);
  return 0;
}
