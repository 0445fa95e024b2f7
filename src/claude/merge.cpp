#include "claude/merge.h"

#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

#include "claude/copies.h"
#include "claude/key_index.h"

namespace {

// Where a winning event lies: which file, which of its keyed events.
struct EventRef {
  std::size_t file = 0;
  std::size_t index = 0;
};

}  // namespace

void merge_file_usages(std::vector<FileUsage>&& files, const RunOptions& options,
                       ReportState& state) {
  // Winners stay inside their files; only references move, in first-insertion order, so the
  // result never depends on a hash map's iteration order.
  std::vector<EventRef> winners;
  KeyIndex index;
  const auto event_at = [&](const EventRef& ref) -> const KeyedEvent& {
    return files[ref.file].keyed[ref.index];
  };
  const auto key_of = [&](std::size_t id) -> std::string_view {
    return event_at(winners[id]).dedup_key;
  };

  // A copy may sit in an earlier file than its original, so every file's ids are in first.
  const KeyedMessageIds keyed_ids(files);
  for (std::size_t f = 0; f < files.size(); ++f) {
    FileUsage& file = files[f];
    for (std::size_t i = 0; i < file.keyed.size(); ++i) {
      const KeyedEvent& candidate = file.keyed[i];
      const std::size_t hash = KeyIndex::hash(candidate.dedup_key);
      const EventRef ref{f, i};
      if (const std::optional<std::size_t> id = index.find(candidate.dedup_key, hash, key_of)) {
        if (candidate.event.output > event_at(winners[*id]).event.output) winners[*id] = ref;
      } else {
        index.insert(hash, winners.size());
        winners.push_back(ref);
      }
    }
    // Unkeyed events are done with after this: freed before the next file adds to the state.
    fold_unkeyed_events(file, keyed_ids, options, state);
  }

  for (const EventRef& ref : winners) add_event(state, options, event_at(ref).event);
  std::vector<FileUsage>().swap(files);
}
