// The events of one Claude Code transcript, held compactly from its read until the merge.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "claude/key_index.h"
#include "main/usage_event.h"

struct PriceEntry;

/// Texts kept once each in one block of bytes and named by number.
class TextTable {
 public:
  std::uint32_t intern(std::string_view text);
  std::string_view at(std::uint32_t id) const {
    const std::size_t begin = id == 0 ? 0 : ends_[id - 1];
    return std::string_view(bytes_).substr(begin, ends_[id] - begin);
  }
  /// Gives back spare room and the lookup index; a later intern builds the index again.
  void shrink();

 private:
  std::string bytes_;
  std::vector<std::size_t> ends_;
  KeyIndex index_;
};

/// What the events of one local day, session, project and model share: text ids in the file's
/// table and the price row (null when the model is not in the catalogue).
struct EventContext {
  std::uint32_t day_key = 0;
  std::uint32_t month_key = 0;
  std::uint32_t session_id = 0;
  std::uint32_t project = 0;
  std::uint32_t model = 0;
  const PriceEntry* price = nullptr;
  std::int64_t base_ms = 0;  // the instants of its events are held relative to this one
};

/// The texts of an event, viewed wherever the reader has them.
struct EventTexts {
  std::string_view day_key;
  std::string_view month_key;
  std::string_view session_id;
  std::string_view project;
  std::string_view model;
};

/// input, output, cache_write_5m, cache_write_1h, cache_read.
using TokenCounts = std::array<std::uint64_t, 5>;

/// A 128-bit hash that stands for a de-duplication key text: a hash of the whole text, and the
/// message id's own hash, which the rule for copied answers compares. Two of ten million distinct
/// keys share one with odds of about 1e-25, far below any other cause of a wrong figure.
using DedupHash = std::array<std::uint32_t, 4>;
DedupHash hash_dedup_key(std::string_view key_text, std::uint64_t message_id_hash);

/// The message id's hash within a key.
inline std::uint64_t message_id_part(const DedupHash& key) {
  return static_cast<std::uint64_t>(key[3]) << 32 | key[2];
}

/// One held event in 44 bytes: what the merge and the report groups need, with the texts and
/// the price row behind a context id. Counts above 2^32-1, and instants too far from their
/// context's, move the values to the file's `wide` list instead.
struct HeldEvent {
  DedupHash key{};            // zeros for an unkeyed event
  std::uint32_t context = 0;  // context id, plus the flag bits below
  std::int32_t offset_ms = 0;
  std::array<std::uint32_t, 5> counts{};  // with kWide: counts[0] indexes `wide`

  static constexpr std::uint32_t kWide = 1u << 31;
  static constexpr std::uint32_t kDropped = 1u << 30;  // lost to a copy of its key elsewhere
  static constexpr std::uint32_t kContextMask = kDropped - 1;
};

/// An unkeyed Claude Code event that carries a message id: its place in the file's unkeyed list
/// and the 64-bit hash of the id.
struct UnkeyedMessageId {
  std::size_t index = 0;
  std::uint64_t id_hash = 0;
};

/// The events of one Claude Code transcript file, held until the merge.
struct FileUsage {
  struct Wide {
    std::int64_t event_time_ms = 0;
    TokenCounts counts{};
  };

  TextTable texts;
  std::vector<EventContext> contexts;
  std::vector<Wide> wide;
  /// Events without a de-duplication key, in file order.
  std::vector<HeldEvent> unkeyed;
  /// At most one event per key, in the order each key first appeared in the file.
  std::vector<HeldEvent> keyed;
  /// The unkeyed events that carry a message id, in the order of `unkeyed`.
  std::vector<UnkeyedMessageId> unkeyed_message_ids;

  /// The context for these texts and price row, made when new; `event_time_ms` sets a new
  /// context's base instant.
  std::uint32_t context_for(const EventTexts& texts, const PriceEntry* price,
                            std::int64_t event_time_ms);
  /// The same context taken over from another file's tables.
  std::uint32_t import_context(const FileUsage& from, std::uint32_t context);
  /// A held event with these values; the flag bits start cleared.
  HeldEvent hold(std::uint32_t context, std::int64_t event_time_ms, const TokenCounts& counts,
                 const DedupHash& key);

  std::int64_t event_time_ms(const HeldEvent& event) const;
  TokenCounts counts(const HeldEvent& event) const;
  std::uint64_t output(const HeldEvent& event) const;
  /// The whole event, texts and price included.
  UsageEvent event(const HeldEvent& held) const;
  /// Gives back spare room and lookup indexes before the file waits for the merge.
  void shrink();

 private:
  KeyIndex context_index_;
  std::uint32_t last_context_ = 0;
};
