#include <gtest/gtest.h>

#include <unistd.h>

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

enum class Out { pipe, full_disk, reader_gone };

TEST(cli, status_and_texts) {
  const std::string home = std::string(METERLY_SOURCE_DIR) + "/tests/e2e/cases/daily_table/home";
  const std::string no_space = "meterly: cannot write output: No space left on device\n";
  const struct {
    std::vector<std::string> args;
    Out out_to;
    int status;
    std::string out;
    std::string err;
  } cases[] = {
      {{"--help", "--bogus"}, Out::pipe, 0, kHelp, ""},
      {{"-v"}, Out::pipe, 0, "0.4.1\n", ""},
      {{"--bogus"},
       Out::pipe,
       1,
       "",
       std::string("meterly: unknown argument \"--bogus\"\n\n") + kHelp},
      {{"\xff"
        "abc\xc3"},
       Out::pipe,
       2,
       "",
       "meterly: argument is not valid UTF-8: \"\\xffabc\\xc3\"\n"},
      // An unreadable argument stops the run before an earlier --help is looked at.
      {{"--help", "\xc0\xaf"},
       Out::pipe,
       2,
       "",
       "meterly: argument is not valid UTF-8: \"\\xc0\\xaf\"\n"},
      {{"--help"}, Out::full_disk, 2, "", no_space},
      {{"-v"}, Out::reader_gone, 2, "", "meterly: cannot write output: Broken pipe\n"},
      // A report that cannot be written is a failure; a reader that left early is not.
      {{"--json"}, Out::full_disk, 2, "", no_space},
      {{"session", "--all"}, Out::reader_gone, 0, "", ""},
  };
  const bool has_full = access("/dev/full", W_OK) == 0;
  for (const auto& c : cases) {
    if (c.out_to == Out::full_disk && !has_full) continue;
    RunSpec spec;
    spec.args = c.args;
    spec.env = {{"PATH", "/usr/bin:/bin"}, {"HOME", home}, {"TZ", "UTC"}};
    spec.stdout_path = c.out_to == Out::full_disk ? "/dev/full" : "";
    spec.stdout_reader_gone = c.out_to == Out::reader_gone;
    const ProcessResult result = run_meterly(spec);
    EXPECT_EQ(result.status, c.status) << testing::PrintToString(c.args);
    EXPECT_EQ(result.out, c.out) << testing::PrintToString(c.args);
    EXPECT_EQ(result.err, c.err) << testing::PrintToString(c.args);
  }
  if (!has_full) GTEST_SKIP() << "no /dev/full here: the full-disk cases did not run";
}

}  // namespace
