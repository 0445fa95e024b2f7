// The same logs give the same bytes on every run and with any number of workers.
#include <gtest/gtest.h>

#include <sched.h>
#include <unistd.h>

#include <cstdlib>

#include "support/process.h"

namespace {

// A command prefix that runs the rest on the first processor this process may use, if any.
std::vector<std::string> one_processor() {
#ifdef CPU_COUNT
  cpu_set_t set;
  if (access("/usr/bin/taskset", X_OK) == 0 && sched_getaffinity(0, sizeof set, &set) == 0)
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
      if (CPU_ISSET(cpu, &set)) return {"/usr/bin/taskset", "-c", std::to_string(cpu)};
#endif
  return {};
}

TEST(determinism, every_view_is_identical_across_runs_and_worker_counts) {
  // Every awkward shape the generator knows (seed 14 has each at least once), and enough small
  // files that the workers' shares of the file list differ from run to run.
  TempDir dir;
  // A cross-built suite runs the generator of the machine it runs on: the bytes are the same.
  const char* generator = std::getenv("METERLY_TEST_GEN_LOGS");
  const ProcessResult made = run_program(
      {generator != nullptr ? generator : METERLY_GEN_LOGS, "--out", dir.path(), "--seed", "14",
       "--size-mb", "12", "--awkward", "--huge-line-mb", "1", "--small-files", "300"},
      RunSpec{});
  ASSERT_EQ(made.status, 0) << made.err;

  RunSpec spec;
  spec.env = {
      {"HOME", dir.path() + "/home"}, {"TZ", "America/New_York"}, {"PATH", "/usr/bin:/bin"}};
  const std::vector<std::vector<std::string>> variants = {
      {"daily"},           {"monthly"},           {"session", "--all"},
      {"daily", "--json"}, {"monthly", "--json"}, {"session", "--json"}};
  for (const auto& args : variants) {
    spec.args = args;
    // One worker where taskset can pin the run; elsewhere runs are still compared.
    std::vector<std::string> argv = one_processor();
    argv.push_back(meterly_binary());
    argv.insert(argv.end(), args.begin(), args.end());
    const ProcessResult reference = run_program(argv, spec);
    ASSERT_EQ(reference.status, 0) << reference.err;
    // A home without both agents would make the comparison vacuous for one of them.
    ASSERT_NE(reference.out.find("claude"), std::string::npos) << reference.out;
    ASSERT_NE(reference.out.find("codex"), std::string::npos) << reference.out;
    for (int i = 0; i < 5; ++i) {
      const ProcessResult again = run_meterly(spec);
      EXPECT_EQ(mask_elapsed(again.out), mask_elapsed(reference.out))
          << testing::PrintToString(args) << " run " << i;
    }
  }
}

}  // namespace
