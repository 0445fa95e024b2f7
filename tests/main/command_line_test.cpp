#include <gtest/gtest.h>

#include <vector>

#include "main/options.h"

namespace {

// The options expected: the defaults with the case's changes applied.
using Expect = void (*)(RunOptions&);

std::variant<RunOptions, EarlyExit> parse(std::vector<std::string_view> args) {
  return parse_command_line(args);
}

TEST(command_line, accepted_argument_lists) {
  const struct {
    std::vector<std::string_view> args;
    Expect expect;
  } cases[] = {
      {{}, [](RunOptions&) {}},
      {{"monthly"}, [](RunOptions& o) { o.view = ReportView::monthly; }},
      {{"daily", "--json", "monthly"},
       [](RunOptions& o) {
         o.view = ReportView::monthly;
         o.json = true;
       }},
      {{"session", "--all", "--json"},
       [](RunOptions& o) {
         o.view = ReportView::session;
         o.json = o.show_all = true;
       }},
      {{"--claude", "--codex"}, [](RunOptions& o) { o.agent_filter = 1; }},
      {{"--codex", "--agent", "claude"}, [](RunOptions& o) { o.agent_filter = 0; }},
      {{"--agent", "codex"}, [](RunOptions& o) { o.agent_filter = 1; }},
      {{"--since", "2025-03-01", "--until", "2025-03-31"},
       [](RunOptions& o) {
         o.since = "2025-03-01";
         o.until = "2025-03-31";
       }},
      // A value is taken whole and unseen, even when it looks like an option.
      {{"--since", "--json"}, [](RunOptions& o) { o.since = "--json"; }},
      {{"--until", ""}, [](RunOptions& o) { o.until = ""; }},
      // A trailing --since clears what an earlier one set instead of failing.
      {{"--since", "2025-01-01", "--since"}, [](RunOptions&) {}},
      {{"--exact", "--exact"}, [](RunOptions& o) { o.exact = true; }},
  };
  for (const auto& c : cases) {
    const auto result = parse(c.args);
    ASSERT_TRUE(std::holds_alternative<RunOptions>(result)) << testing::PrintToString(c.args);
    const auto& got = std::get<RunOptions>(result);
    RunOptions want;
    c.expect(want);
    const auto args = testing::PrintToString(c.args);
    EXPECT_EQ(got.view, want.view) << args;
    EXPECT_EQ(got.agent_filter, want.agent_filter) << args;
    EXPECT_EQ(got.since, want.since) << args;
    EXPECT_EQ(got.until, want.until) << args;
    EXPECT_EQ(got.json, want.json) << args;
    EXPECT_EQ(got.show_all, want.show_all) << args;
    EXPECT_EQ(got.exact, want.exact) << args;
  }
}

TEST(command_line, early_exits) {
  const std::string help = std::string(help_text()) + "\n";
  const std::string unknown_prefix = "meterly: unknown argument \"";
  const std::string agent_error = "meterly: --agent expects claude|codex\n";
  const struct {
    std::vector<std::string_view> args;
    int status;
    std::string out;
    std::string err;
  } cases[] = {
      {{"--help"}, 0, help, ""},
      {{"-h", "--bogus"}, 0, help, ""},
      {{"daily", "-v", "--bogus"}, 0, "0.4.1\n", ""},
      {{"--version"}, 0, "0.4.1\n", ""},
      {{"--bogus", "--help"}, 1, "", unknown_prefix + "--bogus\"\n\n" + help},
      {{"-V"}, 1, "", unknown_prefix + "-V\"\n\n" + help},
      {{"--Version"}, 1, "", unknown_prefix + "--Version\"\n\n" + help},
      {{"-hv"}, 1, "", unknown_prefix + "-hv\"\n\n" + help},
      {{"--json=true"}, 1, "", unknown_prefix + "--json=true\"\n\n" + help},
      {{"--since=2025-01-01"}, 1, "", unknown_prefix + "--since=2025-01-01\"\n\n" + help},
      {{""}, 1, "", unknown_prefix + "\"\n\n" + help},
      {{"--agent"}, 1, "", agent_error},
      {{"--agent", "both"}, 1, "", agent_error},
      {{"--agent", "Claude"}, 1, "", agent_error},
  };
  for (const auto& c : cases) {
    const auto result = parse(c.args);
    ASSERT_TRUE(std::holds_alternative<EarlyExit>(result)) << testing::PrintToString(c.args);
    const auto& got = std::get<EarlyExit>(result);
    EXPECT_EQ(got.status, c.status) << testing::PrintToString(c.args);
    EXPECT_EQ(got.out, c.out) << testing::PrintToString(c.args);
    EXPECT_EQ(got.err, c.err) << testing::PrintToString(c.args);
  }
}

}  // namespace
