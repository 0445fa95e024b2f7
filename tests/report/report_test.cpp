#include <gtest/gtest.h>

#include "report/json_report.h"
#include "report/order.h"
#include "report/state.h"

namespace {

constexpr auto claude = AgentKind::claude;
using namespace std::literals;

// A priced event whose cache tokens are all cache reads.
UsageEvent sample(std::string day, AgentKind agent, std::string model, std::uint64_t in,
                  std::uint64_t out, std::uint64_t cache, double cost, std::string session = "s1",
                  std::string project = "", std::int64_t time = 0) {
  UsageEvent e{day, day.substr(0, 7), session, project, model, time, in, out};
  e.cache_read = cache;
  e.cost_usd = cost;
  e.agent = agent;
  e.priced = true;
  return e;
}

ReportState fold(const std::vector<UsageEvent>& events, const RunOptions& options) {
  ReportState state;
  for (UsageEvent event : events) add_event(state, options, std::move(event));
  return state;
}

}  // namespace

TEST(report_state, sums_saturate_instead_of_wrapping) {
  std::vector<UsageEvent> events(3,
                                 sample("2025-03-07", claude, "m", UINT64_MAX, 0, UINT64_MAX, 0));
  events[2].model = "n";
  events[2].priced = false;
  events[2].cache_write_5m = UINT64_MAX;
  for (const bool merged : {false, true}) {
    ReportState state = fold(events, {});
    if (merged) merge_states(state, fold(events, {}));
    for (const char* key : {"2025-03-07|claude|m", "2025-03-07|claude|n"}) {
      EXPECT_EQ(state.groups.at(key).input, UINT64_MAX) << key << merged;
      EXPECT_EQ(state.groups.at(key).cache, UINT64_MAX) << key << merged;
    }
    EXPECT_EQ(state.agent_tokens[0], UINT64_MAX) << merged;
    EXPECT_EQ(state.unpriced_tokens, UINT64_MAX) << merged;
    EXPECT_EQ(view_totals(order_groups(state, ReportView::daily)).cache, UINT64_MAX) << merged;
  }
}

TEST(json_report, escapes_quotes_backslashes_and_controls_only) {
  EXPECT_EQ(json_escape("a/\"b\\\n\r\t\x00\x01\x1b\x1f\x7f\xC2\x9B é – 漢"sv),
            "a/\\\"b\\\\\\n\\r\\t\\u0000\\u0001\\u001b\\u001f\x7f\xC2\x9B é – 漢");
}
