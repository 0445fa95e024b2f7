#include "codex/rollout.h"

#include <gtest/gtest.h>

#include "support/process.h"

namespace {

// A rollout line at 2025-03-07T10:00:00Z plus `ms` (below one minute).
std::string line(int ms, const std::string& type, const std::string& payload) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "2025-03-07T10:00:%02d.%03dZ", ms / 1000, ms % 1000);
  return std::string("{\"timestamp\":\"") + stamp + "\",\"type\":\"" + type +
         "\",\"payload\":" + payload + "}\n";
}
constexpr std::int64_t kBaseMs = 1741341600000;

std::string usage(int in, int cached, int out) {
  return "{\"input_tokens\":" + std::to_string(in) +
         ",\"cached_input_tokens\":" + std::to_string(cached) +
         ",\"output_tokens\":" + std::to_string(out) + ",\"reasoning_output_tokens\":7}";
}
std::string report(int ms, const std::string& info) {
  return line(ms, "event_msg",
              "{\"type\":\"token_count\",\"info\":" + info + ",\"rate_limits\":null}");
}
std::string totals(int ms, int in, int cached, int out, const std::string& last = "") {
  return report(ms, "{\"total_token_usage\":" + usage(in, cached, out) +
                        (last.empty() ? "" : ",\"last_token_usage\":" + last) + "}");
}
std::string last_only(int ms, int in, int cached, int out) {
  return report(ms, "{\"last_token_usage\":" + usage(in, cached, out) + "}");
}
std::string meta(int ms) {
  return line(ms, "session_meta", "{\"id\":\"x\"}");
}
std::string context(const std::string& payload) {
  return line(0, "turn_context", payload);
}
std::string tier(const std::string& value) {
  return line(0, "event_msg",
              "{\"type\":\"thread_settings_applied\",\"thread_settings\":{\"service_tier\":" +
                  value + "}}");
}

// One event as text: model, project, input/cached/output, milliseconds after the base time.
std::vector<std::string> read_lines(const std::vector<std::string>& lines, bool fast_default) {
  RolloutState state;
  state.session_id = "s";
  state.fast = fast_default;
  std::vector<std::string> seen;
  for (const std::string& text : lines) {
    if (!read_rollout_line(state, text)) continue;
    const UsageEvent& e = state.event;
    EXPECT_TRUE(e.agent == AgentKind::codex && e.session_id == "s" &&
                e.cache_write_5m + e.cache_write_1h == 0);
    seen.push_back(e.model + " " + e.project + " " + std::to_string(e.input) + "/" +
                   std::to_string(e.cache_read) + "/" + std::to_string(e.output) + " +" +
                   std::to_string(e.event_time_ms - kBaseMs));
  }
  return seen;
}

struct Case {
  const char* name;
  std::vector<std::string> lines;
  std::vector<std::string> events;
  bool fast_default = false;
};

TEST(rollout, per_turn_amounts) {
  std::string cut = last_only(0, 9, 0, 2);
  cut.resize(cut.find("rate_limits") + 4);
  const Case cases[] = {
      {"first totals count whole", {totals(0, 100, 40, 10)}, {"unknown  60/40/10 +0"}},
      {"equal totals count nothing, whatever the last turn says",
       {totals(0, 100, 0, 10), totals(1, 100, 0, 10, usage(5, 0, 5))},
       {"unknown  100/0/10 +0"}},
      {"totals going down: the last turn",
       {totals(0, 100, 0, 10), totals(1, 50, 0, 5, usage(7, 2, 3))},
       {"unknown  100/0/10 +0", "unknown  5/2/3 +1"}},
      {"difference of totals, floored at zero",
       {totals(0, 100, 20, 10), totals(1, 90, 50, 30), totals(2, 190, 60, 30)},
       {"unknown  80/20/10 +0", "unknown  0/0/20 +1", "unknown  90/10/0 +2"}},
      {"last turn only keeps the baseline",
       {totals(0, 100, 0, 10), last_only(1, 5, 0, 5), totals(2, 150, 0, 20)},
       {"unknown  100/0/10 +0", "unknown  5/0/5 +1", "unknown  50/0/10 +2"}},
      {"cached cut to the input; all zero is no event",
       {last_only(0, 10, 25, 3), last_only(1, 0, 9, 0), report(2, "{}"), report(3, "null")},
       {"unknown  0/10/3 +0"}},
      {"unusable timestamp: as if the line were absent",
       {totals(0, 100, 0, 10), totals(1, 150, 0, 15).replace(14, 5, "xx-xx"),
        totals(2, 170, 0, 20)},
       {"unknown  100/0/10 +0", "unknown  70/0/10 +2"}},
      {"a cut line, members in any order, counts as strings or fractions",
       {cut,
        "{\"payload\":{\"info\":{\"last_token_usage\":{\"output_tokens\":\"4\",\"input_tokens\":12."
        "9,"
        "\"cached_input_tokens\":-3}},\"type\":\"token_count\"},\"type\":\"event_msg\","
        "\"timestamp\":"
        "\"2025-03-07T10:00:00Z\"}"},
       {"unknown  9/0/2 +0", "unknown  12/0/4 +0"}},
      {"the later of two members counts; a wrong type is absent",
       {line(0, "event_msg",
             "{\"type\":\"token_count\",\"info\":{\"last_token_usage\":" + usage(9, 0, 2) +
                 "},\"type\":\"other\"}"),
        line(0, "event_msg",
             "{\"type\":\"token_count\",\"info\":{\"last_token_usage\":" + usage(9, 0, 2) +
                 "},\"info\":\"x\"}"),
        line(0, "response_item",
             "{\"type\":\"token_count\",\"info\":{\"last_token_usage\":" + usage(9, 0, 2) + "}}")},
       {}},
  };
  for (const Case& c : cases) EXPECT_EQ(read_lines(c.lines, c.fast_default), c.events) << c.name;
}

