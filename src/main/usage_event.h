// The usage event, the record that crosses from the readers to the report state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
