#include "codex/rollout_files.h"

#include <gtest/gtest.h>

// Keys of the names discovery finds are pinned by the codex_session_keys end-to-end case; here,
// names that are not UTF-8 and paths that no walk yields.
TEST(rollout_files, session_key_and_order) {
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {
      {"/h/bad\xff-0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5b.jsonl", ""}, {"/h/s.v.jsonl/./", "s.v"},
      {"/h/.jsonl", ".jsonl"}, {"..", ".."}, {"/", ""}, {".", ""}, {"a/.", "a"}};
  // clang-format on
  for (const auto& [path, key] : cases) EXPECT_EQ(file_session_key(path), key) << path;
  using Paths = std::vector<std::string>;
  // A separator ends a component, so a/b sorts before a-b, whichever comes first.
  for (const Paths& paths :
       {Paths{"/r/a-b/x", "/r/ab/y", "/r/a/b/z"}, Paths{"/r/a/b/z", "/r/ab/y", "/r/a-b/x"}})
    EXPECT_EQ(order_rollout_files(paths), (Paths{"/r/a/b/z", "/r/a-b/x", "/r/ab/y"}));
  EXPECT_EQ(order_rollout_files({"/r/b/s.jsonl", "/r/./a//s.jsonl"}), Paths{"/r/./a//s.jsonl"});
  EXPECT_EQ(order_rollout_files({"/r/\xff", "/r/ab", "/r/a/b", "/r/a"}),
            (Paths{"/r/a", "/r/a/b", "/r/ab", "/r/\xff"}));
}
