#include "claude/file_usage.h"

#include <gtest/gtest.h>

TEST(file_usage, held_events_come_back_whole) {
  // Counts past 32 bits and instants far from their context's first one are held at full
  // width; the rest compactly. Either way the event comes back as it went in.
  FileUsage file;
  const std::uint32_t context = file.context_for({"d", "m", "s", "p", "x"}, nullptr, 1000);
  const std::pair<std::int64_t, TokenCounts> cases[] = {
      {1000, {1, 2, 3, 4, 5}},
      {999, {UINT32_MAX, 0, 0, 0, UINT32_MAX}},
      {1000, {0, 0, 0, 0, std::uint64_t{UINT32_MAX} + 1}},
      {1000 + (std::int64_t{1} << 40), {1, 2, 3, 4, 5}},
      {1000 - (std::int64_t{1} << 40), {UINT64_MAX, 0, 0, 0, 0}}};
  for (const auto& [time, counts] : cases) {
    const HeldEvent held = file.hold(context, time, counts, {});
    EXPECT_EQ(file.event_time_ms(held), time);
    EXPECT_EQ(file.counts(held), counts);
    EXPECT_EQ(file.output(held), counts[1]);
  }
}
