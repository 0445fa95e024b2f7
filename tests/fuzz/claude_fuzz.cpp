// Arbitrary bytes as one transcript's content. Besides memory errors, the line reader is checked
// against a plain split of the same bytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>

#include "claude/merge.h"
#include "claude/transcript.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The directory name feeds the project label; left in /tmp like any scratch file.
  static const std::string dir = "/tmp/meterly-claude-fuzz-" + std::to_string(getpid());
  static const std::string path = (mkdir(dir.c_str(), 0700), dir + "/-code-app.jsonl");
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return 0;
  const bool written = write(fd, data, size) == static_cast<ssize_t>(size);
  close(fd);
  if (!written) return 0;

  const std::string_view content(reinterpret_cast<const char*>(data), size);
  const std::array<std::string_view, 1> needles{"\"input_tokens\""};
  std::vector<std::string> expected;
  for (std::size_t begin = 0, end; begin < size; begin = end) {
    end = std::min(content.find('\n', begin), size - 1) + 1;
    const std::string_view line = content.substr(begin, end - begin);
    if (line.find(needles[0]) != std::string_view::npos) expected.emplace_back(line);
  }
  // Small buffers make lines cross reads and long lines drop and re-read their start.
  static LineReader small(64), odd(97);
  std::vector<FileUsage> files;
  for (LineReader* reader : {&small, &odd}) {
    std::vector<std::string> got;
    reader->read_matching_lines(path, needles, [&](std::string_view l) { got.emplace_back(l); });
    if (got != expected) std::abort();
    files.push_back(read_claude_transcript(path, *reader));
  }
  RunOptions options;
  options.view = static_cast<ReportView>(size % 3);
  ReportState state;
  merge_file_usages(std::move(files), options, state);
  return 0;
}
