// Reads the Claude Code transcripts in parallel, then merges them in file-list order.
#include "claude/claude_logs.h"

#include <new>
#include <utility>

#include "claude/merge.h"
#include "claude/transcript.h"

ScanResult read_claude_logs(const std::vector<std::string>& files, const RunOptions& options,
                            ReaderPool& pool) {
  ScanResult result;
  std::vector<FileUsage> usages(files.size());
  result.failure = read_each_file(files, pool, [&](std::size_t i, LineReader& reader) {
    usages[i] = read_claude_transcript(files[i], reader);
  });
  if (result.failure) return result;
  // The merge runs while the workers go on with the other agent's logs.
  try {
    merge_file_usages(std::move(usages), options, result.state);
  } catch (const std::bad_alloc&) {
    result.failure = out_of_memory();
  }
  return result;
}
