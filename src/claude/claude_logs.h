// The Claude Code half of a run: every transcript read and merged into one state.
#pragma once

#include <string>
#include <vector>

#include "main/options.h"
#include "sources/reader_pool.h"

/// Reads every transcript of `files` on the pool's workers and merges their events, counting
/// each keyed message once, into the state of `options`'s report. The result does not depend on
/// the number of workers.
ScanResult read_claude_logs(const std::vector<std::string>& files, const RunOptions& options,
                            ReaderPool& pool);
