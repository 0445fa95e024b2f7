#include <gtest/gtest.h>

#include "support/process.h"

namespace {

// The help text byte for byte, so an edit to the source cannot slip through unnoticed.
const char kHelp[] =
    "meterly \xE2\x80\x94 fast Claude Code + Codex usage & cost\n\nUsage:\n  meterly [command] "
    "[options]\n\nCommands:\n  daily      Per-day usage and cost (default)\n  monthly    "
    "Per-month usage and cost\n  session    Per-session usage and cost\n\nOptions:\n  --since "
    "<YYYY-MM-DD>   Only include usage on/after this date\n  --until <YYYY-MM-DD>   Only include "
    "usage on/before this date\n  --claude               Only Claude Code\n  --codex           "
    "     Only Codex\n  --all                  Show every session (session view; default: top "
    "25)\n  --exact                Full token counts instead of K/M/B/T\n  --json               "
    "  Emit JSON instead of a table\n  -h, --help             Show this help\n  -v, --version   "
    "       Show version\n";

RunSpec with_args(std::vector<std::string> args) {
  RunSpec spec;
  spec.args = std::move(args);
  spec.env = {{"PATH", "/usr/bin:/bin"}, {"HOME", "/nonexistent-home"}};
  return spec;
}

TEST(cli, help_version_and_rejections) {
  const std::string unknown = std::string("meterly: unknown argument \"--bogus\"\n\n") + kHelp;
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  } cases[] = {
      {{"--help"}, 0, kHelp, ""},
      {{"-h"}, 0, kHelp, ""},
      {{"--help", "--bogus"}, 0, kHelp, ""},
      {{"-v"}, 0, "0.4.1\n", ""},
      {{"--bogus"}, 1, "", unknown},
      {{"--agent"}, 1, "", "meterly: --agent expects claude|codex\n"},
      {{"--agent", "both"}, 1, "", "meterly: --agent expects claude|codex\n"},
      {{"\xff"
        "abc\xc3"},
       2,
       "",
       "meterly: argument is not valid UTF-8: \"\\xffabc\\xc3\"\n"},
      // An unreadable argument stops the run before an earlier --help is looked at.
      {{"--help", "\xc0\xaf"}, 2, "", "meterly: argument is not valid UTF-8: \"\\xc0\\xaf\"\n"},
  };
  for (const auto& c : cases) {
    const ProcessResult result = run_meterly(with_args(c.args));
    EXPECT_EQ(result.status, c.status) << testing::PrintToString(c.args);
    EXPECT_EQ(result.out, c.out) << testing::PrintToString(c.args);
    EXPECT_EQ(result.err, c.err) << testing::PrintToString(c.args);
  }
}

TEST(cli, failed_write_of_help_is_reported) {
  for (const char* arg : {"--help", "-v"}) {
    RunSpec spec = with_args({arg});
    spec.stdout_path = "/dev/full";
    const ProcessResult result = run_meterly(spec);
    EXPECT_EQ(result.status, 2) << arg;
    EXPECT_EQ(result.err, "meterly: cannot write output: No space left on device\n") << arg;
  }
}

TEST(cli, closed_pipe_on_help_is_reported_not_fatal) {
  RunSpec spec = with_args({"--help"});
  spec.stdout_reader_gone = true;
  const ProcessResult result = run_meterly(spec);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "meterly: cannot write output: Broken pipe\n");
}

}  // namespace
