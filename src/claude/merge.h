// The cross-file merge of Claude Code events: one per message and request id.
#pragma once

#include <vector>

#include "claude/file_usage.h"
#include "main/options.h"
#include "report/state.h"

/// Folds the events of every transcript, given in file-list order, into `state`, counting each
/// keyed message once: the copy with the most output wins, the earliest file on a tie. Each
/// file's unkeyed events come first, in file order, except those whose message id is the message
/// id of a keyed event of any file (copies made when a conversation is rewritten); the keyed
/// winners follow in the order their keys first appeared. Consumes `files`.
void merge_file_usages(std::vector<FileUsage>&& files, const RunOptions& options,
                       ReportState& state);
