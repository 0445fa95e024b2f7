#include "main/pipeline.h"

#include <atomic>
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

  // Each file's result waits in its own slot, so the merges see the files in list order
  // however the workers happened to share them out. Workers claim jobs in ascending order:
  // the Claude Code files, then one job that merges them, then the Codex files. The merge job
  // waits only for Claude Code reads already under way on other workers, and then runs while
  // they go on with the Codex files.
  const std::size_t claude_count = claude_files.size();
  const std::size_t merge_job = claude_count;
  std::vector<FileUsage> usages(claude_count);
  std::vector<ReportState> rollout_states(rollouts.size());
  std::atomic<std::size_t> claude_read{0};
  ReportState claude_state;
  // While files come from the disk, reads are started a few files ahead of the workers, so that
  // the disk has more than one file per worker in flight.
  const std::size_t ahead = 8 * pool.size();
  const auto path_of = [&](std::size_t job) -> const std::string* {
    if (job < merge_job) return &claude_files[job];
    if (job > merge_job && job - merge_job - 1 < rollouts.size())
      return &rollouts[job - merge_job - 1];
    return nullptr;
  };
  pool.parallel_for(claude_count + 1 + rollouts.size(), [&](std::size_t i, unsigned worker) {
    LineReader& reader = *readers[worker];
    if (reader.last_file_was_cold()) {
      if (const std::string* next = path_of(i + ahead)) LineReader::advise_will_read(*next);
    }
    if (i < merge_job) {
      usages[i] = read_claude_transcript(claude_files[i], reader);
      if (claude_read.fetch_add(1, std::memory_order_acq_rel) + 1 == claude_count) {
        claude_read.notify_all();
      }
    } else if (i == merge_job) {
      for (std::size_t done = claude_read.load(std::memory_order_acquire); done < claude_count;
           done = claude_read.load(std::memory_order_acquire)) {
        claude_read.wait(done, std::memory_order_acquire);
      }
      merge_file_usages(std::move(usages), options, claude_state);
    } else {
      const std::size_t k = i - merge_job - 1;
      rollout_states[k] = read_rollout_file(rollouts[k], options, fast_default, reader);
    }
  });

  ReportState codex_state;
  for (ReportState& state : rollout_states) merge_states(codex_state, std::move(state));
  merge_states(claude_state, std::move(codex_state));
  return claude_state;
}
