#include "codex/codex_logs.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "sources/discovery.h"
#include "support/process.h"

namespace {

std::string rollout_name(int n) {
  return "rollout-2025-03-07T10-00-00-0199a2b3-c4d5-7e6f-8a9b-" + std::to_string(100000000000 + n) +
         ".jsonl";
}

std::string record(int second, const std::string& type, const std::string& payload) {
  return "{\"timestamp\":\"2025-03-07T10:00:" + std::to_string(10 + second) + "Z\",\"type\":\"" +
         type + "\",\"payload\":" + payload + "}\n";
}
std::string context(const std::string& model, const std::string& cwd) {
  return record(0, "turn_context", "{\"model\":\"" + model + "\",\"cwd\":\"" + cwd + "\"}");
}
std::string report(std::uint64_t input, std::uint64_t output, int second = 1) {
  return record(second, "event_msg",
                "{\"type\":\"token_count\",\"info\":{\"last_token_usage\":{\"input_tokens\":" +
                    std::to_string(input) + ",\"output_tokens\":" + std::to_string(output) + "}}}");
}

// Every group's fields, sorted, in a form that compares exactly (costs in hexadecimal).
std::vector<std::string> describe(const ReportState& state) {
  std::vector<std::string> rows;
  for (const auto& [key, g] : state.groups) {
    char cost[32];
    std::snprintf(cost, sizeof cost, "%a", g.cost_usd);
    rows.push_back(g.label + " " + g.project + " " + *g.models.begin() + " " +
                   std::to_string(g.input) + "/" + std::to_string(g.output) +
                   (g.cost_usd > 0 ? std::string(" ") + cost : ""));
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

TEST(codex_logs, one_file_per_session_and_fast_default_per_file) {
  TempDir dir;
  const std::string codex = dir.path() + "/home/.codex";
  write_file(codex + "/config.toml", "service_tier = \"fast\"\n");
  write_file(codex + "/archived_sessions/" + rollout_name(1),
             context("m", "/src/archived") + report(100, 10));
  write_file(codex + "/sessions/2025/03/07/" + rollout_name(1),
             context("m", "/src/live") + report(500, 50));
  write_file(codex + "/sessions/2025/03/07/" + rollout_name(2),
             record(0, "event_msg",
                    "{\"type\":\"thread_settings_applied\",\"thread_settings\":{\"service_tier\":"
                    "\"flex\"}}") +
                 report(20, 2));
  write_file(codex + "/sessions/2025/03/08/" + rollout_name(3), report(30, 3));

  Environment env;
  env.home = dir.path() + "/home";
  RunOptions options;
  options.view = ReportView::session;
  WorkerPool pool(2);
  const std::string id = "0199a2b3-c4d5-7e6f-8a9b-10000000000";
  EXPECT_EQ(describe(read_codex_logs(find_codex_files(env), options, env, pool)),
            (std::vector<std::string>{id + "1 archived m-fast 100/10", id + "2  unknown 20/2",
                                      id + "3  unknown-fast 30/3"}));
}

TEST(codex_logs, result_does_not_depend_on_the_number_of_workers) {
  TempDir dir;
  std::vector<std::string> files;
  // Many files folding into two daily groups, whose cost sums depend on the order of addition.
  for (int n = 0; n < 60; ++n) {
    std::string body = context(n % 3 ? "gpt-5" : "gpt-5-mini", "/p/" + std::to_string(n));
    for (int k = 1; k <= 5; ++k) body += report(1000u * n + 7u * k + 1, 17u * n + k, k);
    files.push_back(dir.path() + "/" + std::to_string(n % 7) + "/" + rollout_name(n));
    write_file(files.back(), body);
  }
  const Environment env;
  const RunOptions options;
  WorkerPool one(1);
  WorkerPool three(3);
  const std::vector<std::string> expected = describe(read_codex_logs(files, options, env, one));
  EXPECT_EQ(expected.size(), 2u);
  for (int round = 0; round < 5; ++round)
    EXPECT_EQ(describe(read_codex_logs(files, options, env, three)), expected);
}

}  // namespace
