#include "codex/rollout.h"

#include <gtest/gtest.h>

#include "codex/codex_logs.h"
#include "codex/rollout_files.h"
#include "report/order.h"
#include "sources/discovery.h"
#include "support/process.h"

namespace {

const std::string kUuid = "0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5b";
constexpr std::int64_t kBaseMs = 1741341600000;

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
std::string tier(const std::string& value) {
  return line(0, "event_msg",
              "{\"type\":\"thread_settings_applied\",\"thread_settings\":{\"service_tier\":" +
                  value + "}}");
}

// Each event as "model project input/cache_read/output +milliseconds after the base time".
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

// The rows of a pass as "label project model input/output", with costs to the last bit.
std::string describe(const ReportState& state, ReportView view) {
  std::string out;
  for (const ReportGroup* g : order_groups(state, view)) {
    char cost[32];
    std::snprintf(cost, sizeof cost, "%a", g->cost_usd);
    out += g->label + " " + g->project + " " + *g->models.begin() + " " + std::to_string(g->input) +
           "/" + std::to_string(g->output) + (g->cost_usd > 0 ? std::string(" ") + cost : "") +
           "\n";
  }
  return out;
}

}  // namespace

TEST(rollout, per_turn_amounts_model_and_fast_tier) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    std::vector<std::string> events;
    bool fast_default = false;
  };
  const std::string meta = "{\"id\":\"x\"}";
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
       {line(0, "session_meta", meta), totals(100, 10, 0, 1), line(1000, "session_meta", meta),
        totals(1500, 100, 0, 10), totals(2400, 200, 0, 20), totals(3500, 260, 0, 25)},
       {"unknown  10/0/1 +100", "unknown  60/0/5 +3500"}},
      {"service tier records switch the rest of the file; null leaves it",
       {context("{\"model\":\"gpt-5\",\"cwd\":\"/home/u/webapp\"}"), tier("\"priority\""),
        last_only(0, 1, 0, 1), tier("null"), last_only(1, 1, 0, 1), tier("\"Fast\""),
        last_only(2, 1, 0, 1)},
       {"gpt-5-fast webapp 1/0/1 +0", "gpt-5-fast webapp 1/0/1 +1", "gpt-5 webapp 1/0/1 +2"}},
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
      {"/h/" + kUuid + "/notes.v2.jsonl", "notes.v2"},
      {"/h/bad\xff-" + kUuid + ".jsonl", ""}};
  for (const auto& [path, key] : cases) EXPECT_EQ(file_session_key(path), key) << path;
}

TEST(rollout_files, order_sorts_by_components_and_keeps_the_first_file_of_a_session) {
  using Paths = std::vector<std::string>;
  // A separator ends a component, so a/b sorts before a-b.
  EXPECT_EQ(order_rollout_files({"/r/a-b/x", "/r/ab/y", "/r/a/b/z"}),
            (Paths{"/r/a/b/z", "/r/a-b/x", "/r/ab/y"}));
  EXPECT_EQ(order_rollout_files({"/r/b/s.jsonl", "/r/./a//s.jsonl"}), Paths{"/r/./a//s.jsonl"});
}

TEST(codex_logs, one_file_per_session_each_starting_from_the_fast_default) {
  TempDir dir;
  const std::string codex = dir.path() + "/home/.codex";
  const std::string name = "/rollout-2025-03-07T10-00-00-" + kUuid.substr(0, 35);
  write_file(codex + "/config.toml", "service_tier = \"fast\"\n");
  write_file(codex + "/archived_sessions" + name + "1.jsonl",
             context("{\"model\":\"m\",\"cwd\":\"/src/archived\"}") + last_only(0, 100, 0, 10));
  write_file(codex + "/sessions/2025/03/07" + name + "1.jsonl",
             context("{\"model\":\"m\",\"cwd\":\"/src/live\"}") + last_only(0, 500, 0, 50));
  write_file(codex + "/sessions/2025/03/07" + name + "2.jsonl",
             tier("\"flex\"") + last_only(1, 20, 0, 2));
  write_file(codex + "/sessions/2025/03/08" + name + "3.jsonl", last_only(2, 30, 0, 3));
  Environment env;
  env.home = dir.path() + "/home";
  RunOptions options;
  options.view = ReportView::session;
  WorkerPool pool(2);
  const std::string id = kUuid.substr(0, 35);
  EXPECT_EQ(
      describe(read_codex_logs(find_codex_files(env), options, env, pool), options.view),
      id + "3  unknown-fast 30/3\n" + id + "2  unknown 20/2\n" + id + "1 archived m-fast 100/10\n");
}

TEST(codex_logs, files_fold_in_list_order_whatever_the_number_of_workers) {
  TempDir dir;
  std::vector<std::string> files;
  // One daily group whose cost sum and first project depend on the order of folding.
  for (int n = 0; n < 40; ++n) {
    files.push_back(dir.path() + "/" + std::to_string(n % 7) + "/" + std::to_string(100 + n));
    write_file(files.back(),
               context("{\"model\":\"gpt-5\",\"cwd\":\"/p/" + std::to_string(n) + "\"}") +
                   last_only(0, 1000 * n + 7, 0, 17 * n + 1));
  }
  const Environment env;
  const RunOptions options;
  WorkerPool one(1);
  WorkerPool three(3);
  const std::string expected = describe(read_codex_logs(files, options, env, one), options.view);
  EXPECT_TRUE(expected.starts_with("2025-03-07 0 gpt-5 780280/13300 ")) << expected;
  for (int round = 0; round < 5; ++round)
    EXPECT_EQ(describe(read_codex_logs(files, options, env, three), options.view), expected);
}
