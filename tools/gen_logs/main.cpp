// gen_logs: writes a synthetic, deterministic home directory of both agents' logs, for the
// benchmarks and the end-to-end tests.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "gen_logs.h"

namespace {

constexpr std::string_view kHelp = R"(Usage: gen_logs --out DIR [options]

Writes DIR/home with Claude Code transcripts (.claude/projects and .config/claude/projects),
Codex rollouts (.codex/sessions/YYYY/MM/DD, .codex/archived_sessions) and .codex/config.toml.
The same options and seed give the same bytes on every machine.

  --out DIR             where to write; DIR/home must not exist yet
  --seed N              seed of every random choice (default 1)
  --size-mb M           about M MiB of logs in all, decimals allowed (default 10)
  --claude-share F      share of the bytes for Claude Code, 0 to 1 (default 0.6)
  --start YYYY-MM-DD    first day of the logs, UTC (default 2026-03-02)
  --days N              days the sessions spread over (default 90)
  --service-tier T      top-level service_tier of config.toml; "none" leaves it out (default flex)
  --small-files N       extra ~2 KB files per agent, for the per-file cost (default 0)

Shapes of real logs, each a share from 0 to 1:
  --resumed F           Claude Code sessions resumed in a new file that copies earlier
                        answers (default 0.15)
  --rewrites F          Claude Code sessions rewritten in place: a new root entry, then copies
                        of earlier entries under one timestamp, answers without requestId (default 0)
  --review-spans F      Codex rollouts with a /review span: half inside the conversation
                        (0.35 to 0.50), half copied from a review sub-agent (0.51 to 0.77) (default 0)
  --no-turn-context F   Codex rollouts of versions without turn_context (default 0)

Awkward input:
  --malformed F         share of lines preceded by a broken one (cut, not JSON, bad UTF-8,
                        empty, out-of-range numbers) (default 0)
  --truncated F         share of files whose last line is cut off (default 0)
  --crlf F              share of files with CRLF line endings (default 0)
  --huge-lines N        tool results of --huge-line-mb MiB each, shared by both agents (default 0)
  --huge-line-mb M      size of those lines (default 8)
  --awkward             all of the above at modest rates: --rewrites 0.3 --review-spans 0.3
                        --no-turn-context 0.15 --malformed 0.002 --truncated 0.05 --crlf 0.05
                        --huge-lines 2 --huge-line-mb 3 (later options override)

  -h, --help            this text
)";

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "gen_logs: %s (see --help)\n", message.c_str());
  std::exit(2);
}

std::int64_t days_from_civil(std::int64_t year, std::int64_t month, std::int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yoe = year - era * 400;
  const std::int64_t doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

double parse_number(std::string_view option, const std::string& text, double lo, double hi) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(value >= lo && value <= hi)) {
    fail("bad value for " + std::string(option) + ": " + text);
  }
  return value;
}

// The options that take a share from 0 to 1, kept in parts per million.
constexpr std::array<std::pair<std::string_view, std::uint32_t gen::Options::*>, 8> kShares = {{
    {"--claude-share", &gen::Options::claude_share},
    {"--resumed", &gen::Options::resumed},
    {"--rewrites", &gen::Options::rewrites},
    {"--review-spans", &gen::Options::review_spans},
    {"--no-turn-context", &gen::Options::no_turn_context},
    {"--malformed", &gen::Options::malformed},
    {"--truncated", &gen::Options::truncated},
    {"--crlf", &gen::Options::crlf},
}};

// The options that take a whole number, with their upper bound (and MiB counted in bytes).
struct Count {
  std::string_view name;
  std::uint64_t gen::Options::*field;
  double max;
  double unit;
};
constexpr std::array<Count, 5> kCounts = {{
    {"--seed", &gen::Options::seed, 1e15, 1},
    {"--size-mb", &gen::Options::size_bytes, 1 << 20, 1 << 20},
    {"--small-files", &gen::Options::small_files, 1e7, 1},
    {"--huge-lines", &gen::Options::huge_lines, 1000, 1},
    {"--huge-line-mb", &gen::Options::huge_line_bytes, 4096, 1 << 20},
}};

std::int64_t parse_start(const std::string& value) {
  int year = 0, month = 0, day = 0;
  if (value.size() != 10 || std::sscanf(value.c_str(), "%4d-%2d-%2d", &year, &month, &day) != 3 ||
      month < 1 || month > 12 || day < 1 || day > 31) {
    fail("bad date for --start: " + value);
  }
  return days_from_civil(year, month, day);
}

gen::Options parse(int argc, char** argv) {
  gen::Options options;
  options.start_day = days_from_civil(2026, 3, 2);
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (name == "-h" || name == "--help") {
      std::fwrite(kHelp.data(), 1, kHelp.size(), stdout);
      std::exit(0);
    }
    if (name == "--awkward") {
      options.rewrites = options.review_spans = 300'000;
      options.no_turn_context = 150'000;
      options.malformed = 2'000;
      options.truncated = options.crlf = 50'000;
      options.huge_lines = 2;
      options.huge_line_bytes = 3u << 20;
      continue;
    }
    if (i + 1 >= argc) fail("missing value for " + std::string(name));
    const std::string value = argv[++i];
    const auto share = std::find_if(kShares.begin(), kShares.end(),
                                    [&](const auto& entry) { return entry.first == name; });
    const auto count = std::find_if(kCounts.begin(), kCounts.end(),
                                    [&](const Count& entry) { return entry.name == name; });
    if (share != kShares.end()) {
      options.*(share->second) =
          static_cast<std::uint32_t>(std::llround(parse_number(name, value, 0, 1) * 1e6));
    } else if (count != kCounts.end()) {
      options.*(count->field) = static_cast<std::uint64_t>(
          std::llround(parse_number(name, value, 0, count->max) * count->unit));
    } else if (name == "--out") {
      options.out = value;
    } else if (name == "--start") {
      options.start_day = parse_start(value);
    } else if (name == "--days") {
      options.days = std::llround(parse_number(name, value, 1, 100'000));
    } else if (name == "--service-tier") {
      options.service_tier = value;
    } else {
      fail("unknown option " + std::string(name));
    }
  }
  if (options.out.empty()) fail("--out is required");
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  const gen::Options options = parse(argc, argv);
  const std::filesystem::path home = std::filesystem::path(options.out) / "home";
  std::error_code error;
  if (std::filesystem::exists(home, error)) {
    // Writing over another seed's files would mix two homes.
    fail(home.string() + " already exists; remove it first");
  }
  const std::uint64_t claude_budget =
      options.size_bytes / 1'000'000 * options.claude_share +
      options.size_bytes % 1'000'000 * options.claude_share / 1'000'000;
  const std::uint64_t bytes = gen::write_claude_logs(options, claude_budget) +
                              gen::write_codex_logs(options, options.size_bytes - claude_budget);
  std::printf("gen_logs: %llu bytes (%.1f MiB) under %s\n", static_cast<unsigned long long>(bytes),
              static_cast<double>(bytes) / (1024.0 * 1024.0), home.string().c_str());
  return 0;
}
