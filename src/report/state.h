// The report state: groups keyed by period or session, and the run's totals.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

#include "main/options.h"
#include "main/usage_event.h"

/// One report row.
struct ReportGroup {
  std::string key;
  std::string label;    // day key, month key or session id, by view
  std::string project;  // the first non-empty project folded in
  double cost_usd = 0.0;
  std::uint64_t input = 0;
  std::uint64_t output = 0;
  std::uint64_t cache = 0;
  std::set<std::string, std::less<>> models;
  std::int64_t last_active_ms = 0;
  AgentKind agent = AgentKind::claude;
};

/// Hashes std::string and std::string_view alike, so lookups need no temporary string.
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept {
    return std::hash<std::string_view>{}(text);
  }
};

/// The aggregation state: report rows plus per-agent and unpriced totals.
struct ReportState {
  std::unordered_map<std::string, ReportGroup, TextHash, std::equal_to<>> groups;
  std::array<double, 2> agent_cost_usd{};
  std::array<std::uint64_t, 2> agent_tokens{};
  std::uint64_t unpriced_tokens = 0;
  std::set<std::string, std::less<>> unpriced_models;
};

/// Adds without wrapping: a sum that would pass 2^64-1 stays there.
constexpr std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
  return a + b < a ? UINT64_MAX : a + b;
}

/// Applies the agent filter and date range, then folds the event into its group.
void add_event(ReportState& state, const RunOptions& options, UsageEvent&& event);

/// Adds every sum, set and group of `from` to `into`; `from` is left empty.
void merge_states(ReportState& into, ReportState&& from);
