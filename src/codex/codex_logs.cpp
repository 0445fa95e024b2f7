#include "codex/codex_logs.h"

#include <memory>

#include "codex/config.h"
#include "codex/rollout.h"
#include "codex/rollout_files.h"
#include "sources/line_reader.h"

ReportState read_codex_logs(const std::vector<std::string>& files, const RunOptions& options,
                            const Environment& env, WorkerPool& pool) {
  const std::vector<std::string> ordered = order_rollout_files(files);
  const bool fast_default = read_codex_fast_default(env);

  // One reader per worker, made by that worker on its first file, so no two threads share one.
  std::vector<std::unique_ptr<LineReader>> readers(pool.size());
  std::vector<ReportState> states(ordered.size());
  pool.parallel_for(ordered.size(), [&](std::size_t index, unsigned worker) {
    std::unique_ptr<LineReader>& reader = readers[worker];
    if (!reader) reader = std::make_unique<LineReader>();
    states[index] = read_rollout_file(ordered[index], options, fast_default, *reader);
  });

  // Folding in list order, earlier files receiving, keeps floating-point sums and each group's
  // first project independent of how the files were shared out.
  ReportState total;
  if (!states.empty()) total = std::move(states.front());
  for (std::size_t i = 1; i < states.size(); ++i) merge_states(total, std::move(states[i]));
  return total;
}
