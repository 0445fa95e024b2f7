#include "main/pipeline.h"

#include <memory>

#include "claude/merge.h"
#include "claude/transcript.h"
#include "codex/config.h"
#include "codex/rollout.h"
#include "codex/rollout_files.h"
#include "sources/line_reader.h"
#include "util/worker_pool.h"

ReportState scan_logs(const std::vector<std::string>& claude_files,
                      const std::vector<std::string>& codex_files, const RunOptions& options,
                      const Environment& env) {
  const std::vector<std::string> rollouts = order_rollout_files(codex_files);
  const bool fast_default = !rollouts.empty() && read_codex_fast_default(env);

  WorkerPool pool(available_processors());
  std::vector<std::unique_ptr<LineReader>> readers;
  for (unsigned w = 0; w < pool.size(); ++w) readers.push_back(std::make_unique<LineReader>());

  // Each file's result waits in its own slot, so the merges below see the files in list
  // order however the workers happened to share them out.
  const std::size_t claude_count = claude_files.size();
  std::vector<FileUsage> usages(claude_count);
  std::vector<ReportState> rollout_states(rollouts.size());
  pool.parallel_for(claude_count + rollouts.size(), [&](std::size_t i, unsigned worker) {
    LineReader& reader = *readers[worker];
    if (i < claude_count) {
      usages[i] = read_claude_transcript(claude_files[i], reader);
    } else {
      rollout_states[i - claude_count] =
          read_rollout_file(rollouts[i - claude_count], options, fast_default, reader);
    }
  });

  ReportState claude_state;
  ReportState codex_state;
  pool.parallel_for(2, [&](std::size_t half, unsigned) {
    if (half == 0) {
      merge_file_usages(std::move(usages), options, claude_state);
    } else {
      for (ReportState& state : rollout_states) merge_states(codex_state, std::move(state));
    }
  });
  merge_states(claude_state, std::move(codex_state));
  return claude_state;
}
