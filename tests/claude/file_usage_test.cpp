#include "claude/file_usage.h"

#include <gtest/gtest.h>

#include <set>

#include "claude/copies.h"
#include "pricing/price.h"

TEST(file_usage, held_events_come_back_whole_and_contexts_are_made_once) {
  // Counts past 32 bits and instants far from their context's first one are held at full
  // width; the rest compactly. Either way the event comes back as it went in.
  FileUsage file;
  const std::uint32_t context = file.context_for({"d", "m", "s", "p", "x"}, nullptr, 1000);
  // clang-format off
  const std::pair<std::int64_t, TokenCounts> cases[] = {{1000, {1, 2, 3, 4, 5}},
      {999, {UINT32_MAX, 0, 0, 0, UINT32_MAX}}, {1000, {0, 0, 0, 0, std::uint64_t{UINT32_MAX} + 1}},
      {1000 + (std::int64_t{1} << 40), {1, 2, 3, 4, 5}},
      {1000 - (std::int64_t{1} << 40), {UINT64_MAX, 0, 0, 0, 0}}};
  for (const auto& [time, counts] : cases) {
    const HeldEvent held = file.hold(context, time, counts, {});
    EXPECT_EQ(file.event_time_ms(held), time);
    EXPECT_EQ(file.counts(held), counts);
    EXPECT_EQ(file.output(held), counts[1]);
  }
  // A context is made once: any text or the price differing makes another, and one seen before,
  // not only the last, comes back.
  std::set<std::uint32_t> ids = {context,
      file.context_for({"d", "m", "s", "p", "x"}, price_catalogue().data(), 0)};
  for (const EventTexts& texts : std::initializer_list<EventTexts>{{"e", "m", "s", "p", "x"},
       {"d", "n", "s", "p", "x"}, {"d", "m", "t", "p", "x"}, {"d", "m", "s", "q", "x"},
       {"d", "m", "s", "p", "y"}}) ids.insert(file.context_for(texts, nullptr, 0));
  // clang-format on
  EXPECT_EQ(ids.size(), 7u);
  EXPECT_EQ(file.context_for({"d", "m", "s", "p", "x"}, nullptr, 0), context);
  file.shrink();  // a finished file drops its indexes: a late addition builds them again
  EXPECT_EQ(ids.count(file.context_for({"d", "m", "t", "p", "x"}, nullptr, 0)), 1u);
  // Texts enough that the index grows several times, each asked twice: one id each, in order.
  const std::uint32_t base = file.texts.intern("0");
  for (std::uint32_t n = 0; n < 2000; ++n)
    ASSERT_EQ(file.texts.intern(std::to_string(n % 1000)), base + n % 1000) << n;
}

// Ids hash alike on every platform, so builds agree on which answers are copies.
TEST(file_usage, message_ids_hash_alike_everywhere) {
  EXPECT_EQ(message_id_hash("msg_01"), 0x932986e2b3a665c0u);
  EXPECT_EQ(message_id_hash("msg_01ABCDEFGHIJ"), 0x2f9631e5b4148647u);
  EXPECT_EQ(message_id_hash("msg_01XFDUDYJgAACzvnptvVoYEL"), 0x2c08b0e65a1a649u);
}
