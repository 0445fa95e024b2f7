// Reads the Codex rollouts in parallel, then folds their states in path order.
#include "codex/codex_logs.h"

#include <new>
#include <utility>

#include "codex/config.h"
#include "codex/rollout.h"
#include "codex/rollout_files.h"

ScanResult read_codex_logs(const std::vector<std::string>& files, const RunOptions& options,
                           const Environment& env, ReaderPool& pool) {
  ScanResult result;
  const std::vector<std::string> rollouts = order_rollout_files(files);
  if (rollouts.empty()) return result;
  bool unopened = false;
  bool fast_default = read_codex_fast_default(env, &unopened);
  // The other agent's workers may hold every descriptor: asked again once none does.
  if (unopened) pool.workers.when_idle([&] { fast_default = read_codex_fast_default(env); });

  std::vector<ReportState> states(rollouts.size());
  result.failure = read_each_file(rollouts, pool, [&](std::size_t i, LineReader& reader) {
    states[i] = read_rollout_file(rollouts[i], options, fast_default, reader);
  });
  if (result.failure) return result;
  try {
    for (ReportState& state : states) merge_states(result.state, std::move(state));
  } catch (const std::bad_alloc&) {
    result.failure = out_of_memory();
  }
  return result;
}
