// The hostile-input suite's harness: a home holding a small well-formed baseline, the run with
// the suite's fixed environment and its measurement, and the expected report, which is the
// baseline's own report plus the rows a hostile artefact legitimately adds. The cases are in
// the other hostile_*_test.cpp files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "e2e/hostile_home.h"

using namespace std::string_literals;

std::string claude_root(const std::string& home) {
  return home + "/.claude/projects";
}

std::string codex_root(const std::string& home) {
  return home + "/.codex/sessions";
}

std::string rollout_name(int n) {
  char uuid[40];
  std::snprintf(uuid, sizeof uuid, "0199c0de-0000-4000-8000-%012x", static_cast<unsigned>(n));
  return "rollout-2025-04-01T00-00-00-"s + uuid + ".jsonl";
}

std::string meta_line(const std::string& timestamp) {
  return R"({"timestamp":")" + timestamp +
         R"(","type":"session_meta","payload":{"originator":"cli"}})";
}

std::string context_line(const std::string& timestamp, const std::string& model,
                         const std::string& cwd) {
  return R"({"timestamp":")" + timestamp + R"(","type":"turn_context","payload":{"model":")" +
         model + R"(","cwd":")" + cwd + R"("}})";
}

std::string usage_json(std::uint64_t input, std::uint64_t cached, std::uint64_t output) {
  return R"({"input_tokens":)" + std::to_string(input) + R"(,"cached_input_tokens":)" +
         std::to_string(cached) + R"(,"output_tokens":)" + std::to_string(output) + "}";
}

std::string token_line(const std::string& timestamp, const std::string& info_members) {
  return R"({"timestamp":")" + timestamp +
         R"(","type":"event_msg","payload":{"type":"token_count","info":{)" + info_members + "}}}";
}

void write_baseline(const std::string& home) {
  write_file(
      claude_root(home) + "/-Users-dev-code-webapp/base.jsonl",
      R"({"type":"user","message":{"role":"user","content":"hi"},"timestamp":"2025-03-07T18:20:00.000Z","sessionId":"base","cwd":"/Users/dev/code/webapp"}
{"type":"assistant","message":{"id":"msg_1","model":"claude-opus-4-1-20250805","usage":{"input_tokens":1200,"output_tokens":3400,"cache_read_input_tokens":560000}},"requestId":"req_1","timestamp":"2025-03-07T18:22:05.123Z","sessionId":"base","cwd":"/Users/dev/code/webapp"}
{"type":"assistant","message":{"id":"msg_2","model":"claude-sonnet-4-5-20250929","usage":{"input_tokens":800,"output_tokens":12000,"cache_read_input_tokens":1250000}},"requestId":"req_2","timestamp":"2025-03-08T09:00:00Z","sessionId":"base","cwd":"/Users/dev/code/webapp"}
)");
  write_file(
      codex_root(home) +
          "/2025/03/07/rollout-2025-03-07T13-00-00-0199a1b2-c3d4-4e5f-a7b8-c9d0e1f2a3b4.jsonl",
      meta_line("2025-03-07T13:00:00.000Z") + "\n" +
          context_line("2025-03-07T13:00:01.000Z", "gpt-5-codex", "/Users/dev/code/api") + "\n" +
          token_line("2025-03-07T13:26:40.000Z",
                     R"("total_token_usage":)" + usage_json(362000, 310000, 8100)) +
          "\n");
}

namespace {

// The harness's peak_rss_kib is the child's ru_maxrss, which also counts the test process's own
// pages that the child held between fork and exec: several hundred MiB under a sanitizer. GNU
// time, itself a small process, forks meterly and reports meterly's own peak.
bool have_gnu_time() {
  static const bool present = [] {
    if (access("/usr/bin/time", X_OK) != 0) return false;
    RunSpec probe;
    probe.env = {{"PATH", "/usr/bin:/bin"}};
    return run_program({"/usr/bin/time", "-f", "%M", "-o", "/dev/null", "/bin/true"}, probe)
               .status == 0;
  }();
  return present;
}

}  // namespace

ProcessResult run_hostile(const std::string& home, std::vector<std::string> args) {
  RunSpec spec;
  spec.args = std::move(args);
  spec.env = {{"HOME", home}, {"TZ", "UTC"}, {"PATH", "/usr/bin:/bin"}, {"NO_COLOR", "1"}};
  spec.timeout_seconds = 60;
  if (!have_gnu_time()) return run_meterly(spec);
  TempDir scratch;
  const std::string rss_file = scratch.path() + "/peak-rss";
  std::vector<std::string> argv = {"/usr/bin/time", "-f", "%M", "-o", rss_file};
  // The harness can only kill its own child; timeout(1) kills a hung meterly itself, and time
  // then reports it as killed by signal 9.
  if (access("/usr/bin/timeout", X_OK) == 0) {
    argv.insert(argv.end(), {"/usr/bin/timeout", "-s", "KILL", "60"});
    spec.timeout_seconds = 70;
  }
  argv.push_back(METERLY_BINARY);
  argv.insert(argv.end(), spec.args.begin(), spec.args.end());
  ProcessResult result = run_program(argv, spec);
  // The figure is the file's last line; a line before it tells of a failing status or signal.
  std::string text = read_file(rss_file);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  result.peak_rss_kib = std::atol(text.substr(text.rfind('\n') + 1).c_str());
  return result;
}

