#pragma once

#include <optional>
#include <string>
#include <vector>

#include "main/options.h"
#include "report/state.h"
#include "sources/environment.h"

/// Why a scan has no state to report: what could not be held or opened, and where.
struct ScanFailure {
  enum class Kind { out_of_memory, out_of_descriptors };
  Kind kind = Kind::out_of_memory;
  std::string path;  // the log concerned; empty for a merge
};

/// The run's state, or why the scan could not finish it.
struct ScanResult {
  ReportState state;
  std::optional<ScanFailure> failure;
};

/// Reads every listed log on up to one worker per available processor and returns the run's
/// state. The result does not depend on the number of workers. A log that cannot be opened for
/// want of a descriptor is read again once the workers are done; only if it still cannot be, or
/// memory runs out, is the scan a failure.
ScanResult scan_logs(const std::vector<std::string>& claude_files,
                     const std::vector<std::string>& codex_files, const RunOptions& options,
                     const Environment& env);
