// Forks the two agents' halves of the scan and joins their states.
#include "main/pipeline.h"

#include <new>
#include <utility>

#include "claude/claude_logs.h"
#include "codex/codex_logs.h"

namespace {

// A branch of the fork runs on a thread of its own, where an exception would end the process.
template <typename Read>
void read_half(ScanResult& out, const Read& read) {
  try {
    out = read();
  } catch (const std::bad_alloc&) {
    out.failure = out_of_memory();
  }
}

}  // namespace

ScanResult scan_logs(const std::vector<std::string>& claude_files,
                     const std::vector<std::string>& codex_files, const RunOptions& options,
                     const Environment& env) {
  ReaderPool pool(available_processors());
  ScanResult claude;
  ScanResult codex;
  // The workers take Claude Code files first: its merge, the longest step that follows a half's
  // reads, then runs while they read Codex files.
  pool.workers.fork_join(
      [&] { read_half(claude, [&] { return read_claude_logs(claude_files, options, pool); }); },
      [&] { read_half(codex, [&] { return read_codex_logs(codex_files, options, env, pool); }); });
  if (claude.failure) return claude;
  if (codex.failure) return codex;
  try {
    merge_states(claude.state, std::move(codex.state));
  } catch (const std::bad_alloc&) {
    claude.failure = out_of_memory();
  }
  return claude;
}
