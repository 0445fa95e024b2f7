// Renders the ordered groups, notes and scan statistics as the table report.
#include "report/table_report.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report/order.h"
#include "util/format.h"
#include "util/table.h"
#include "util/text.h"

namespace {

constexpr std::string_view kTitle = "meterly · Claude Code + Codex usage";
constexpr std::string_view kNone = "–";

using Rows = std::vector<std::vector<std::string>>;

// Cells and notes carry text from logs and directory names; on a terminal it is defused.
std::string cell_text(std::string_view text, TableStyle style) {
  return style.terminal ? terminal_safe(text) : std::string(text);
}

std::string right_aligned(std::string_view text, std::size_t width) {
  const std::size_t used = display_width(text);
  std::string out(width - std::min(width, used), ' ');
  out.append(text);
  return out;
}

std::string period_table(std::span<const ReportGroup* const> ordered, const RunOptions& options,
                         TableStyle style) {
  const std::vector<std::string> headers = {options.view == ReportView::monthly ? "Month" : "Date",
                                            "Agent",
                                            "Models",
                                            "Input",
                                            "Output",
                                            "Cache",
                                            "Cost"};
  const std::vector<Align> aligns = {Align::left,  Align::left,  Align::left, Align::right,
                                     Align::right, Align::right, Align::right};
  Rows rows;
  rows.reserve(ordered.size());
  const ReportGroup* previous = nullptr;
  for (const ReportGroup* group : ordered) {
    const bool same_label = previous != nullptr && previous->label == group->label;
    const bool same_agent = same_label && previous->agent == group->agent;
    rows.push_back({same_label ? std::string() : cell_text(group->label, style),
                    same_agent ? std::string() : std::string(agent_name(group->agent)),
                    cell_text(models_cell(group->models), style),
                    format_tokens(group->input, options.exact),
                    format_tokens(group->output, options.exact),
                    format_tokens(group->cache, options.exact), format_usd(group->cost_usd)});
    previous = group;
  }
  const ViewTotals totals = view_totals(ordered);
  std::vector<std::string> footer = {"TOTAL",
                                     "",
                                     "",
                                     format_tokens(totals.input, options.exact),
                                     format_tokens(totals.output, options.exact),
                                     format_tokens(totals.cache, options.exact),
                                     format_usd(totals.cost_usd)};
  return render_table(headers, aligns, rows, std::move(footer), style.colour);
}

std::string session_table(std::span<const ReportGroup* const> shown, const RunOptions& options,
                          TableStyle style) {
  const std::vector<std::string> headers = {"Last active", "Agent",  "Project",
                                            "Model(s)",    "Tokens", "Cost"};
  const std::vector<Align> aligns = {Align::left, Align::left,  Align::left,
                                     Align::left, Align::right, Align::right};
  Rows rows;
  rows.reserve(shown.size());
  for (const ReportGroup* group : shown) {
    std::uint64_t tokens = saturating_add(group->input, group->output);
    tokens = saturating_add(tokens, group->cache);
    rows.push_back({group->last_active_ms <= 0
                        ? std::string(kNone)
                        : format_utc_timestamp(group->last_active_ms).substr(0, 10),
                    std::string(agent_name(group->agent)),
                    group->project.empty() ? std::string(kNone) : cell_text(group->project, style),
                    cell_text(models_cell(group->models), style),
                    format_tokens(tokens, options.exact), format_usd(group->cost_usd)});
  }
  return render_table(headers, aligns, rows, std::nullopt, style.colour);
}

std::string agent_line(std::string_view label, std::string_view code, double cost,
                       std::uint64_t tokens, const RunOptions& options, TableStyle style) {
  std::string line = paint(label, code, style.colour);
  line.append("  ");
  line.append(right_aligned(format_usd(cost), 11));
  line.append("   ");
  line.append(format_tokens(tokens, options.exact));
  line.append(" tokens");
  return line;
}

std::string closing_block(const ReportState& state, const RunOptions& options,
                          std::uint64_t files_scanned, std::uint64_t elapsed_ms, TableStyle style) {
  std::string out = "\n";
  out.append(
      agent_line("Claude", "36", state.agent_cost_usd[0], state.agent_tokens[0], options, style));
  out.push_back('\n');
  out.append(
      agent_line("Codex ", "32", state.agent_cost_usd[1], state.agent_tokens[1], options, style));
  out.push_back('\n');
  out.append(paint("Total ", "1", style.colour));
  out.append("  ");
  const double total = state.agent_cost_usd[0] + state.agent_cost_usd[1];
  out.append(paint(right_aligned(format_usd(total), 11), "1", style.colour));

  if (state.unpriced_tokens != 0) {
    std::string models;
    for (auto it = state.unpriced_models.begin(); it != state.unpriced_models.end(); ++it) {
      if (it != state.unpriced_models.begin()) models.append(", ");
      models.append(*it);
    }
    const std::string note = "\n! " + format_tokens(state.unpriced_tokens, options.exact) +
                             " tokens had no known pricing (" + cell_text(models, style) +
                             "); excluded from cost.";
    out.push_back('\n');
    out.append(paint(note, "33", style.colour));
  }

  const std::string scanned = "\nScanned " + std::to_string(files_scanned) + " files in " +
                              std::to_string(elapsed_ms) + "ms";
  out.push_back('\n');
  out.append(paint(scanned, "2", style.colour));
  return out;
}

}  // namespace

std::string render_table_report(std::span<const ReportGroup* const> ordered,
                                const ReportState& state, const RunOptions& options,
                                std::uint64_t files_scanned, std::uint64_t elapsed_ms,
                                TableStyle style) {
  std::string out = paint(std::string(kTitle) + "\n", "1", style.colour);
  out.push_back('\n');

  const std::size_t shown = shown_group_count(ordered.size(), options.view, options.show_all);
  if (options.view == ReportView::session) {
    out.append(session_table(ordered.first(shown), options, style));
  } else {
    out.append(period_table(ordered, options, style));
  }
  out.push_back('\n');

  if (shown < ordered.size()) {
    const std::string note = "\nShowing " + std::to_string(shown) + " of " +
                             std::to_string(ordered.size()) +
                             " sessions (most recent). Use --all to list them all.";
    out.append(paint(note, "2", style.colour));
    out.push_back('\n');
  }

  out.append(closing_block(state, options, files_scanned, elapsed_ms, style));
  out.push_back('\n');
  return out;
}
