#pragma once

#include <string>
#include <vector>

#include "main/options.h"
#include "report/state.h"
#include "sources/environment.h"
#include "util/worker_pool.h"

/// The Codex pass: orders and de-duplicates the rollout files, reads them on `pool` and folds
/// their states in list order, so the result is the same for any number of workers.
ReportState read_codex_logs(const std::vector<std::string>& files, const RunOptions& options,
                            const Environment& env, WorkerPool& pool);
