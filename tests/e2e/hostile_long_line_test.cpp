// Lines of 200 MiB. A line that no prefilter keeps must be passed over in bounded memory,
// whatever its length; one that is kept may cost about its own length, and no more.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "e2e/hostile_home.h"

namespace {

constexpr std::size_t kFillerBytes = std::size_t{200} << 20;

// A kept line is held whole once. Measured: the Claude Code reader peaks at the line plus about
// 3 MiB; the Codex reader at about 256 MiB, its buffer briefly holding old and new storage
// while it doubles from 128 to 256 MiB.
constexpr long kFillerKib = static_cast<long>(kFillerBytes / 1024);
constexpr long kClaudeKeptLineRssKib = kFillerKib + 16 * 1024;
constexpr long kCodexKeptLineRssKib = kFillerKib + 64 * 1024;

/// Writes `head`, kFillerBytes of filler, `tail` and a newline, a mebibyte at a time.
void write_long_line(const std::string& path, const std::string& head, const std::string& tail) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  const std::string chunk(std::size_t{1} << 20, 'a');
  file << head;
  for (std::size_t written = 0; written < kFillerBytes; written += chunk.size()) file << chunk;
  file << tail << '\n';
}

void expect_report(const std::string& name, const ProcessResult& result, const std::string& report,
                   long rss_limit) {
  expect_clean_run(name, result, rss_limit);
  EXPECT_EQ(result.out, report) << name << ": JSON report";
}

TEST(hostile, lines_of_200_mib) {
  {
    // One line with none of the keys either reader looks for, given to both readers at once.
    TempDir home;
    write_baseline(home.path());
    const std::string claude = claude_root(home.path()) + "/-Users-dev-long/long.jsonl";
    write_long_line(claude, R"({"type":"user","message":{"content":")", R"("}})");
    const std::string codex = codex_root(home.path()) + "/2025/04/10/" + rollout_name(30);
    std::filesystem::create_directories(std::filesystem::path(codex).parent_path());
    ASSERT_EQ(link(claude.c_str(), codex.c_str()), 0);
    expect_report("long_line_without_needle", run_hostile(home.path()), baseline_report(),
                  kSmallRssKib);
  }
  {
    // The needle stands after the filler, so the prefilter sees it only at the line's end.
    TempDir home;
    write_baseline(home.path());
    write_long_line(
        claude_root(home.path()) + "/-Users-dev-long/long.jsonl",
        R"({"type":"assistant","timestamp":"2025-04-10T00:00:00Z","cwd":"/w/long","message":{"content":")",
        R"(","model":"x-long","usage":{"input_tokens":11,"output_tokens":12}}})");
    expect_report("claude_long_line_with_needle", run_hostile(home.path()),
                  report_with({{"2025-04-10", "claude", "long", "x-long", 11, 12, 0,
                                "2025-04-10T00:00:00.000Z"}}),
                  kClaudeKeptLineRssKib);
  }
  {
    TempDir home;
    write_baseline(home.path());
    write_long_line(
        codex_root(home.path()) + "/2025/04/10/" + rollout_name(31),
        meta_line("2025-04-10T01:00:00Z") + "\n" +
            context_line("2025-04-10T01:00:01Z", "x-codex-long", "/w/long") + "\n" +
            R"({"timestamp":"2025-04-10T01:00:05Z","type":"event_msg","payload":{"type":"token_count","pad":")",
        R"(","info":{"total_token_usage":)" + usage_json(13, 0, 14) + "}}}");
    expect_report("codex_long_line_with_needle", run_hostile(home.path()),
                  report_with({{"2025-04-10", "codex", "long", "x-codex-long", 13, 14, 0,
                                "2025-04-10T01:00:05.000Z"}}),
                  kCodexKeptLineRssKib);
  }
}

}  // namespace
