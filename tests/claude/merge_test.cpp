#include "claude/merge.h"

#include <gtest/gtest.h>

namespace {

UsageEvent event(std::uint64_t output, std::string project) {
  return {"2025-01-15", "2025-01", "s", std::move(project), "m", 0, 1, output};
}

KeyedEvent keyed(std::string key, std::uint64_t output, std::string project) {
  return {std::move(key), event(output, std::move(project))};
}

FileUsage file(std::vector<UsageEvent> unkeyed, std::vector<KeyedEvent> keyed,
               std::vector<std::uint64_t> keyed_ids = {},
               std::vector<UnkeyedMessageId> unkeyed_ids = {}) {
  return {std::move(unkeyed), std::move(keyed), std::move(keyed_ids), std::move(unkeyed_ids)};
}

}  // namespace

TEST(claude_merge, one_event_per_key_folded_after_each_files_unkeyed_ones) {
  // The session row keeps the first non-empty project folded into it, which shows both the
  // winner of a key and the order of folding; then its input counts the events.
  std::vector<FileUsage> many(3);
  // So many keys that a hash map's order would differ from first appearance.
  for (int i = 0; i < 200; ++i) {
    many[static_cast<std::size_t>(i % 3)].keyed.push_back(
        keyed("key" + std::to_string(i), 1, i == 0 ? "" : "p" + std::to_string(i)));
  }
  std::pair<std::vector<FileUsage>, std::string> cases[] = {
      {{file({}, {keyed("k", 25, "first")}), file({}, {keyed("k", 25, "second")})}, "first 1"},
      {{file({event(1, "")}, {}), file({event(1, "copy")}, {})}, "copy 2"},
      {{file({}, {keyed("k1", 1, ""), keyed("k2", 1, "second key")}),
        file({}, {keyed("k1", 5, "replaced first key")})},
       "replaced first key 2"},
      {{file({}, {keyed("k", 1, "keyed")}), file({event(1, "unkeyed of a later file")}, {})},
       "unkeyed of a later file 2"},
      // An unkeyed event whose message id (hash 7) is keyed in any file is a copy; 8 never is.
      {{file({event(1, "copy"), event(1, "")}, {}, {}, {{0, 7}, {1, 8}}),
        file({}, {keyed("k", 1, "original")}, {7}),
        file({event(1, "late copy")}, {}, {}, {{0, 7}})},
       "original 2"},
      {std::move(many), "p3 200"}};
  for (auto& [files, expected] : cases) {
    RunOptions options;
    options.view = ReportView::session;
    ReportState state;
    merge_file_usages(std::move(files), options, state);
    const ReportGroup& row = state.groups.at("claude|s");
    EXPECT_EQ(row.project + " " + std::to_string(row.input), expected);
  }
}
