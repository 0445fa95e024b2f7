#pragma once

#include <string>
#include <vector>

#include "main/options.h"
#include "report/state.h"
#include "sources/environment.h"

/// Reads every listed log on a pool of one worker per available processor and returns the
/// run's state. The result does not depend on the number of workers.
ReportState scan_logs(const std::vector<std::string>& claude_files,
                      const std::vector<std::string>& codex_files, const RunOptions& options,
                      const Environment& env);
