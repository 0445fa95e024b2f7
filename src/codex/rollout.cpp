// Turns the lines of one Codex rollout into priced events, one per counted token report.
#include "codex/rollout.h"

#include <algorithm>
#include <utility>

#include "codex/rollout_files.h"
#include "json/scanner.h"
#include "pricing/price.h"
#include "util/path.h"
#include "util/search.h"

namespace {

// The last twelve bytes of each needle, in the order of kRolloutNeedles.
constexpr std::string_view kRolloutNeedleTails[] = {
    "token_count\"", "urn_context\"", "ngs_applied\"", "ession_meta\"", "review_mode\""};

// A report at most this long after the reference time of an open meta window is a replay.
constexpr std::int64_t kMetaWindowMs = 1000;

// The members of one line that the reader acts on. A member that occurs twice counts with its
// later occurrence, so every occurrence first clears what an earlier one set. A text views the
// line or the state's scratch.
struct RolloutLine {
  std::optional<std::string_view> timestamp;
  std::optional<std::string_view> type;
  std::optional<std::string_view> payload_type;
  std::optional<std::string_view> model;
  std::optional<std::string_view> cwd;
  std::optional<std::string_view> service_tier;
  std::optional<RolloutUsage> total;
  std::optional<RolloutUsage> last;
};

class LineParser {
 public:
  LineParser(std::string_view bytes, RolloutScratch& scratch)
      : cursor_{bytes, 0}, scratch_(scratch) {}

  // Reads what it can; a cut or malformed line leaves the members read before the damage.
  void parse(RolloutLine& line) {
    if (!begin_object(cursor_)) return;
    while (const std::optional<std::string_view> key = next_key()) {
      if (key_is(*key, "timestamp")) {
        line.timestamp = string_value(scratch_.timestamp);
      } else if (key_is(*key, "type")) {
        line.type = string_value(scratch_.type);
      } else if (key_is(*key, "payload")) {
        read_payload(line);
      } else {
        skip_value(cursor_);
      }
    }
  }

 private:
  std::optional<std::string_view> next_key() { return next_key_view(cursor_, scratch_.key); }

  std::optional<std::string_view> string_value(std::string& scratch) {
    return read_string_value_view(cursor_, scratch);
  }

  // Consumes a member's value that should be an object; false (value passed over) when not.
  bool enter_object() {
    if (begin_object(cursor_)) return true;
    skip_value(cursor_);
    return false;
  }

  void read_payload(RolloutLine& line) {
    line.payload_type.reset();
    line.model.reset();
    line.cwd.reset();
    line.service_tier.reset();
    line.total.reset();
    line.last.reset();
    if (!enter_object()) return;
    while (const std::optional<std::string_view> key = next_key()) {
      if (key_is(*key, "type")) {
        line.payload_type = string_value(scratch_.payload_type);
      } else if (key_is(*key, "info")) {
        read_info(line);
      } else if (key_is(*key, "model")) {
        line.model = string_value(scratch_.model);
      } else if (key_is(*key, "cwd")) {
        line.cwd = string_value(scratch_.cwd);
      } else if (key_is(*key, "thread_settings")) {
        read_thread_settings(line);
      } else {
        skip_value(cursor_);
      }
    }
  }

  void read_info(RolloutLine& line) {
    line.total.reset();
    line.last.reset();
    if (!enter_object()) return;
    while (const std::optional<std::string_view> key = next_key()) {
      if (key_is(*key, "total_token_usage")) {
        line.total = read_usage();
      } else if (key_is(*key, "last_token_usage")) {
        line.last = read_usage();
      } else {
        skip_value(cursor_);
      }
    }
  }

  std::optional<RolloutUsage> read_usage() {
    if (!enter_object()) return std::nullopt;
    RolloutUsage usage;
    while (const std::optional<std::string_view> key = next_key()) {
      if (key_is(*key, "input_tokens")) {
        usage.input_tokens = read_u64(cursor_).value_or(0);
      } else if (key_is(*key, "cached_input_tokens")) {
        usage.cached_input_tokens = read_u64(cursor_).value_or(0);
      } else if (key_is(*key, "output_tokens")) {
        usage.output_tokens = read_u64(cursor_).value_or(0);
      } else {
        skip_value(cursor_);
      }
    }
    return usage;
  }

  void read_thread_settings(RolloutLine& line) {
    line.service_tier.reset();
    if (!enter_object()) return;
    while (const std::optional<std::string_view> key = next_key()) {
      if (key_is(*key, "service_tier")) {
        line.service_tier = string_value(scratch_.service_tier);
      } else {
        skip_value(cursor_);
      }
    }
  }

