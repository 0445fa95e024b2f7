#include "sources/line_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <random>

#include "support/process.h"

namespace {

constexpr std::string_view kNeedle = "\"input_tokens\"";

std::vector<std::string> read_lines(LineReader& reader, const std::string& path,
                                    std::span<const std::string_view> needles) {
  std::vector<std::string> lines;
  reader.read_matching_lines(path, needles,
                             [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

// What the reader must match: split at LF (kept), keep the lines that hold a needle.
std::vector<std::string> reference_lines(std::string_view content,
                                         std::span<const std::string_view> needles) {
  std::vector<std::string> lines;
  for (std::size_t begin = 0, end; begin < content.size(); begin = end) {
    end = std::min(content.find('\n', begin), content.size() - 1) + 1;
    const std::string_view line = content.substr(begin, end - begin);
    for (const std::string_view needle : needles) {
      if (line.find(needle) != std::string_view::npos) {
        lines.emplace_back(line);
        break;
      }
    }
  }
  return lines;
}

}  // namespace

TEST(line_reader, matches_reference_across_buffer_boundaries) {
  // Needles sharing bytes and prefixes, in lines up to 30 times the smallest buffer: needles at
  // a line's start, in its dropped middle, straddling reads, at the end, without a final LF.
  const std::array<std::string_view, 3> needles{kNeedle, "tok_k", "ns\"q"};
  const std::string_view alphabet = "\"input_okens q\r";
  std::mt19937_64 rng(20240611);
  TempDir dir;
  const std::string path = dir.path() + "/r.jsonl";
  for (int round = 0; round < 400; ++round) {
    std::string content;
    for (std::size_t lines = rng() % 12; lines > 0; --lines) {
      const std::size_t length = rng() % 4 == 0 ? rng() % 2000 : rng() % 60;
      std::string line;
      while (line.size() < length) {
        if (rng() % 40 == 0) {
          line += needles[rng() % needles.size()];
        } else {
          line += alphabet[rng() % alphabet.size()];
        }
      }
      content += line + (lines > 1 || rng() % 2 == 0 ? "\n" : "");
    }
    write_file(path, content);
    LineReader reader(64 + rng() % 200);
    ASSERT_EQ(read_lines(reader, path, needles), reference_lines(content, needles)) << round;
  }
}

TEST(line_reader, refuses_what_is_not_a_regular_file) {
  TempDir dir;
  const std::string directory = dir.path() + "/d.jsonl";
  const std::string fifo = dir.path() + "/f.jsonl";  // opened blocking, it would wait forever
  ASSERT_EQ(mkdir(directory.c_str(), 0755), 0);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  const std::array<std::string_view, 1> needles{kNeedle};
  LineReader reader;
  for (const std::string& path : {directory, fifo, dir.path() + "/missing.jsonl"}) {
    EXPECT_FALSE(reader.read_matching_lines(path, needles, [](std::string_view) {})) << path;
  }
}

TEST(line_reader, memory_follows_only_lines_that_pass) {
  TempDir dir;
  const std::string path = dir.path() + "/big.jsonl";
  const std::string big(8 << 20, 'a');
  const std::array<std::string_view, 1> needles{kNeedle};
  LineReader reader(4096);
  write_file(path, big + "\n" + std::string(kNeedle) + "\n" + big);
  EXPECT_EQ(read_lines(reader, path, needles).size(), 1u);
  EXPECT_LE(reader.buffer_bytes(), 4096u);

  write_file(path, big + std::string(kNeedle));
  const auto lines = read_lines(reader, path, needles);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), big.size() + kNeedle.size());
  EXPECT_LE(reader.buffer_bytes(), 4096u);  // the next file starts small again
}

TEST(line_reader, file_growing_while_read_comes_to_an_end) {
  TempDir dir;
  const std::string path = dir.path() + "/live.jsonl";
  const std::string line = std::string(kNeedle) + "\n";
  write_file(path, line);
  const int appender = ::open(path.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(appender, 0);
  const std::array<std::string_view, 1> needles{kNeedle};
  LineReader reader(256);
  std::size_t seen = 0;
  // Every delivered line appends another.
  reader.read_matching_lines(path, needles, [&](std::string_view) {
    ++seen;
    EXPECT_EQ(::write(appender, line.data(), line.size()), static_cast<ssize_t>(line.size()));
  });
  ::close(appender);
  EXPECT_GT(seen, 1u);
}
