// Message-id hashing and the rule that drops answers copied into a rewritten conversation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "claude/file_usage.h"
#include "main/options.h"
#include "report/state.h"

/// The hash by which message ids are compared across files: Murmur-style mixing of 8-byte words
/// read little-endian, cheap on ids of a few dozen bytes and the same value on every platform and
/// standard library, so builds agree even on a collision (odds about n/2^64 per tested event for
/// n keyed ids).
std::uint64_t message_id_hash(std::string_view id);

/// The message ids of every keyed event of a run. Some Claude Code versions rewrite a
/// conversation into a transcript, copying earlier answers with their usage but without a
/// request id: an unkeyed event whose message id is in this set is such a copy.
class KeyedMessageIds {
 public:
  /// Gathers the ids of all files' keyed events; empty, at no cost, when no file has an unkeyed
  /// event with a message id to test.
  explicit KeyedMessageIds(const std::vector<FileUsage>& files);

  bool contains(std::uint64_t id_hash) const;

 private:
  std::vector<std::uint64_t> sorted_;
};

/// Adds the unkeyed events of `file` to `state` in file order, leaving out the copies, and
/// releases them.
void fold_unkeyed_events(FileUsage& file, const KeyedMessageIds& keyed_ids,
                         const RunOptions& options, ReportState& state);
