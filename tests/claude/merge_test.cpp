#include "claude/merge.h"

#include <gtest/gtest.h>

namespace {

// An event of session "s"; `tag` goes into `input` so that the winner can be told apart.
UsageEvent event(std::uint64_t output, std::uint64_t tag, std::string project = "") {
  UsageEvent e;
  e.day_key = "2025-01-15";
  e.month_key = "2025-01";
  e.session_id = "s";
  e.project = std::move(project);
  e.model = "m";
  e.input = tag;
  e.output = output;
  return e;
}

// The session row of the merged files.
ReportGroup merged(std::vector<FileUsage> files) {
  RunOptions options;
  options.view = ReportView::session;
  ReportState state;
  merge_file_usages(std::move(files), options, state);
  return state.groups.at("claude|s");
}

}  // namespace

TEST(claude_merge, duplicates_across_files_keep_larger_output_then_earlier_file) {
  // Outputs of the same key in the first and the second file; the winner's tag.
  const std::array<std::array<std::uint64_t, 3>, 3> cases = {
      {{10, 25, 2}, {25, 10, 1}, {25, 25, 1}}};
  for (const auto& [first, second, winner] : cases) {
    std::vector<FileUsage> files(2);
    files[0].keyed.push_back({"m1::r1", event(first, 1)});
    files[1].keyed.push_back({"m1::r1", event(second, 2)});
    // Unkeyed copies are never merged.
    files[0].unkeyed.push_back(event(0, 10));
    files[1].unkeyed.push_back(event(0, 10));
    const ReportGroup group = merged(std::move(files));
    EXPECT_EQ(group.input, winner + 20) << first << " " << second;
    EXPECT_EQ(group.output, std::max(first, second)) << first << " " << second;
  }
}

TEST(claude_merge, unkeyed_by_file_first_then_keys_by_first_appearance) {
  // A group keeps the first non-empty project folded into it, which shows the order.
  std::vector<std::pair<std::vector<FileUsage>, std::string>> cases(3);
  {
    auto& files = cases[0].first = std::vector<FileUsage>(2);
    files[0].keyed = {{"k1", event(1, 1)}, {"k2", event(1, 1, "second key")}};
    files[1].keyed = {{"k1", event(5, 1, "replaced first key")}};
    cases[0].second = "replaced first key";
  }
  {
    auto& files = cases[1].first = std::vector<FileUsage>(2);
    files[0].keyed = {{"k1", event(1, 1, "keyed")}};
    files[1].unkeyed = {event(1, 1, "unkeyed of a later file")};
    cases[1].second = "unkeyed of a later file";
  }
  {
    // So many keys that a hash map's order would differ from first appearance.
    auto& files = cases[2].first = std::vector<FileUsage>(3);
    for (int i = 0; i < 200; ++i) {
      files[static_cast<std::size_t>(i % 3)].keyed.push_back(
          {"key" + std::to_string(i), event(1, 1, i == 0 ? "" : "p" + std::to_string(i))});
    }
    cases[2].second = "p3";
  }
  for (auto& [files, project] : cases) EXPECT_EQ(merged(std::move(files)).project, project);
}
