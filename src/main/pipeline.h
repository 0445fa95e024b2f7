// The scan of a run: both agents' halves forked on one set of workers, then joined.
#pragma once

#include <string>
#include <vector>

#include "main/options.h"
#include "sources/environment.h"
#include "sources/reader_pool.h"

/// Reads every listed log on up to one worker per available processor and returns the run's
/// state. The result does not depend on the number of workers. A log that cannot be opened for
/// want of a descriptor is read again once the workers are done; only if it still cannot be, or
/// memory runs out, is the scan a failure.
ScanResult scan_logs(const std::vector<std::string>& claude_files,
                     const std::vector<std::string>& codex_files, const RunOptions& options,
                     const Environment& env);
