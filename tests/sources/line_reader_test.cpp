#include "sources/line_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <random>

#include "codex/config.h"
#include "support/process.h"

namespace {

// The longest needle is not the first.
constexpr std::array<std::string_view, 3> kNeedles{"tok_k", "\"input_tokens\"", "ns\"q"};

TEST(line_reader, matches_naive_filter_across_buffer_boundaries) {
  // Needles sharing bytes and prefixes in lines up to 30 times the smallest buffer: at a line's
  // start, after its dropped start, swept across the first read's end, at the end, without an LF.
  const std::string_view alphabet = "\"input_okens q\r";
  std::mt19937_64 rng(20240611);
  TempDir dir;
  const std::string path = dir.path() + "/r.jsonl";
  for (std::size_t round = 0; round < 400; ++round) {
    const bool sweep = round < 64;
    std::string content;
    std::vector<std::string> expected, lines;
    for (std::size_t left = sweep ? 1 : rng() % 12; left > 0; --left) {
      std::string line = sweep ? std::string(round, 'x') + std::string(kNeedles[1]) : "";
      const std::size_t length = rng() % 4 == 0 ? rng() % 2000 : rng() % 60,
                        rarity = 1 + rng() % 1000;  // from all needles to none in a long line
      while (!sweep && line.size() < length)
        line += rng() % rarity == 0 ? kNeedles[rng() % kNeedles.size()]
                                    : alphabet.substr(rng() % alphabet.size(), 1);
      content += line += sweep || left > 1 || rng() % 2 == 0 ? "\n" : "";
      if (std::any_of(kNeedles.begin(), kNeedles.end(),
                      [&](auto n) { return line.find(n) != line.npos; }))
        expected.push_back(line);
    }
    write_file(path, content);
    LineReader reader(sweep ? 64 : 64 + rng() % 200);
    EXPECT_TRUE(reader.read_matching_lines(path, kNeedles, [&](auto l) { lines.emplace_back(l); }));
    ASSERT_EQ(lines, expected) << round;
  }
}

// A reader given one set of needles after another finds the lines of each set.
TEST(line_reader, each_call_searches_for_its_own_needles) {
  TempDir dir;
  const std::string path = dir.path() + "/r.jsonl";
  write_file(path, "a tok_k\nb \"input_tokens\"\nc zzzz\n");
  const std::vector<std::string_view> sets[] = {
      {kNeedles.begin(), kNeedles.end()}, {"tok_k"}, {"zzzz"}};
  const std::string_view wanted[] = {"a tok_k\nb \"input_tokens\"\n", "a tok_k\n", "c zzzz\n"};
  LineReader reader;
  for (std::size_t i = 0; i < std::size(sets); ++i) {
    std::string lines;
    EXPECT_TRUE(reader.read_matching_lines(path, sets[i], [&](auto line) { lines += line; }));
    EXPECT_EQ(lines, wanted[i]) << i;
  }
}

TEST(line_reader, refuses_what_is_not_a_regular_file) {
  TempDir dir;
  const std::string directory = dir.path() + "/d.jsonl", fifo = dir.path() + "/f.jsonl";
  ASSERT_EQ(mkdir(directory.c_str(), 0755), 0);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);  // opened blocking, it would wait forever
  LineReader reader;
  for (const std::string& path : {directory, fifo, dir.path() + "/missing.jsonl"}) {
    EXPECT_FALSE(reader.read_matching_lines(path, kNeedles, [](std::string_view) {})) << path;
    EXPECT_FALSE(reader.out_of_descriptors()) << path;  // unreadable, not worth a second try
  }
}

