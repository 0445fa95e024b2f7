// The Codex half of a run: every rollout read and folded into one state.
#pragma once

#include <string>
#include <vector>

#include "main/options.h"
#include "sources/environment.h"
#include "sources/reader_pool.h"

/// Reads each conversation's rollout of `files` once, on the pool's workers, priced with the
/// fast-tier default of the Codex configuration, into the state of `options`'s report. The
/// result does not depend on the number of workers.
ScanResult read_codex_logs(const std::vector<std::string>& files, const RunOptions& options,
                           const Environment& env, ReaderPool& pool);
