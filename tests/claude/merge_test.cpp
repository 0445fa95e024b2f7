#include "claude/merge.h"

#include <gtest/gtest.h>

namespace {

// One event of session "s" with input 1; an empty key makes it unkeyed. A message id hash of 0
// stands for none on an unkeyed event.
struct Entry {
  std::string key;
  std::uint64_t output = 0;
  std::string project;
  std::uint64_t message_id = 0;
};

std::vector<FileUsage> make_files(const std::vector<std::vector<Entry>>& files) {
  std::vector<FileUsage> usages(files.size());
  for (std::size_t f = 0; f < files.size(); ++f) {
    FileUsage& usage = usages[f];
    for (const Entry& e : files[f]) {
      const std::uint32_t context =
          usage.context_for({"2025-01-15", "2025-01", "s", e.project, "m"}, nullptr, 0);
      const HeldEvent held = usage.hold(context, 0, {1, e.output, 0, 0, 0},
                                        e.key.empty() ? DedupHash{} : hash_dedup_key(e.key));
      if (!e.key.empty()) {
        usage.keyed_message_ids.push_back(e.message_id);
      } else if (e.message_id != 0) {
        usage.unkeyed_message_ids.push_back({usage.unkeyed.size(), e.message_id});
      }
      (e.key.empty() ? usage.unkeyed : usage.keyed).push_back(held);
    }
  }
  return usages;
}

}  // namespace

TEST(claude_merge, one_event_per_key_folded_after_each_files_unkeyed_ones) {
  // The session row keeps the first non-empty project folded into it, which shows both the
  // winner of a key and the order of folding; then its input counts the events.
  std::vector<std::vector<Entry>> many(3);
  // So many keys that a hash map's order would differ from first appearance.
  for (int i = 0; i < 200; ++i) {
    many[static_cast<std::size_t>(i % 3)].push_back(
        {"key" + std::to_string(i), 1, i == 0 ? "" : "p" + std::to_string(i)});
  }
  const std::uint64_t big = std::uint64_t{1} << 33;  // held at full width
  const std::pair<std::vector<std::vector<Entry>>, std::string> cases[] = {
      {{{{"k", 25, "first"}}, {{"k", 25, "second"}}}, "first 1"},
      {{{{"", 1, ""}}, {{"", 1, "copy"}}}, "copy 2"},
      {{{{"k1", 1, ""}, {"k2", 1, "second key"}}, {{"k1", 5, "replaced first key"}}},
       "replaced first key 2"},
      {{{{"k", 1, "keyed"}}, {{"", 1, "unkeyed of a later file"}}}, "unkeyed of a later file 2"},
      {{{{"k", big, "narrow loses"}}, {{"k", big + 1, "wide wins"}}, {{"k", big, "tie"}}},
       "wide wins 1"},
      {{{{"k", 2, "a"}}, {{"k", 3, "b"}}, {{"k", 4, "c"}}, {{"k", 4, "d"}}}, "c 1"},
      // An unkeyed event whose message id (hash 7) is keyed in any file is a copy; 8 never is.
      {{{{"", 1, "copy", 7}, {"", 1, "", 8}}, {{"k", 1, "original", 7}}, {{"", 1, "late copy", 7}}},
       "original 2"},
      {std::move(many), "p3 200"}};
  for (const auto& [files, expected] : cases) {
    RunOptions options;
    options.view = ReportView::session;
    ReportState state;
    merge_file_usages(make_files(files), options, state);
    const ReportGroup& row = state.groups.at("claude|s");
    EXPECT_EQ(row.project + " " + std::to_string(row.input), expected);
  }
}

TEST(claude_merge, held_events_come_back_whole) {
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
