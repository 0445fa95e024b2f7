// The JSON report and the string escaping it uses.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "report/state.h"

/// The text with JSON string escapes applied, without surrounding quotes.
std::string json_escape(std::string_view text);

/// The whole JSON document for the ordered groups, final newline included. For a terminal,
/// DEL, the C1 controls and the bidirectional controls are escaped as well.
std::string render_json_report(std::span<const ReportGroup* const> ordered, ReportView view,
                               bool terminal);
