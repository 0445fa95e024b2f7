// Reading one Codex rollout: the state carried line to line and the events it yields.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "main/options.h"
#include "main/usage_event.h"
#include "report/state.h"
#include "sources/line_reader.h"
#include "time/calendar.h"

/// The three counts of one usage object in a token report.
struct RolloutUsage {
  std::uint64_t input_tokens = 0;  // cached ones included
  std::uint64_t cached_input_tokens = 0;
  std::uint64_t output_tokens = 0;

  bool operator==(const RolloutUsage&) const = default;
};

/// Decoding space for escaped keys and kept strings, one per field read, reused line after line.
struct RolloutScratch {
  std::string key;
  std::string timestamp;
  std::string type;
  std::string payload_type;
  std::string model;
  std::string cwd;
  std::string service_tier;
};

/// The reading state of one rollout file; nothing carries over from one file to the next.
struct RolloutState {
  std::string session_id;
  std::optional<std::string> model;
  std::string project;
  bool fast = false;
  /// The baseline that the next report's totals are compared with.
  std::optional<RolloutUsage> previous_totals;
  bool seen_session_meta = false;
  /// Set by a second "session_meta": reports close behind it only move the baseline.
  std::optional<std::int64_t> meta_window_ms;
  /// A turn_context came after the latest token report. A review run inside the conversation
  /// writes one, the first perhaps just before its marker; a review by a sub-agent does not.
  bool context_since_report = false;
  /// Inside a review whose reports are a sub-agent's, copied here from its own rollout: they
  /// are counted there and carry its totals, not this conversation's.
  bool review_mirror = false;
  /// A turn_context has named a cwd; before that, the one of session_meta gives the project.
  bool context_named_cwd = false;
  LocalCalendar calendar;
  RolloutScratch scratch;
};

/// The lines a rollout reader looks at: one of these, quotes included, must occur in the line.
inline constexpr std::string_view kRolloutNeedles[] = {
    "\"token_count\"", "\"turn_context\"", "\"thread_settings_applied\"", "\"session_meta\"",
    "review_mode\""};  // ends both review markers

/// Acts on one line that passed the needle prefilter: the priced event of a counted token report,
/// nothing for any other line.
std::optional<UsageEvent> read_rollout_line(RolloutState& state, std::string_view line);

/// Every counted report of one rollout file, folded with `options` into a fresh state. A file
/// that cannot be opened gives an empty state.
ReportState read_rollout_file(const std::string& path, const RunOptions& options, bool fast_default,
                              LineReader& reader);