TEST(rollout, meta_window_after_a_second_session_meta) {
  const Case cases[] = {
      {"replayed reports only move the baseline; the window slides with them",
       {meta(0), totals(100, 10, 0, 1), meta(1000), totals(1500, 100, 0, 10),
        totals(2500, 200, 0, 20), totals(3501, 260, 0, 25), totals(3600, 300, 0, 30)},
       {"unknown  10/0/1 +100", "unknown  60/0/5 +3501", "unknown  40/0/5 +3600"}},
      {"once closed, the window stays closed",
       {meta(0), meta(1000), totals(2500, 10, 0, 1), totals(1200, 20, 0, 2)},
       {"unknown  10/0/1 +2500", "unknown  10/0/1 +1200"}},
      {"a single session_meta opens nothing",
       {meta(0), totals(100, 10, 0, 1)},
       {"unknown  10/0/1 +100"}},
      {"earlier than the reference is inside",
       {meta(0), meta(5000), totals(4000, 10, 0, 1), totals(9000, 15, 0, 2)},
       {"unknown  5/0/1 +9000"}},
      {"no usable timestamp opens nothing",
       {meta(0), "{\"type\":\"session_meta\"}", totals(100, 10, 0, 1)},
       {"unknown  10/0/1 +100"}},
      {"a window report without totals keeps the baseline",
       {meta(0), totals(10, 10, 0, 1), meta(20), last_only(30, 4, 0, 4), totals(2000, 30, 0, 3)},
       {"unknown  10/0/1 +10", "unknown  20/0/2 +2000"}},
  };
  for (const Case& c : cases) EXPECT_EQ(read_lines(c.lines, c.fast_default), c.events) << c.name;
}

TEST(rollout, model_project_and_fast_tier) {
  const std::string gpt5 = context("{\"model\":\"gpt-5\",\"cwd\":\"/home/u/webapp\"}");
  const Case cases[] = {
      {"turn_context sets what follows; absent members keep the fields",
       {last_only(0, 1, 0, 1), gpt5, context("{\"cwd\":\"C:\\\\code\\\\app\"}"),
        last_only(1, 1, 0, 1), context("{\"model\":\"\",\"cwd\":\"/home/u/\"}"),
        context("{\"model\":7,\"cwd\":null}"), last_only(2, 1, 0, 1)},
       {"unknown  1/0/1 +0", "gpt-5 app 1/0/1 +1", "  1/0/1 +2"}},
      {"service tier records switch the rest of the file",
       {gpt5, tier("\"priority\""), last_only(0, 1, 0, 1), tier("\"Fast\""), last_only(1, 1, 0, 1),
        tier("\"fast\""), tier("null"), last_only(2, 1, 0, 1)},
       {"gpt-5-fast webapp 1/0/1 +0", "gpt-5 webapp 1/0/1 +1", "gpt-5-fast webapp 1/0/1 +2"}},
      {"fast default: the suffix once",
       {last_only(0, 1, 0, 1), context("{\"model\":\"gpt-5.4-fast\"}"), last_only(1, 1, 0, 1),
        context("{\"model\":\"fast\"}"), last_only(2, 1, 0, 1)},
       {"unknown-fast  1/0/1 +0", "gpt-5.4-fast  1/0/1 +1", "fast-fast  1/0/1 +2"},
       true},
  };
  for (const Case& c : cases) EXPECT_EQ(read_lines(c.lines, c.fast_default), c.events) << c.name;
}

TEST(rollout, file_is_prefiltered_and_named_by_its_session) {
  TempDir dir;
  const std::string uuid = "0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5b";
  const std::string path = dir.path() + "/rollout-2025-03-07T10-00-00-" + uuid + ".jsonl";
  std::string crlf = totals(2, 130, 0, 12);
  crlf.insert(crlf.size() - 1, "\r");
  // Escaped, the record kind fails the prefilter, so the line is never parsed.
  const std::string escaped = line(
      1, "event_msg",
      "{\"type\":\"token\\u005fcount\",\"info\":{\"last_token_usage\":" + usage(1000, 0, 0) + "}}");
  write_file(path, totals(0, 100, 0, 10) + escaped + crlf + "{}");
  RunOptions options;
  options.view = ReportView::session;
  LineReader reader;
  const ReportState state = read_rollout_file(path, options, false, reader);
  ASSERT_EQ(state.groups.size(), 1u);
  EXPECT_EQ(state.groups.begin()->second.label, uuid);
  EXPECT_EQ(state.agent_tokens[1], 142u);
  EXPECT_TRUE(
      read_rollout_file(dir.path() + "/missing.jsonl", options, false, reader).groups.empty());
}

}  // namespace
