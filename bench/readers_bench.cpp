// Reads every Claude Code transcript of a generated home on one thread, warm cache:
//   build/release/gen_logs --out /tmp/gl --seed 7 --size-mb 1024
//   METERLY_BENCH_HOME=/tmp/gl/home build/release/readers_bench
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "claude/merge.h"
#include "claude/transcript.h"
#include "sources/discovery.h"
#include "sources/line_reader.h"

namespace {

struct Corpus {
  std::vector<std::string> files;
  std::int64_t bytes = 0;
};

const Corpus* corpus() {
  static const Corpus loaded = [] {
    Corpus c;
    const char* home = std::getenv("METERLY_BENCH_HOME");
    if (home == nullptr) return c;
    Environment env;
    env.home = home;
    c.files = find_claude_files(env);
    for (const std::string& path : c.files) {
      struct stat st;
      if (::stat(path.c_str(), &st) == 0) c.bytes += st.st_size;
    }
    return c;
  }();
  return loaded.files.empty() ? nullptr : &loaded;
}

// The prefilter alone: reading and finding the lines that hold the usage key.
void BM_claude_prefilter(benchmark::State& state) {
  const Corpus* c = corpus();
  if (c == nullptr) return state.SkipWithError("set METERLY_BENCH_HOME to a generated home");
  LineReader reader(static_cast<std::size_t>(state.range(0)));
  const std::array<std::string_view, 1> needles{"\"input_tokens\""};
  std::int64_t lines = 0;
  for (auto _ : state) {
    for (const std::string& path : c->files) {
      reader.read_matching_lines(path, needles, [&](std::string_view) { ++lines; });
    }
  }
  benchmark::DoNotOptimize(lines);
  state.SetBytesProcessed(state.iterations() * c->bytes);
}

// What the Claude Code half of a run does on one worker: read every file, then merge.
void BM_claude_read_and_merge(benchmark::State& state) {
  const Corpus* c = corpus();
  if (c == nullptr) return state.SkipWithError("set METERLY_BENCH_HOME to a generated home");
  LineReader reader(static_cast<std::size_t>(state.range(0)));
  std::size_t groups = 0;
  for (auto _ : state) {
    std::vector<FileUsage> usages;
    usages.reserve(c->files.size());
    for (const std::string& path : c->files) usages.push_back(read_claude_transcript(path, reader));
    ReportState report;
    merge_file_usages(std::move(usages), RunOptions{}, report);
    groups += report.groups.size();
  }
  benchmark::DoNotOptimize(groups);
  state.SetBytesProcessed(state.iterations() * c->bytes);
}

}  // namespace

// The argument is the read buffer size.
BENCHMARK(BM_claude_prefilter)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->RangeMultiplier(2)
    ->Range(64 << 10, 1 << 20);
BENCHMARK(BM_claude_read_and_merge)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Arg(LineReader::kDefaultBufferBytes);

BENCHMARK_MAIN();
