#include "report/order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/sample_events.h"

TEST(report_order, sessions_most_recent_first_and_equal_times_by_key) {
  std::vector<UsageEvent> events;
  // Enough equal-time groups that a hash map's own order would show through.
  for (const char* id : {"q", "c", "z", "a", "m", "k"}) {
    events.push_back(sample_event("2025-03-07", AgentKind::codex, "m", 1, 0, 0, 0.0, id, "", 0));
    events.push_back(sample_event("2025-03-07", AgentKind::claude, "m", 1, 0, 0, 0.0, id, "", 50));
  }
  events.push_back(sample_event("2025-03-07", AgentKind::codex, "m", 1, 0, 0, 0.0, "n", "", 90));
  const ReportState state = fold(events, view_options(ReportView::session));
  std::string keys;
  for (const ReportGroup* group : order_groups(state, ReportView::session)) {
    keys += group->key + " ";
  }
  EXPECT_EQ(keys,
            "codex|n claude|a claude|c claude|k claude|m claude|q claude|z "
            "codex|a codex|c codex|k codex|m codex|q codex|z ");
}

TEST(report_order, session_tables_stop_at_twenty_five_unless_all) {
  struct Case {
    std::size_t total;
    ReportView view;
    bool show_all;
    std::size_t shown;
  };
  const Case cases[] = {
      {25, ReportView::session, false, 25}, {26, ReportView::session, false, 25},
      {26, ReportView::session, true, 26},  {30, ReportView::daily, false, 30},
      {30, ReportView::monthly, false, 30},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(shown_group_count(c.total, c.view, c.show_all), c.shown) << c.total;
  }
}
