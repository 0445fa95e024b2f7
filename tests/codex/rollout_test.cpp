#include "codex/rollout.h"

#include <gtest/gtest.h>

#include "codex/rollout_files.h"

namespace {

// A rollout line at 2025-03-07T10:00:00Z plus `ms` (below one minute).
std::string line(int ms, const std::string& type, const std::string& payload) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "2025-03-07T10:00:%02d.%03dZ", ms / 1000, ms % 1000);
  return std::string("{\"timestamp\":\"") + stamp + "\",\"type\":\"" + type +
         "\",\"payload\":" + payload + "}\n";
}
std::string usage(int in, int cached, int out) {
  return "{\"input_tokens\":" + std::to_string(in) +
         ",\"cached_input_tokens\":" + std::to_string(cached) +
         ",\"output_tokens\":" + std::to_string(out) + "}";
}
std::string report(int ms, const std::string& info) {
  return line(ms, "event_msg", "{\"type\":\"token_count\",\"info\":" + info + "}");
}
std::string totals(int ms, int in, int cached, int out, const std::string& last = "") {
  return report(ms, "{\"total_token_usage\":" + usage(in, cached, out) +
                        (last.empty() ? "" : ",\"last_token_usage\":" + last) + "}");
}
std::string last_only(int ms, int in, int cached, int out) {
  return report(ms, "{\"last_token_usage\":" + usage(in, cached, out) + "}");
}
std::string context(const std::string& payload) {
  return line(0, "turn_context", payload);
}
std::string review(const std::string& marker) {
  return line(0, "event_msg", "{\"type\":\"" + marker + "_review_mode\"}");
}
std::string tier(const std::string& value) {
  return line(0, "event_msg",
              "{\"type\":\"thread_settings_applied\",\"thread_settings\":{\"service_tier\":" +
                  value + "}}");
}

// Each event as "model project input/cache_read/output +milliseconds after the base time".
std::vector<std::string> read_lines(const std::vector<std::string>& lines, bool fast_default) {
  RolloutState state;
  state.fast = fast_default;
  std::vector<std::string> seen;
  for (const std::string& text : lines) {
    const std::optional<UsageEvent> e = read_rollout_line(state, text);
    if (!e) continue;
    seen.push_back(e->model + " " + e->project + " " + std::to_string(e->input) + "/" +
                   std::to_string(e->cache_read) + "/" + std::to_string(e->output) + " +" +
                   std::to_string(e->event_time_ms - 1741341600000));
  }
  return seen;
}

}  // namespace

