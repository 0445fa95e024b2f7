#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// Which coding agent wrote a log. The values are also the agent filter's first two values.
enum class AgentKind : std::uint8_t { claude = 0, codex = 1 };

/// The name used in group keys, table cells and JSON.
constexpr std::string_view agent_name(AgentKind agent) {
  return agent == AgentKind::claude ? "claude" : "codex";
}

/// One priced usage observation: what crosses from the readers to aggregation.
struct UsageEvent {
  std::string day_key;    // local "YYYY-MM-DD"
  std::string month_key;  // local "YYYY-MM"
  std::string session_id;
  std::string project;  // may be empty
  std::string model;    // as logged, "-fast" appended for fast turns
  std::int64_t event_time_ms = 0;
  std::uint64_t input = 0;
  std::uint64_t output = 0;
  std::uint64_t cache_write_5m = 0;
  std::uint64_t cache_write_1h = 0;
  std::uint64_t cache_read = 0;
  double cost_usd = 0.0;
  AgentKind agent = AgentKind::claude;
  bool priced = false;
};

/// A keyed Claude Code event with its de-duplication key ("{message id}::{request id}").
struct KeyedEvent {
  std::string dedup_key;
  UsageEvent event;
};

/// An unkeyed Claude Code event that carries a message id: its place in the file's unkeyed list
/// and the 64-bit hash of the id.
struct UnkeyedMessageId {
  std::size_t index = 0;
  std::uint64_t id_hash = 0;
};

/// The events of one Claude Code transcript file.
struct FileUsage {
  /// Events without a de-duplication key, in file order.
  std::vector<UsageEvent> unkeyed;
  /// At most one event per key, in the order each key first appeared in the file.
  std::vector<KeyedEvent> keyed;
  /// The hash of the message id of each keyed event, in the order of `keyed`.
  std::vector<std::uint64_t> keyed_message_ids;
  /// The unkeyed events that carry a message id, in the order of `unkeyed`.
  std::vector<UnkeyedMessageId> unkeyed_message_ids;
};
