// Shared pieces of the hostile-input suite: a temporary home that holds a small well-formed
// baseline, the run with the suite's fixed environment, and the expected report, which is the
// baseline's own report plus the rows a hostile artefact legitimately adds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/process.h"

/// Peak memory allowed to a run whose lines need no large buffer, before any sanitizer overhead.
constexpr long kSmallRssKib = 64 * 1024;

/// One daily row that a hostile artefact adds; texts are written as the JSON report prints them.
struct ExtraGroup {
  std::string period;
  std::string agent;
  std::string project;
  std::string model;
  std::uint64_t input = 0;
  std::uint64_t output = 0;
  std::uint64_t cache = 0;
  std::string last_active;
};

/// HOME/.claude/projects, the default Claude Code root of a home.
std::string claude_root(const std::string& home);

/// HOME/.codex/sessions, the default Codex root of a home.
std::string codex_root(const std::string& home);

/// A rollout file name whose session UUID is unique to `n`, so files never de-duplicate each other.
std::string rollout_name(int n);

/// Writes the baseline: one transcript with two assistant turns and one Codex rollout.
void write_baseline(const std::string& home);

/// Runs meterly on `home` with HOME, TZ=UTC, PATH and NO_COLOR only, killed after 60 s.
ProcessResult run_hostile(const std::string& home,
                          std::vector<std::string> args = {"daily", "--json"});

/// The daily JSON report of a home holding the baseline alone, computed once per process.
const std::string& baseline_report();

/// The baseline report with `extra` appended after its rows, in the order given.
std::string report_with(const std::vector<ExtraGroup>& extra);

/// Memory bound for a run, widened by the sanitizer's own overhead in sanitized builds.
long rss_limit_kib(long plain_limit_kib);

/// Expects a clean end (status 0, silent standard error, within `rss_limit`) and records the
/// run's wall time and peak memory under `name` for the test log.
void expect_clean_run(const std::string& name, const ProcessResult& result, long rss_limit);

/// Runs the daily JSON report and the session table on `home`; both must end cleanly, and the
/// JSON must be one of `expected` (usually a single text).
void check_home(const std::string& name, const std::string& home,
                const std::vector<std::string>& expected, long rss_limit = kSmallRssKib);

/// Codex rollout lines, with the same shapes Codex writes.
std::string meta_line(const std::string& timestamp);
std::string context_line(const std::string& timestamp, const std::string& model,
                         const std::string& cwd);
std::string usage_json(std::uint64_t input, std::uint64_t cached, std::uint64_t output);
std::string token_line(const std::string& timestamp, const std::string& info_members);