  JsonCursor cursor_;
  RolloutScratch& scratch_;
};

std::optional<TimestampParts> line_time(const RolloutLine& line, LocalCalendar& calendar) {
  if (!line.timestamp) return std::nullopt;
  return parse_timestamp(*line.timestamp, calendar);
}

RolloutUsage minus_floored(const RolloutUsage& a, const RolloutUsage& b) {
  const auto sub = [](std::uint64_t x, std::uint64_t y) { return x - std::min(x, y); };
  return {sub(a.input_tokens, b.input_tokens), sub(a.cached_input_tokens, b.cached_input_tokens),
          sub(a.output_tokens, b.output_tokens)};
}

// The new usage that a report carries, moving the baseline to its totals. Totals equal to the
// baseline mean nothing happened, whatever the last-turn figures repeat.
RolloutUsage report_amounts(RolloutState& state, const RolloutLine& line) {
  if (!line.total) return line.last.value_or(RolloutUsage{});
  const std::optional<RolloutUsage> previous = std::exchange(state.previous_totals, line.total);
  if (previous && *previous == *line.total) return {};
  if (line.last) return *line.last;
  if (previous) return minus_floored(*line.total, *previous);
  return *line.total;
}

std::optional<UsageEvent> read_token_report(RolloutState& state, const RolloutLine& line) {
  std::optional<TimestampParts> time = line_time(line, state.calendar);
  if (!time) return std::nullopt;
  state.context_since_report = false;
  // A sub-agent's report would be counted twice and, taken as the baseline, make the next
  // report of this conversation count its whole turn again.
  if (state.review_mirror) return std::nullopt;
  const std::int64_t t = time->event_time_ms;
  if (state.meta_window_ms && t - *state.meta_window_ms <= kMetaWindowMs) {
    // A forked rollout replays its parent's reports right after its own session_meta; they
    // were counted in the parent's file and only set where this one starts from.
    if (line.total) state.previous_totals = line.total;
    state.meta_window_ms = t;
    return std::nullopt;
  }
  state.meta_window_ms.reset();

  const RolloutUsage amounts = report_amounts(state, line);
  const std::uint64_t cached = std::min(amounts.input_tokens, amounts.cached_input_tokens);
  if (amounts.input_tokens == 0 && amounts.output_tokens == 0) return std::nullopt;

  UsageEvent event;
  event.day_key = std::move(time->day_key);
  event.month_key = std::move(time->month_key);
  event.event_time_ms = t;
  event.session_id = state.session_id;
  event.project = state.project;
  event.model = state.model.value_or("unknown");
  if (state.fast && !event.model.ends_with("-fast")) event.model += "-fast";
  event.agent = AgentKind::codex;
  event.input = amounts.input_tokens - cached;
  event.output = amounts.output_tokens;
  event.cache_read = cached;
  const PriceResult price =
      price_usage(event.model, event.input, event.output, 0, 0, event.cache_read, t);
  event.priced = price.priced;
  event.cost_usd = price.cost_usd;
  return event;
}

}  // namespace

std::optional<UsageEvent> read_rollout_line(RolloutState& state, std::string_view bytes) {
  RolloutLine line;
  LineParser(bytes, state.scratch).parse(line);
  if (!line.type) return std::nullopt;  // not an object, or one without a type
  const std::string_view type = *line.type;
  if (type == "session_meta") {
    if (state.seen_session_meta) {
      if (const std::optional<TimestampParts> time = line_time(line, state.calendar)) {
        state.meta_window_ms = time->event_time_ms;
      }
    }
    state.seen_session_meta = true;
    // Early Codex versions name the working directory only here.
    if (line.cwd && !state.context_named_cwd) state.project = path_tail(*line.cwd);
  } else if (type == "turn_context") {
    if (line.model) state.model = *line.model;
    if (line.cwd) state.project = path_tail(*line.cwd);
    state.context_named_cwd = state.context_named_cwd || line.cwd.has_value();
    state.context_since_report = true;
    state.review_mirror = false;
  } else if (type == "event_msg") {
    if (line.payload_type == "entered_review_mode") {
      state.review_mirror = !state.context_since_report;
    } else if (line.payload_type == "exited_review_mode") {
      state.review_mirror = false;
    } else if (line.payload_type == "thread_settings_applied") {
      if (line.service_tier) {
        state.fast = line.service_tier == "priority" || line.service_tier == "fast";
      }
    } else if (line.payload_type == "token_count") {
      return read_token_report(state, line);
    }
  }
  return std::nullopt;
}

ReportState read_rollout_file(const std::string& path, const RunOptions& options, bool fast_default,
                              LineReader& reader) {
  ReportState report;
  RolloutState state;
  state.session_id = file_session_key(path);
  state.fast = fast_default;
  // The file is searched for the needles' last twelve bytes, which all end in a quote: five
  // needles sharing a byte at one offset are searched for at the cost of four. A line found so
  // holds one of the needles themselves unless a rare near miss; those are weeded out here.
  static const NeedleSet needles(kRolloutNeedles);
  reader.read_matching_lines(path, kRolloutNeedleTails, [&](std::string_view line) {
    if (needles.find_first(line) == std::string_view::npos) return;
    if (std::optional<UsageEvent> event = read_rollout_line(state, line)) {
      add_event(report, options, std::move(*event));
    }
  });
  return report;
}