TEST(rollout, per_turn_amounts_model_and_fast_tier) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    std::vector<std::string> events;
    bool fast_default = false;
  };
  const Case cases[] = {
      {"first totals count whole; equal totals nothing, whatever the last turn says",
       {totals(0, 100, 40, 10), totals(1, 100, 40, 10, usage(5, 0, 5))},
       {"unknown  60/40/10 +0"}},
      {"totals going down: the last turn, else the difference floored at zero, cached cut",
       {totals(0, 100, 20, 10), totals(1, 50, 0, 5, usage(7, 2, 3)), totals(2, 40, 30, 30)},
       {"unknown  80/20/10 +0", "unknown  5/2/3 +1", "unknown  0/0/25 +2"}},
      {"last turn only keeps the baseline; all zero is no event",
       {totals(0, 100, 0, 10), last_only(1, 5, 9, 5), last_only(2, 0, 9, 0), totals(3, 150, 0, 20)},
       {"unknown  100/0/10 +0", "unknown  0/5/5 +1", "unknown  50/0/10 +3"}},
      {"a second session_meta at S: S+500 and S+1400 only move the baseline, S+2500 counts",
       {line(0, "session_meta", "{}"), totals(100, 10, 0, 1), line(1000, "session_meta", "{}"),
        totals(1500, 100, 0, 10), totals(2400, 200, 0, 20), totals(3500, 260, 0, 25)},
       {"unknown  10/0/1 +100", "unknown  60/0/5 +3500"}},
      {"service tier records switch the rest of the file; null leaves it",
       {context("{\"model\":\"gpt-5\",\"cwd\":\"/home/u/webapp\"}"), tier("\"priority\""),
        last_only(0, 1, 0, 1), tier("null"), last_only(1, 1, 0, 1), tier("\"Fast\""),
        last_only(2, 1, 0, 1)},
       {"gpt-5-fast webapp 1/0/1 +0", "gpt-5-fast webapp 1/0/1 +1", "gpt-5 webapp 1/0/1 +2"}},
      {"a review span without turn_context holds a sub-agent's reports: none counts or moves "
       "the baseline",
       {context("{\"model\":\"m\"}"), totals(0, 100, 0, 10), review("entered"), totals(1, 5, 0, 1),
        last_only(2, 3, 0, 1), review("exited"), totals(3, 100, 0, 10), totals(4, 150, 0, 20)},
       {"m  100/0/10 +0", "m  50/0/10 +4"}},
      {"a turn_context just before the marker, or inside the span, makes the review's own",
       {context("{\"model\":\"m\"}"), review("entered"), totals(1, 5, 0, 1), review("exited"),
        review("entered"), totals(2, 9, 0, 2), context("{}"), totals(3, 12, 0, 4)},
       {"m  5/0/1 +1", "m  7/0/3 +3"}},
      {"a span left open ends at the next turn_context; an unusable time changes nothing",
       {totals(0, 100, 0, 10), review("entered"), totals(1, 5, 0, 1), context("{}"),
        R"({"timestamp":"x","type":"event_msg","payload":{"type":"token_count","info":{}}})",
        review("entered"), totals(2, 130, 0, 15)},
       {"unknown  100/0/10 +0", "unknown  30/0/5 +2"}},
      {"session_meta's cwd names the project until a turn_context names one",
       {line(0, "session_meta", "{\"cwd\":\"/w/old\"}"), last_only(1, 1, 0, 1),
        context("{\"cwd\":\"/w/new\"}"), line(2, "session_meta", "{\"cwd\":\"/w/x\"}"),
        last_only(3000, 1, 0, 1)},
       {"unknown old 1/0/1 +1", "unknown new 1/0/1 +3000"}},
      {"fast default: the suffix once",
       {last_only(0, 1, 0, 1), context("{\"model\":\"gpt-5.4-fast\"}"), last_only(1, 1, 0, 1),
        context("{\"model\":\"fast\"}"), last_only(2, 1, 0, 1)},
       {"unknown-fast  1/0/1 +0", "gpt-5.4-fast  1/0/1 +1", "fast-fast  1/0/1 +2"},
       true},
  };
  for (const Case& c : cases) EXPECT_EQ(read_lines(c.lines, c.fast_default), c.events) << c.name;
}

TEST(rollout_files, session_key_is_the_trailing_uuid_else_the_stem) {
  const std::pair<std::string, std::string> cases[] = {
      {"x-0199A2B3-C4D5-7E6F-8A9B-0C1D2E3F4A5B.jsonl", "0199A2B3-C4D5-7E6F-8A9B-0C1D2E3F4A5B"},
      {"r-0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5g.jsonl", "r-0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5g"},
      {"r-0199a2b3-c4d5-7e6f8-a9b-0c1d2e3f4a5b.jsonl", "r-0199a2b3-c4d5-7e6f8-a9b-0c1d2e3f4a5b"},
      {"/h/0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5b/notes.v2.jsonl", "notes.v2"},
      {"/h/bad\xff-0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5b.jsonl", ""}};
  for (const auto& [path, key] : cases) EXPECT_EQ(file_session_key(path), key) << path;
}

TEST(rollout_files, order_sorts_by_components_and_keeps_the_first_file_of_a_session) {
  using Paths = std::vector<std::string>;
  // A separator ends a component, so a/b sorts before a-b.
  EXPECT_EQ(order_rollout_files({"/r/a-b/x", "/r/ab/y", "/r/a/b/z"}),
            (Paths{"/r/a/b/z", "/r/a-b/x", "/r/ab/y"}));
  EXPECT_EQ(order_rollout_files({"/r/b/s.jsonl", "/r/./a//s.jsonl"}), Paths{"/r/./a//s.jsonl"});
}
