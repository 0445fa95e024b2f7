#include "report/state.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "report/json_report.h"
#include "report/order.h"
#include "report/sample_events.h"

namespace {

constexpr auto claude = AgentKind::claude;
constexpr auto codex = AgentKind::codex;

// Everything a report can see of a state, as one comparable text.
std::string describe(const ReportState& state, ReportView view) {
  std::string out = render_json_report(order_groups(state, view), view);
  for (const std::string& model : state.unpriced_models) out += model + ",";
  for (std::size_t a = 0; a < 2; ++a) {
    out += std::to_string(state.agent_tokens[a]) + " " + std::to_string(state.agent_cost_usd[a]);
  }
  return out + std::to_string(state.unpriced_tokens);
}

// Costs are binary fractions, so no grouping of the additions can change a sum.
std::vector<UsageEvent> mixed_events() {
  std::vector<UsageEvent> events = {
      sample_event("2025-03-07", claude, "opus", 1200, 3400, 560000, 1.0, "a", "", 1000),
      sample_event("2025-03-07", claude, "sonnet", 10, 20, 30, 0.5, "a", "webapp", 3000),
      sample_event("2025-03-07", codex, "sonnet", 1, 2, 3, 0.25, "a", "cli", -7),
      sample_event("2025-04-01", claude, "opus", 100, 0, 0, 2.0, "a", "y", 500),
  };
  events[1].cache_write_5m = 8;
  events[1].cache_write_1h = 16;
  events[2].priced = false;
  return events;
}

}  // namespace

TEST(report_state, folds_events_into_groups_of_the_view) {
  const ReportState daily = fold(mixed_events(), view_options(ReportView::daily));
  EXPECT_EQ(daily.groups.size(), 4u);
  EXPECT_EQ(daily.groups.at("2025-03-07|codex|sonnet").label, "2025-03-07");
  const ReportState monthly = fold(mixed_events(), view_options(ReportView::monthly));
  EXPECT_EQ(monthly.groups.size(), 4u);
  EXPECT_EQ(monthly.groups.at("2025-04|claude|opus").key, "2025-04|claude|opus");
  EXPECT_EQ(monthly.groups.at("2025-03|claude|sonnet").label, "2025-03");

  const ReportState sessions = fold(mixed_events(), view_options(ReportView::session));
  const ReportGroup& a = sessions.groups.at("claude|a");
  EXPECT_EQ(a.label, "a");
  EXPECT_EQ(a.models.size(), 2u);
  EXPECT_EQ(a.project, "webapp");  // the first non-empty one; "y" comes later
  EXPECT_EQ(a.last_active_ms, 3000);
  EXPECT_EQ(a.cache, 560054u);
  EXPECT_EQ(sessions.groups.at("codex|a").last_active_ms, 0);
  EXPECT_EQ(sessions.agent_tokens[0], 1310u + 3420u + 560054u);
  EXPECT_EQ(sessions.unpriced_tokens, 6u);
  EXPECT_EQ(sessions.unpriced_models.count("sonnet"), 1u);
  EXPECT_EQ(sessions.agent_cost_usd[0], 3.5);
}

TEST(report_state, agent_filter_and_date_range_drop_events_before_any_sum) {
  struct Case {
    std::uint8_t filter;
    std::optional<std::string> since, until;
    std::string day;
    bool kept;
  };
  const Case cases[] = {
      {0, {}, {}, "2025-03-07", true},
      {1, {}, {}, "2025-03-07", false},
      {kBothAgents, "2025-03-07", {}, "2025-03-07", true},
      {kBothAgents, "2025-03-07", {}, "2025-03-06", false},
      {kBothAgents, {}, "2025-03-31", "2025-03-31", true},
      {kBothAgents, {}, "2025-03-31", "2025-04-01", false},
      // Short texts compare as prefixes: "2025-03" sorts before every day of March.
      {kBothAgents, "2025-03", {}, "2025-03-01", true},
      {kBothAgents, {}, "2025-03", "2025-03-01", false},
      {kBothAgents, {}, "2025-03", "2025-02-28", true},
  };
  for (const Case& c : cases) {
    // The range tests the day in every view, the monthly one included.
    for (const ReportView view : {ReportView::daily, ReportView::monthly}) {
      RunOptions options = view_options(view);
      options.agent_filter = c.filter;
      options.since = c.since;
      options.until = c.until;
      UsageEvent event = sample_event(c.day, claude, "unknown", 1, 2, 3, 0.0);
      event.priced = false;
      const ReportState state = fold({event}, options);
      EXPECT_EQ(state.groups.size(), c.kept ? 1u : 0u) << c.day;
      EXPECT_EQ(state.agent_tokens[0] + state.unpriced_tokens, c.kept ? 12u : 0u) << c.day;
    }
  }
}

TEST(report_state, sums_saturate_instead_of_wrapping) {
  std::vector<UsageEvent> events(
      2, sample_event("2025-03-07", claude, "m", UINT64_MAX, 0, UINT64_MAX, 0.0, "s"));
  events[1].priced = false;
  events[1].cache_write_5m = UINT64_MAX;
  const ReportState state = fold(events, view_options(ReportView::daily));
  const ReportGroup& group = state.groups.begin()->second;
  EXPECT_EQ(group.input, UINT64_MAX);
  EXPECT_EQ(group.cache, UINT64_MAX);
  EXPECT_EQ(state.agent_tokens[0], UINT64_MAX);
  EXPECT_EQ(state.unpriced_tokens, UINT64_MAX);
  EXPECT_EQ(view_totals(order_groups(state, ReportView::daily)).input, UINT64_MAX);

  ReportState merged = fold(events, view_options(ReportView::daily));
  merge_states(merged, fold(events, view_options(ReportView::daily)));
  EXPECT_EQ(merged.groups.begin()->second.input, UINT64_MAX);
  EXPECT_EQ(merged.agent_tokens[0], UINT64_MAX);
  EXPECT_EQ(merged.unpriced_tokens, UINT64_MAX);
}

TEST(report_state, merging_split_states_equals_folding_all_events) {
  const std::vector<UsageEvent> all = mixed_events();
  for (const ReportView view : {ReportView::daily, ReportView::monthly, ReportView::session}) {
    const RunOptions options = view_options(view);
    for (std::size_t split = 0; split <= all.size(); ++split) {
      const auto middle = all.begin() + static_cast<std::ptrdiff_t>(split);
      ReportState first = fold({all.begin(), middle}, options);
      ReportState second = fold({middle, all.end()}, options);
      merge_states(first, std::move(second));
      EXPECT_EQ(describe(first, view), describe(fold(all, options), view)) << split;
      EXPECT_TRUE(second.groups.empty());
    }
  }
}
