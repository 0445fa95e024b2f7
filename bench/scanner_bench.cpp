// Throughput of the scanner's inner loops over lines shaped like real agent logs.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "json/scanner.h"
#include "util/search.h"

namespace {

// Source-like text as agents quote it: code, paths, quotes, tabs and some non-ASCII.
constexpr std::array<std::string_view, 14> kFragments = {
    "\treturn {\"stream_report\": token, \"count\": 1373, \"ok\": True}",
    "  # Ça marche — vérifié à la main ✅",
    "if err != nil { return fmt.Errorf(\"batch_record: %w\", err) }",
    "        const entry = await fetch(`/api/cursor_config?limit=74`);",
    "  path = \"C:\\Users\\dev\\encodeParser\\requestBatch.txt\"",
    "SELECT queue, count(*) FROM storeContext WHERE id > 2708 GROUP BY 1;",
    "\t\tlet state: Vec<String> = snapshot.iter().map(|s| s.to_string()).collect();",
    "    log.info(\"renderSearch done in %.2f ms\", elapsed)  # \"quoted\" 'single'",
    "        # 🚀 fast path for small inputs",
    "\t\tmsg = \"Проверка кэша перед записью — accountDecode\"",
    "def importEntry(self, tenant_widget: str) -> dict[str, Any]:",
    "\t\tpattern = re.compile(r\"^\\s*(\\w+)=(\\d+)$\")",
    "assert contextAccount(1684) == 3368, f\"{account!r}\"",
    "        }",
};

void append_escaped(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out.push_back(c);
    }
  }
}

// About `size` bytes of escaped source text, as the content of a JSON string.
std::string escaped_text(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::string out;
  while (out.size() < size) {
    append_escaped(out, kFragments[rng() % kFragments.size()]);
    out += rng() % 16 == 0 ? "\\u26a0\\ufe0f\\n" : "\\n";
  }
  return out;
}

std::string assistant_line() {
  return R"({"parentUuid":"94453091-39da-41ce-b38b-6720300786c3","isSidechain":false,)"
         R"("userType":"external","cwd":"/Users/dev/src/cli-search","sessionId":)"
         R"("f4daec77-aeeb-4d57-98d5-c3c7053fe573","version":"2.0.37","gitBranch":"main",)"
         R"("message":{"id":"msg_016tKcYTL54h1BhDskizoCPi","type":"message","role":"assistant",)"
         R"("model":"claude-sonnet-4-5-20250929","content":[{"type":"tool_use","id":)"
         R"("toolu_01abYf4cbnpImTYUCjB4h1I2","name":"Write","input":{"file_path":)"
         R"("/Users/dev/src/cli-search/src/snapshotExport.ts","content":")" +
         escaped_text(50'000, 1) +
         R"("}}],"stop_reason":"tool_use","stop_sequence":null,"usage":{"input_tokens":9,)"
         R"("cache_creation_input_tokens":518,"cache_read_input_tokens":38563,)"
         R"("cache_creation":{"ephemeral_5m_input_tokens":173,"ephemeral_1h_input_tokens":345},)"
         R"("output_tokens":91,"service_tier":"standard"}},"requestId":"req_011CB0ANYDBMCWYQF9jR73",)"
         R"("type":"assistant","uuid":"966e6a7a-22e6-4c1d-ae79-d72b99be562e",)"
         R"("timestamp":"2025-07-24T15:50:17.382Z"})"
         "\n";
}

std::string tool_result_line() {
  return R"({"parentUuid":"861c975e-c640-407d-a9d3-86195f232d12","isSidechain":false,)"
         R"("userType":"external","cwd":"/Users/alex/src/my-app-user","sessionId":)"
         R"("53346683-167f-4db3-9d89-d69a601ec808","version":"1.0.44","gitBranch":"",)"
         R"("type":"user","message":{"role":"user","content":[{"tool_use_id":)"
         R"("toolu_014gZWMd8qXfaCu3fGfi0uel","type":"tool_result","content":")" +
         escaped_text(200'000, 2) +
         R"("}]},"uuid":"d77dce1b-e468-4a94-9b5f-7c47de279227","timestamp":"2025-08-30T18:59:19.337Z"})"
         "\n";
}

// Short user and event lines of about 300 bytes, none holding a wanted key.
std::vector<std::string> short_lines() {
  std::vector<std::string> lines;
  for (unsigned i = 0; i < 64; ++i) {
    std::string line =
        R"({"timestamp":"2025-06-01T21:48:25.652Z","type":"event_msg","payload":{"type":)"
        R"("user_message","message":")";
    line += escaped_text(150, 100 + i);
    line += R"(","images":[]}})";
    line += '\n';
    lines.push_back(std::move(line));
  }
  return lines;
}

const std::vector<std::string>& lines_of(std::int64_t kind) {
  static const std::vector<std::string> assistant = {assistant_line()};
  static const std::vector<std::string> tool_result = {tool_result_line()};
  static const std::vector<std::string> shorts = short_lines();
  return kind == 0 ? assistant : kind == 1 ? tool_result : shorts;
}

const char* kind_label(std::int64_t kind) {
  return kind == 0 ? "assistant_50k" : kind == 1 ? "tool_result_200k" : "short_300";
}

template <typename Scan>
void run_over_lines(benchmark::State& state, Scan scan) {
  const std::vector<std::string>& lines = lines_of(state.range(0));
  std::size_t bytes = 0;
  for (const std::string& line : lines) bytes += line.size();
  for (auto _ : state) {
    for (const std::string& line : lines) benchmark::DoNotOptimize(scan(line));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
  state.SetLabel(kind_label(state.range(0)));
}

void BM_find_substring(benchmark::State& state) {
  run_over_lines(state, [](std::string_view line) {
    return find_substring(line, "\"input_tokens\"") != std::string_view::npos;
  });
}

void BM_needle_set_codex(benchmark::State& state) {
  static const std::vector<std::string_view> needles = {
      "\"token_count\"", "\"turn_context\"", "\"thread_settings_applied\"", "\"session_meta\""};
  const NeedleSet set(needles);
  run_over_lines(state, [&](std::string_view line) { return set.find_first(line); });
}

void BM_skip_value(benchmark::State& state) {
  run_over_lines(state, [](std::string_view line) {
    JsonCursor cursor{line, 0};
    skip_value(cursor);
    return cursor.pos;
  });
}

// The readers' walk of a whole Claude line: every top-level member skipped but the message.
void BM_walk_keys(benchmark::State& state) {
  run_over_lines(state, [](std::string_view line) {
    JsonCursor cursor{line, 0};
    std::string scratch;
    std::size_t keys = 0;
    if (!begin_object(cursor)) return keys;
    while (next_key_view(cursor, scratch)) {
      ++keys;
      skip_value(cursor);
    }
    return keys;
  });
}

}  // namespace

BENCHMARK(BM_find_substring)->DenseRange(0, 2);
BENCHMARK(BM_needle_set_codex)->DenseRange(0, 2);
BENCHMARK(BM_skip_value)->DenseRange(0, 2);
BENCHMARK(BM_walk_keys)->DenseRange(0, 2);

BENCHMARK_MAIN();
