#include "codex/rollout_files.h"

#include <gtest/gtest.h>

namespace {

const std::string kUuid = "0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5b";

TEST(rollout_files, session_key_is_the_trailing_uuid_else_the_stem) {
  const std::pair<std::string, std::string> cases[] = {
      {"/h/sessions/2025/01/02/rollout-2025-01-02T10-00-00-" + kUuid + ".jsonl", kUuid},
      {"dir/" + kUuid, kUuid},
      {"x-0199A2B3-C4D5-7E6F-8A9B-0C1D2E3F4A5B.jsonl/", "0199A2B3-C4D5-7E6F-8A9B-0C1D2E3F4A5B"},
      {"rollout" + kUuid + ".jsonl", "rollout" + kUuid},  // glued to the prefix
      {"r-0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5g.jsonl", "r-0199a2b3-c4d5-7e6f-8a9b-0c1d2e3f4a5g"},
      {"r-0199a2b3-c4d5-7e6f8-a9b-0c1d2e3f4a5b.jsonl", "r-0199a2b3-c4d5-7e6f8-a9b-0c1d2e3f4a5b"},
      {"/h/" + kUuid + "/notes.v2.jsonl", "notes.v2"},
      {"/h/..", ".."},
      {"/h/bad\xff-" + kUuid + ".jsonl", ""},
      {"/h/ok.\xff", "ok"},
      {"/", ""},
  };
  for (const auto& [path, key] : cases) EXPECT_EQ(file_session_key(path), key) << path;
  EXPECT_EQ(session_id_from_file_name("/h/notes.jsonl"), std::nullopt);
}

TEST(rollout_files, order_sorts_by_components_and_keeps_one_file_per_session) {
  using Paths = std::vector<std::string>;
  const std::string name = "rollout-2025-03-07T10-00-00-" + kUuid + ".jsonl";
  const std::tuple<const char*, Paths, Paths> cases[] = {
      {"archived copy wins",
       {"/h/sessions/2025/03/07/" + name, "/h/archived_sessions/" + name},
       {"/h/archived_sessions/" + name}},
      {"separator ends a component",
       {"/r/a-b/x", "/r/ab/y", "/r/a/b/z"},
       {"/r/a/b/z", "/r/a-b/x", "/r/ab/y"}},
      {"bytes compare unsigned", {"/r/\xc3\xa9", "/r/z"}, {"/r/z", "/r/\xc3\xa9"}},
      {"same stem: first in path order", {"/r/b/s.jsonl", "/r/./a//s.jsonl"}, {"/r/./a//s.jsonl"}},
      {"empty keys share one", {"/r/b/\xff", "/r/a/\xfe", "/r/c/k"}, {"/r/a/\xfe", "/r/c/k"}},
  };
  for (const auto& [what, input, expected] : cases)
    EXPECT_EQ(order_rollout_files(input), expected) << what;
}

}  // namespace
