#include "sources/line_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <random>

#include "support/process.h"

namespace {

constexpr std::array<std::string_view, 3> kNeedles{"\"input_tokens\"", "tok_k", "ns\"q"};

// What the reader must match: split at LF (kept), keep the lines that hold a needle.
std::vector<std::string> reference_lines(std::string_view content) {
  std::vector<std::string> lines;
  for (std::size_t begin = 0, end; begin < content.size(); begin = end) {
    end = std::min(content.find('\n', begin), content.size() - 1) + 1;
    const std::string_view line = content.substr(begin, end - begin);
    if (std::any_of(kNeedles.begin(), kNeedles.end(),
                    [&](std::string_view n) { return line.find(n) != std::string_view::npos; })) {
      lines.emplace_back(line);
    }
  }
  return lines;
}

}  // namespace

TEST(line_reader, matches_reference_across_buffer_boundaries) {
  // Needles sharing bytes and prefixes, in lines up to 30 times the smallest buffer: needles at
  // a line's start, after its dropped start, straddling reads, at the end, without a final LF.
  const std::string_view alphabet = "\"input_okens q\r";
  std::mt19937_64 rng(20240611);
  TempDir dir;
  const std::string path = dir.path() + "/r.jsonl";
  for (std::size_t round = 0; round < 400; ++round) {
    // First the longest needle at each offset around the end of the first read, then at random.
    const bool sweep = round < 64;
    std::string content = sweep ? std::string(round, 'x') + std::string(kNeedles[0]) + "\n" : "";
    for (std::size_t lines = sweep ? 0 : rng() % 12; lines > 0; --lines) {
      const std::size_t length = rng() % 4 == 0 ? rng() % 2000 : rng() % 60;
      // From lines of needles only to long lines with one needle or none.
      const std::uint64_t rarity = 1 + rng() % 1000;
      std::string line;
      while (line.size() < length) {
        line += rng() % rarity == 0 ? kNeedles[rng() % kNeedles.size()]
                                    : alphabet.substr(rng() % alphabet.size(), 1);
      }
      content += line + (lines > 1 || rng() % 2 == 0 ? "\n" : "");
    }
    write_file(path, content);
    LineReader reader(sweep ? 64 : 64 + rng() % 200);
    std::vector<std::string> lines;
    EXPECT_TRUE(reader.read_matching_lines(
        path, kNeedles, [&](std::string_view line) { lines.emplace_back(line); }));
    ASSERT_EQ(lines, reference_lines(content)) << round;
  }
}

TEST(line_reader, refuses_what_is_not_a_regular_file) {
  TempDir dir;
  const std::string directory = dir.path() + "/d.jsonl";
  const std::string fifo = dir.path() + "/f.jsonl";  // opened blocking, it would wait forever
  ASSERT_EQ(mkdir(directory.c_str(), 0755), 0);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  LineReader reader;
  for (const std::string& path : {directory, fifo, dir.path() + "/missing.jsonl"}) {
    EXPECT_FALSE(reader.read_matching_lines(path, kNeedles, [](std::string_view) {})) << path;
  }
}
