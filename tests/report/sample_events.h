#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "main/options.h"
#include "main/usage_event.h"
#include "report/state.h"

/// A priced event on `day` with cache-read tokens only in the cache column.
inline UsageEvent sample_event(std::string day, AgentKind agent, std::string model,
                               std::uint64_t input, std::uint64_t output, std::uint64_t cache_read,
                               double cost_usd, std::string session = "s1",
                               std::string project = "", std::int64_t time_ms = 0) {
  UsageEvent event;
  event.month_key = day.substr(0, 7);
  event.day_key = std::move(day);
  event.session_id = std::move(session);
  event.project = std::move(project);
  event.model = std::move(model);
  event.event_time_ms = time_ms;
  event.input = input;
  event.output = output;
  event.cache_read = cache_read;
  event.cost_usd = cost_usd;
  event.agent = agent;
  event.priced = true;
  return event;
}

inline RunOptions view_options(ReportView view) {
  RunOptions options;
  options.view = view;
  return options;
}

inline ReportState fold(const std::vector<UsageEvent>& events, const RunOptions& options) {
  ReportState state;
  for (const UsageEvent& event : events) add_event(state, options, event);
  return state;
}
