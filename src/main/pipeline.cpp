#include "main/pipeline.h"

#include <atomic>
#include <memory>
#include <new>

#include "claude/merge.h"
#include "claude/transcript.h"
#include "codex/config.h"
#include "codex/rollout.h"
#include "codex/rollout_files.h"
#include "sources/line_reader.h"
#include "util/worker_pool.h"

namespace {

enum class FileStatus : unsigned char { read, deferred, out_of_memory };

// Everything the jobs of one scan share; each slot is written by the one job of its index.
struct Scan {
  Scan(const std::vector<std::string>& claude, const std::vector<std::string>& codex,
       const RunOptions& run_options)
      : claude_files(claude), rollouts(codex), options(run_options) {}

  const std::vector<std::string>& claude_files;
  const std::vector<std::string>& rollouts;
  const RunOptions& options;
  bool fast_default = false;
  std::vector<FileUsage> usages;
  std::vector<ReportState> rollout_states;
  std::vector<FileStatus> status;
  ReportState claude_state;
  bool claude_merged = false;
  std::atomic<std::size_t> claude_read{0};
  std::atomic<bool> abandoned{false};

  // Reads file `i` of the Claude Code list followed by the rollouts into its slot.
  FileStatus read(std::size_t i, LineReader& reader) {
    try {
      if (i < claude_files.size()) {
        usages[i] = read_claude_transcript(claude_files[i], reader);
      } else {
        const std::size_t k = i - claude_files.size();
        rollout_states[k] = read_rollout_file(rollouts[k], options, fast_default, reader);
      }
    } catch (const std::bad_alloc&) {
      abandoned.store(true, std::memory_order_relaxed);
      return FileStatus::out_of_memory;
    }
    return reader.out_of_descriptors() ? FileStatus::deferred : FileStatus::read;
  }

  // Runs on whichever thread read the last transcript, so no worker ever waits for another.
  bool merge_claude() {
    try {
      merge_file_usages(std::move(usages), options, claude_state);
      claude_merged = true;
    } catch (const std::bad_alloc&) {
      abandoned.store(true, std::memory_order_relaxed);
    }
    return claude_merged;
  }

  const std::string& path(std::size_t i) const {
    return i < claude_files.size() ? claude_files[i] : rollouts[i - claude_files.size()];
  }
};

ScanFailure out_of_memory(std::string path = {}) {
  return {ScanFailure::Kind::out_of_memory, std::move(path)};
}

}  // namespace

ScanResult scan_logs(const std::vector<std::string>& claude_files,
                     const std::vector<std::string>& codex_files, const RunOptions& options,
                     const Environment& env) {
  const std::vector<std::string> rollouts = order_rollout_files(codex_files);
  Scan scan{claude_files, rollouts, options};
  scan.fast_default = !rollouts.empty() && read_codex_fast_default(env);
  const std::size_t claude_count = claude_files.size();
  const std::size_t total = claude_count + rollouts.size();

  WorkerPool pool(available_processors());
  std::vector<std::unique_ptr<LineReader>> readers;
  for (unsigned w = 0; w < pool.size(); ++w) readers.push_back(std::make_unique<LineReader>());
  scan.usages.resize(claude_count);
  scan.rollout_states.resize(rollouts.size());
  scan.status.resize(total, FileStatus::read);

  // Each file's result waits in its own slot, so the merges see the files in list order
  // however the workers happened to share them out. Workers claim the Claude Code files first;
  // the one that finishes the last of them merges them while the others read Codex files.
  // While files come from the disk, reads are started a few files ahead of the workers, so that
  // the disk has more than one file per worker in flight.
  const std::size_t ahead = 8 * pool.size();
  pool.parallel_for(total, [&](std::size_t i, unsigned worker) {
    if (scan.abandoned.load(std::memory_order_relaxed)) return;
    if (readers[worker]->last_file_was_cold() && i + ahead < total) {
      LineReader::advise_will_read(scan.path(i + ahead));
    }
    scan.status[i] = scan.read(i, *readers[worker]);
    if (i < claude_count && scan.status[i] == FileStatus::read &&
        scan.claude_read.fetch_add(1, std::memory_order_acq_rel) + 1 == claude_count) {
      scan.merge_claude();
    }
  });

  ScanResult result;
  for (std::size_t i = 0; i < total && !result.failure; ++i) {
    if (scan.status[i] == FileStatus::out_of_memory) result.failure = out_of_memory(scan.path(i));
  }
  if (claude_count > 0 && !scan.claude_merged && scan.claude_read.load() == claude_count) {
    result.failure = out_of_memory();
  }
  if (result.failure) return result;

  // Logs whose open found every descriptor taken, read one at a time now that the workers have
  // closed theirs; a log that still cannot be opened leaves the report short, so the run fails.
  for (std::size_t i = 0; i < total; ++i) {
    if (scan.status[i] != FileStatus::deferred) continue;
    scan.status[i] = scan.read(i, *readers[0]);
    if (scan.status[i] == FileStatus::out_of_memory) result.failure = out_of_memory(scan.path(i));
    if (scan.status[i] == FileStatus::deferred) {
      result.failure = ScanFailure{ScanFailure::Kind::out_of_descriptors, scan.path(i)};
    }
    if (result.failure) return result;
  }
  if (claude_count > 0 && !scan.claude_merged && !scan.merge_claude()) {
    result.failure = out_of_memory();
    return result;
  }

  try {
    ReportState codex_state;
    for (ReportState& state : scan.rollout_states) merge_states(codex_state, std::move(state));
    merge_states(scan.claude_state, std::move(codex_state));
    result.state = std::move(scan.claude_state);
  } catch (const std::bad_alloc&) {
    result.failure = out_of_memory();
  }
  return result;
}