const std::string& baseline_report() {
  static const std::string report = [] {
    TempDir home;
    write_baseline(home.path());
    return run_hostile(home.path()).out;
  }();
  return report;
}

std::string report_with(const std::vector<ExtraGroup>& extra) {
  const std::string tail = "\n  ]\n}\n";
  std::string report = baseline_report();
  if (report.size() < tail.size() || report.compare(report.size() - tail.size(), tail.size(), tail))
    return "(the baseline report does not end like a JSON report)";
  report.resize(report.size() - tail.size());
  for (const ExtraGroup& g : extra) {
    report += ",\n    {\n      \"period\": \"" + g.period + "\",\n      \"agent\": \"" + g.agent +
              "\",\n      \"project\": \"" + g.project + "\",\n      \"models\": [\"" + g.model +
              "\"],\n      \"input\": " + std::to_string(g.input) +
              ",\n      \"output\": " + std::to_string(g.output) +
              ",\n      \"cache\": " + std::to_string(g.cache) +
              ",\n      \"cost\": 0.000000,\n      \"lastActive\": \"" + g.last_active +
              "\"\n    }";
  }
  return report + tail;
}

long rss_limit_kib(long plain_limit_kib) {
#if defined(__SANITIZE_ADDRESS__)
  constexpr bool kSanitized = true;
#elif defined(__has_feature)
  constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
  constexpr bool kSanitized = false;
#endif
  // Shadow memory, redzones and quarantine grow with what the program allocates.
  return kSanitized ? plain_limit_kib * 2 + 128 * 1024 : plain_limit_kib;
}

void expect_clean_run(const std::string& name, const ProcessResult& result, long rss_limit) {
  const long limit = rss_limit_kib(rss_limit);
  std::printf("[ hostile  ] %-40s %7.3f s  %8.1f MiB peak\n", name.c_str(), result.wall_seconds,
              static_cast<double>(result.peak_rss_kib) / 1024.0);
  std::fflush(stdout);
  testing::Test::RecordProperty(name + "_ms",
                                std::to_string(static_cast<long>(result.wall_seconds * 1000)));
  testing::Test::RecordProperty(name + "_rss_kib", std::to_string(result.peak_rss_kib));
  if (result.status == 128 + 9 && result.wall_seconds >= 59) {
    ADD_FAILURE() << name << ": meterly hung and was killed after 60 s";
  } else if (result.status > 128) {
    ADD_FAILURE() << name << ": meterly died of signal " << result.status - 128
                  << "; stderr: " << result.err;
  } else {
    EXPECT_EQ(result.status, 0) << name << ": exit status; stderr: " << result.err;
  }
  EXPECT_EQ(result.err, "") << name << ": meterly wrote to standard error";
  EXPECT_LT(result.peak_rss_kib, limit) << name << ": peak memory in KiB";
}

void check_home(const std::string& name, const std::string& home,
                const std::vector<std::string>& expected, long rss_limit) {
  const ProcessResult json = run_hostile(home);
  expect_clean_run(name, json, rss_limit);
  std::size_t matched = 0;
  while (matched < expected.size() && json.out != expected[matched]) ++matched;
  if (matched == expected.size()) {
    EXPECT_EQ(json.out, expected.front()) << name << ": JSON report";
  } else if (expected.size() > 1) {
    std::printf("[ hostile  ] %s gave allowed outcome %zu of %zu\n", name.c_str(), matched + 1,
                expected.size());
  }
  // The table prints the same hostile texts through other code (widths, colours, shortening).
  expect_clean_run(name + " (table)", run_hostile(home, {"session", "--all"}), rss_limit);
}

namespace {

TEST(hostile, baseline_alone_gives_its_three_rows) {
  const std::string& report = baseline_report();
  EXPECT_EQ(report.rfind("{\n  \"command\": \"daily\",\n", 0), 0u) << report;
  std::size_t rows = 0;
  for (std::size_t at = report.find("\"period\""); at != std::string::npos;
       at = report.find("\"period\"", at + 1))
    ++rows;
  EXPECT_EQ(rows, 3u) << report;
}

}  // namespace
