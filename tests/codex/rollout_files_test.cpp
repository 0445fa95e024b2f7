#include "codex/rollout_files.h"

#include <gtest/gtest.h>

TEST(rollout_files, session_key_is_the_trailing_uuid_else_the_stem) {
  const std::pair<std::string, std::string> cases[] = {
      {"x-0199A2B3-C4D5-7E6F-8A9B-0C1D2E3F4A5B.jsonl", "0199A2B3-C4D5-7E6F-8A9B-0C1D2E3F4A5B"},
      {"r-0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5g.jsonl", "r-0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5g"},
      {"r-0199a2b3-c4d5-7e6f8-a9b-0c1d2e3f4a5b.jsonl", "r-0199a2b3-c4d5-7e6f8-a9b-0c1d2e3f4a5b"},
      {"/h/0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5b/notes.v2.jsonl", "notes.v2"},
      {"/h/bad\xff-0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5b.jsonl", ""},
      {"0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5f.jsonl", "0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5f"},
      {"/h/x0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5f.jsonl", "x0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5f"},
      {"/h/s.v.jsonl/./", "s.v"},
      {"/h/.jsonl", ".jsonl"},
      {"..", ".."},
      {"/", ""},
      {".", ""},
      {"a/.", "a"}};
  for (const auto& [path, key] : cases) EXPECT_EQ(file_session_key(path), key) << path;
}

TEST(rollout_files, order_sorts_by_components_and_keeps_the_first_file_of_a_session) {
  using Paths = std::vector<std::string>;
  // A separator ends a component, so a/b sorts before a-b.
  EXPECT_EQ(order_rollout_files({"/r/a-b/x", "/r/ab/y", "/r/a/b/z"}),
            (Paths{"/r/a/b/z", "/r/a-b/x", "/r/ab/y"}));
  EXPECT_EQ(order_rollout_files({"/r/b/s.jsonl", "/r/./a//s.jsonl"}), Paths{"/r/./a//s.jsonl"});
  EXPECT_EQ(order_rollout_files({"/r/\xff", "/r/ab", "/r/a"}), (Paths{"/r/a", "/r/ab", "/r/\xff"}));
}
