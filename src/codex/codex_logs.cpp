// Reads the Codex rollouts in parallel, folding each state in as its turn in path order comes.
#include "codex/codex_logs.h"

#include <mutex>
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

  // Each file's state is folded in as soon as every file before it in the list is: the sums
  // come out in list order, as on one thread, and only states read ahead of the fold wait.
  std::vector<ReportState> states(rollouts.size());
  std::vector<unsigned char> done(rollouts.size(), 0);
  std::size_t folded = 0;
  std::mutex fold;
  result.failure = read_each_file(rollouts, pool, [&](std::size_t i, LineReader& reader) {
    ReportState state = read_rollout_file(rollouts[i], options, fast_default, reader);
    // A file that found no descriptor is read again later; its turn waits for that.
    if (reader.out_of_descriptors()) return;
    const std::lock_guard<std::mutex> lock(fold);
    states[i] = std::move(state);
    done[i] = 1;
    for (; folded < states.size() && done[folded] != 0; ++folded) {
      merge_states(result.state, std::move(states[folded]));
      states[folded] = ReportState();
    }
  });
  return result;
}
