// Output that cannot be written: a lost report or help text is a failure; a reader that left
// early is not.
#include <gtest/gtest.h>

#include <unistd.h>

#include "main/options.h"
#include "support/process.h"

namespace {

enum class Out { pipe, full_disk, reader_gone };

TEST(cli, status_when_output_fails) {
  const std::string home = std::string(METERLY_SOURCE_DIR) + "/tests/e2e/cases/daily_table/home";
  const std::string no_space = "meterly: cannot write output: No space left on device\n";
  const struct {
    std::vector<std::string> args;
    Out out_to;
    int status;
    std::string out;
    std::string err;
  } cases[] = {
      {{"--help", "--bogus"}, Out::pipe, 0, std::string(help_text()) + "\n", ""},
      {{"-v"}, Out::pipe, 0, "0.4.1\n", ""},
      {{"--help"}, Out::full_disk, 2, "", no_space},
      {{"-v"}, Out::reader_gone, 2, "", "meterly: cannot write output: Broken pipe\n"},
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
