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

RunOptions view_options(ReportView view) {
  RunOptions options;
  options.view = view;
  return options;
}

ReportState fold(const std::vector<UsageEvent>& events, const RunOptions& options) {
  ReportState state;
  for (UsageEvent event : events) add_event(state, options, std::move(event));
  return state;
}

std::string totals(const ReportState& s) {
  std::string out;
  for (const std::string& model : s.unpriced_models) out += model + " ";
  return out + std::to_string(s.unpriced_tokens) + " " + std::to_string(s.agent_tokens[0]) + " $" +
         std::to_string(s.agent_cost_usd[0]) + " " + std::to_string(s.agent_tokens[1]) + " $" +
         std::to_string(s.agent_cost_usd[1]);
}

}  // namespace

TEST(report_state, agent_filter_and_date_range_drop_events_before_any_sum) {
  struct Case {
    AgentFilter filter;
    std::string range;  // "since.." or "..until"
    std::string day;
    bool kept;
  };
  // Short texts compare as prefixes: "2025-03" sorts before every day of March.
  constexpr AgentFilter both = AgentFilter::both;
  const Case cases[] = {
      {AgentFilter::claude, "", "2025-03-07", true}, {AgentFilter::codex, "", "2025-03-07", false},
      {both, "2025-03-07..", "2025-03-07", true},    {both, "2025-03-07..", "2025-03-06", false},
      {both, "..2025-03-31", "2025-03-31", true},    {both, "..2025-03-31", "2025-04-01", false},
      {both, "2025-03..", "2025-03-01", true},       {both, "..2025-03", "2025-03-01", false}};
  for (const Case& c : cases) {
    // The range tests the day in every view, the monthly one included.
    RunOptions options = view_options(ReportView::monthly);
    options.agent_filter = c.filter;
    if (c.range.starts_with("..")) options.until = c.range.substr(2);
    if (c.range.ends_with("..")) options.since = c.range.substr(0, c.range.size() - 2);
    UsageEvent event = sample(c.day, claude, "m", 1, 2, 3, 0.0);
    event.priced = false;
    const ReportState state = fold({event}, options);
    EXPECT_EQ(state.groups.size(), c.kept ? 1u : 0u) << c.range << " " << c.day;
    EXPECT_EQ(totals(state), c.kept ? "m 6 6 $0.000000 0 $0.000000" : "0 0 $0.000000 0 $0.000000");
  }
}

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

TEST(report_order, only_session_tables_stop_at_twenty_five) {
  EXPECT_EQ(shown_group_count(25, ReportView::session, false), 25u);
  EXPECT_EQ(shown_group_count(26, ReportView::session, false), 25u);
  EXPECT_EQ(shown_group_count(26, ReportView::session, true), 26u);
  EXPECT_EQ(shown_group_count(30, ReportView::monthly, false), 30u);
}

TEST(json_report, escapes_quotes_backslashes_and_controls_only) {
  EXPECT_EQ(json_escape("a/\"b\\\n\r\t\x00\x01\x1b\x1f\x7f\xC2\x9B é – 漢"sv),
            "a/\\\"b\\\\\\n\\r\\t\\u0000\\u0001\\u001b\\u001f\x7f\xC2\x9B é – 漢");
}
