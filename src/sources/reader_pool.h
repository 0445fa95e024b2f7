// The workers that read a run's logs, a line reader each, and how a half's reading can fail.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "report/state.h"
#include "sources/line_reader.h"
#include "util/worker_pool.h"

/// Why a scan has no state to report: what could not be held or opened, and where.
struct ScanFailure {
  enum class Kind { out_of_memory, out_of_descriptors };
  Kind kind = Kind::out_of_memory;
  std::string path;  // the log concerned; empty for a merge
};

/// A state read from logs, or why the reading could not finish it.
struct ScanResult {
  ReportState state;
  std::optional<ScanFailure> failure;
};

/// The run's workers and a line reader for each, shared by the readers of both agents.
struct ReaderPool {
  explicit ReaderPool(unsigned workers);

  WorkerPool workers;
  std::vector<std::unique_ptr<LineReader>> readers;  // one per worker
};

/// Calls read(index, reader) for every path of `paths` on the pool's workers; each call must
/// keep its result in a slot of its own index, so that the caller sees them in list order however
/// the workers shared them out. A path whose open found every descriptor taken is read again once
/// no worker holds one. Nothing when every path was read; otherwise the first failure in list
/// order. `read` may throw only std::bad_alloc.
std::optional<ScanFailure> read_each_file(
    const std::vector<std::string>& paths, ReaderPool& pool,
    const std::function<void(std::size_t, LineReader&)>& read);

/// A failure for want of memory; `path` is empty for a merge.
ScanFailure out_of_memory(std::string path = {});