// A file or the Codex configuration finding every descriptor taken is worth a second try, told
// afresh whatever errno the failure left; a file whose start came from the disk asks read-ahead.
TEST(line_reader, tells_a_shortage_of_descriptors_and_a_start_not_in_the_page_cache) {
  TempDir dir;
  const std::string path = dir.path() + "/r.jsonl";
  write_file(path, "tok_k\n" + std::string(1 << 16, 'x') + "\n");
  write_file(dir.path() + "/config.toml", "service_tier = \"fast\"\n");
  bool config_unopened = false;
  LineReader reader;
  std::string lines;
  const auto read = [&] {
    lines.clear();
    return reader.read_matching_lines(path, kNeedles, [&](auto line) { lines += line; });
  };
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
  const rlimit none{0, old.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
  const bool refused = !read() && reader.out_of_descriptors() &&
                       !read_codex_fast_default({{}, {}, dir.path()}, &config_unopened);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &old), 0);
  EXPECT_TRUE(refused && config_unopened && read_codex_fast_default({{}, {}, dir.path()}));
  EXPECT_TRUE(read() && !reader.out_of_descriptors() && lines == "tok_k\n");
#ifdef RWF_NOWAIT
  // Whether the file's first page is in the page cache, after dropping it if `drop`.
  const auto cached = [&](bool drop) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (drop) fdatasync(fd), posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    void* map = mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0);
    unsigned char resident = 1;
    if (map != MAP_FAILED) mincore(map, 4096, &resident), munmap(map, 4096);
    close(fd);
    return (resident & 1) != 0;
  };
  if (cached(true)) GTEST_SKIP() << "this file system keeps the file in memory";
  EXPECT_TRUE(read() && reader.last_file_was_cold() && lines == "tok_k\n");
  // Told ahead of time, the kernel reads the file in.
  ASSERT_FALSE(cached(true));
  LineReader::advise_will_read(path);
  for (int ms = 0; ms < 5000 && !cached(false); ++ms) usleep(1000);
  EXPECT_TRUE(read() && !reader.last_file_was_cold());
  write_file(path, "");  // its first read returns nothing, and from the page cache
  EXPECT_TRUE(read() && !reader.last_file_was_cold());
#endif
}

// A file that grows while it is read is read to its opening size plus 1 MiB at most; the line
// cut there is not handed over.
TEST(line_reader, stops_reading_a_file_that_keeps_growing) {
  TempDir dir;
  const std::string path = dir.path() + "/r.jsonl", line = "tok_k" + std::string(994, 'x') + "\n";
  write_file(path, line);
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND);
  std::size_t lines = 0;
  LineReader reader;
  EXPECT_FALSE(reader.last_file_was_cold() || reader.out_of_descriptors());  // nothing read yet
  EXPECT_TRUE(reader.read_matching_lines(path, kNeedles, [&](std::string_view got) {
    EXPECT_EQ(got, line);
    for (int i = ++lines == 1 ? 0 : 3000; i < 3000; ++i) ASSERT_GT(write(fd, line.data(), 1000), 0);
  }));
  close(fd);
  EXPECT_EQ(lines, (1000 + (1 << 20)) / 1000);
}

}  // namespace

// The buffer grows only to hold a line with a needle, and a file's giant line does not keep its
// memory for the next file.
TEST(line_reader, buffer_grows_for_lines_with_needles_only) {
  TempDir dir;
  const std::string path = dir.path() + "/r.jsonl", needle(kNeedles[0]);
  const std::pair<std::string, std::size_t> cases[] = {
      {std::string(1000, 'x') + "\n" + needle + "\n", 64},
      {needle + std::string(190, 'x') + "\n", 256},
      {needle + std::string(300, 'x'), 64},
      {std::string(58, 'x') + needle, 64}};
  LineReader reader(64);
  for (const auto& [content, capacity] : cases) {
    write_file(path, content);
    std::string lines;
    EXPECT_TRUE(reader.read_matching_lines(path, kNeedles, [&](auto line) { lines += line; }));
    EXPECT_EQ(lines, content.substr(content.find_last_of('\n', content.find(needle)) + 1));
    EXPECT_EQ(reader.buffer_bytes(), capacity) << content.size();
#ifdef RWF_NOWAIT
    EXPECT_FALSE(reader.last_file_was_cold());  // just written, so in the page cache
#endif
  }
}
