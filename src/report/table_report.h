// The table report and how it is drawn on this output.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "main/options.h"
#include "report/state.h"

/// How the table is drawn on this output.
struct TableStyle {
  /// SGR codes around the title, rules, totals and notes.
  bool colour;
  /// Control characters in cells and the unpriced model list become "?", so that text from
  /// logs and directory names cannot drive the terminal.
  bool terminal;
};

/// The whole table report (title, table, notes, scan statistics), final newline included.
std::string render_table_report(std::span<const ReportGroup* const> ordered,
                                const ReportState& state, const RunOptions& options,
                                std::uint64_t files_scanned, std::uint64_t elapsed_ms,
                                TableStyle style);
