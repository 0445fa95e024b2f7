#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "main/options.h"
#include "report/state.h"

/// How the table is drawn on this output.
struct TableStyle {
  bool colour = false;  // SGR codes around titles, rules and notes
  bool terminal =
      false;  // control characters in cells become "?" so logs cannot drive the terminal
};

/// The whole table report (title, table, notes, scan statistics), final newline included.
std::string render_table_report(std::span<const ReportGroup* const> ordered,
                                const ReportState& state, const RunOptions& options,
                                std::uint64_t files_scanned, std::uint64_t elapsed_ms,
                                TableStyle style);
