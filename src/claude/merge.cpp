// Merges the transcripts' events, keeping the best copy of each keyed message.
#include "claude/merge.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "claude/copies.h"
#include "claude/key_index.h"

void merge_file_usages(std::vector<FileUsage>&& files, const RunOptions& options,
                       ReportState& state) {
  // A key's place is where it first appeared, so its winner is written over that first copy
  // (taking its context over when it came from another file) and later copies are marked
  // dropped. Walking the files in order then gives the winners in first-insertion order, and
  // the index needs no more than one id per key: the key's file-list-wide position.
  std::vector<std::size_t> first_id(files.size() + 1, 0);
  for (std::size_t f = 0; f < files.size(); ++f) {
    first_id[f + 1] = first_id[f] + files[f].keyed.size();
  }
  const auto locate = [&](std::uint32_t id) -> std::pair<std::size_t, std::size_t> {
    const auto after = std::upper_bound(first_id.begin(), first_id.end(), std::size_t{id});
    const auto file = static_cast<std::size_t>(after - first_id.begin()) - 1;
    return {file, id - first_id[file]};
  };
  KeyIndex index;
  index.reserve(first_id.back());

  // A copy may sit in an earlier file than its original, so every file's ids are in first.
  const KeyedMessageIds keyed_ids(files);
  for (std::size_t f = 0; f < files.size(); ++f) {
    FileUsage& file = files[f];
    for (std::size_t i = 0; i < file.keyed.size(); ++i) {
      HeldEvent& candidate = file.keyed[i];
      const std::uint64_t hash =
          static_cast<std::uint64_t>(candidate.key[1]) << 32 | candidate.key[0];
      const std::optional<std::uint32_t> id = index.find(hash, [&](std::uint32_t held) {
        const auto [g, j] = locate(held);
        return files[g].keyed[j].key == candidate.key;
      });
      if (!id) {
        index.insert(hash, static_cast<std::uint32_t>(first_id[f] + i));
        continue;
      }
      candidate.context |= HeldEvent::kDropped;
      const auto [g, j] = locate(*id);
      FileUsage& holder = files[g];
      HeldEvent& stored = holder.keyed[j];
      // Equal output keeps the earlier copy.
      if (file.output(candidate) <= holder.output(stored)) continue;
      const std::uint32_t context =
          g == f ? candidate.context & HeldEvent::kContextMask
                 : holder.import_context(file, candidate.context & HeldEvent::kContextMask);
      stored =
          holder.hold(context, file.event_time_ms(candidate), file.counts(candidate), stored.key);
    }
    // Unkeyed events are done with after this: freed before the next file adds to the state.
    fold_unkeyed_events(file, keyed_ids, options, state);
  }

  for (const FileUsage& file : files) {
    for (const HeldEvent& held : file.keyed) {
      if ((held.context & HeldEvent::kDropped) == 0) add_event(state, options, file.event(held));
    }
  }
  std::vector<FileUsage>().swap(files);
}
