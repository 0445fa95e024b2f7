#include "main/options.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Args = std::vector<std::string_view>;

// The outcome in brief: view, agent filter, [since], [until] ("-" when absent) and set flags;
// or the exit status and the texts for standard output and standard error.
std::string brief(const Args& args) {
  const auto result = parse_command_line(args);
  if (const auto* exit = std::get_if<EarlyExit>(&result)) {
    return "exit " + std::to_string(exit->status) + " out:" + exit->out + " err:" + exit->err;
  }
  const auto& o = std::get<RunOptions>(result);
  const auto text = [](const std::optional<std::string>& s) { return s ? "[" + *s + "]" : "-"; };
  return std::to_string(static_cast<int>(o.view)) + " " +
         std::to_string(static_cast<int>(o.agent_filter)) + " " + text(o.since) + " " +
         text(o.until) + (o.json ? " json" : "") + (o.show_all ? " all" : "") +
         (o.exact ? " exact" : "");
}

TEST(command_line, accepted_arguments_set_options_and_later_ones_win) {
  // clang-format off
  const std::pair<Args, std::string> cases[] = {{{}, "0 2 - -"}, {{"monthly"}, "1 2 - -"},
      {{"daily", "--json", "monthly"}, "1 2 - - json"}, {{"--agent", "codex"}, "0 1 - -"},
      {{"session", "--all", "--json"}, "2 2 - - json all"}, {{"--claude", "--codex"}, "0 1 - -"},
      {{"--codex", "--agent", "claude"}, "0 0 - -"}, {{"--exact", "--exact"}, "0 2 - - exact"},
      {{"--since", "2025-03-01", "--until", "2025-03-31"}, "0 2 [2025-03-01] [2025-03-31]"},
      // A value is taken whole and unseen; a trailing --since clears an earlier one.
      {{"--since", "--json"}, "0 2 [--json] -"}, {{"--until", ""}, "0 2 - []"},
      {{"--since", "2025-01-01", "--since"}, "0 2 - -"}};
  // clang-format on
  for (const auto& [args, options] : cases) EXPECT_EQ(brief(args), options);
}

TEST(command_line, help_version_and_errors_end_the_run_early) {
  const std::string help = std::string(help_text()) + "\n", version = "exit 0 out:0.4.1\n err:";
  const std::string agent = "exit 1 out: err:meterly: --agent expects claude|codex\n";
  // clang-format off
  const std::pair<Args, std::string> cases[] = {{{"--help"}, "exit 0 out:" + help + " err:"},
      {{"-h", "--bogus"}, "exit 0 out:" + help + " err:"}, {{"-v"}, version},
      {{"daily", "--version", "--bogus"}, version}, {{"--agent"}, agent}, {{"--agent", "both"}, agent},
      {{"--agent", "Claude"}, agent}};
  for (const Args& args : {Args{"--bogus", "--help"}, Args{"-V"}, Args{"--Version"}, Args{"-hv"},
           Args{"--json=true"}, Args{"--since=2025-01-01"}, Args{""}}) {
    // clang-format on
    const std::string err = "meterly: unknown argument \"" + std::string(args[0]) + "\"\n\n" + help;
    EXPECT_EQ(brief(args), "exit 1 out: err:" + err);
  }
  for (const auto& [args, outcome] : cases) EXPECT_EQ(brief(args), outcome);
}

}  // namespace
