// Orders report groups, cuts the session list and sums the totals row.
#include "report/order.h"

#include <algorithm>
#include <tuple>

std::vector<const ReportGroup*> order_groups(const ReportState& state, ReportView view) {
  std::vector<const ReportGroup*> ordered;
  ordered.reserve(state.groups.size());
  for (const auto& entry : state.groups) ordered.push_back(&entry.second);

  // Keys are unique, so both orders are total and the hash map's order never shows.
  if (view == ReportView::session) {
    // Latest first, then by key.
    std::sort(ordered.begin(), ordered.end(), [](const ReportGroup* a, const ReportGroup* b) {
      return std::tie(b->last_active_ms, a->key) < std::tie(a->last_active_ms, b->key);
    });
  } else {
    std::sort(ordered.begin(), ordered.end(),
              [](const ReportGroup* a, const ReportGroup* b) { return a->key < b->key; });
  }
  return ordered;
}

std::size_t shown_group_count(std::size_t total, ReportView view, bool show_all) {
  if (view != ReportView::session || show_all) return total;
  return std::min(total, kSessionLimit);
}

ViewTotals view_totals(std::span<const ReportGroup* const> groups) {
  ViewTotals totals;
  for (const ReportGroup* group : groups) {
    totals.input = saturating_add(totals.input, group->input);
    totals.output = saturating_add(totals.output, group->output);
    totals.cache = saturating_add(totals.cache, group->cache);
    totals.cost_usd += group->cost_usd;
  }
  return totals;
}
