// The order of report rows, how many a table shows, and their totals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "report/state.h"

/// The groups in report order: by key for daily and monthly, most recent first for sessions
/// (equal times by ascending key).
std::vector<const ReportGroup*> order_groups(const ReportState& state, ReportView view);

/// How many of `total` groups a table shows: sessions stop at kSessionLimit unless `show_all`.
std::size_t shown_group_count(std::size_t total, ReportView view, bool show_all);

/// The sums shown in a table's TOTAL row.
struct ViewTotals {
  std::uint64_t input = 0;
  std::uint64_t output = 0;
  std::uint64_t cache = 0;
  double cost_usd = 0.0;
};

/// Sums of a list of groups; tokens saturate and the cost is added in list order.
ViewTotals view_totals(std::span<const ReportGroup* const> groups);
