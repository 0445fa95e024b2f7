// Whole-output tests: each folder of tests/e2e/cases holds `args` (one per line), `home/` (the
// fixture HOME), the expected `stdout` (with "Scanned ... in Nms") and optionally `env`
// (KEY=VALUE lines that take precedence, a bare KEY removes one; @CASE@ expands to the case
// folder), `stderr`, `status`, `terminal` (present: standard output is a terminal), `stdin_closed`
// (present: no standard input) and `stdout_to` ("full" or "gone"). Adding a case needs no code.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "support/process.h"

namespace {

const std::string kCasesDir = std::string(METERLY_SOURCE_DIR) + "/tests/e2e/cases";

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> case_names() {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(kCasesDir, error))
    names.insert(entry.path().filename().string());
  return {names.begin(), names.end()};
}

class EndToEnd : public ::testing::TestWithParam<std::string> {};

TEST_P(EndToEnd, whole_output_matches) {
  const std::string dir = kCasesDir + "/" + GetParam();
  RunSpec spec;
  spec.args = lines_of(read_file(dir + "/args"));
  // The case's own values replace the defaults: which of two equal names a program sees
  // differs between C libraries and emulators.
  spec.env = {{"HOME", dir + "/home"}, {"TZ", "UTC"}, {"NO_COLOR", "1"}};
  for (std::string line : lines_of(read_file(dir + "/env"))) {
    for (std::size_t at; (at = line.find("@CASE@")) != std::string::npos;) line.replace(at, 6, dir);
    const std::size_t eq = line.find('=');
    const std::string name = line.substr(0, eq);
    std::erase_if(spec.env, [&](const auto& entry) { return entry.first == name; });
    if (eq != std::string::npos) spec.env.emplace_back(name, line.substr(eq + 1));
  }
  spec.terminal = std::filesystem::exists(dir + "/terminal");
  spec.stdin_closed = std::filesystem::exists(dir + "/stdin_closed");
  // A full disk where the system has one, or a pipe whose reader has gone.
  const std::string out_to = read_file(dir + "/stdout_to");
  if (out_to == "full\n" && access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  spec.stdout_path = out_to == "full\n" ? "/dev/full" : "";
  spec.stdout_reader_gone = out_to == "gone\n";
  const ProcessResult result = run_meterly(spec);
  const std::string status = read_file(dir + "/status");
  EXPECT_EQ(result.status, status.empty() ? 0 : std::stoi(status));
  EXPECT_EQ(mask_elapsed(result.out), read_file(dir + "/stdout"));
  EXPECT_EQ(result.err, read_file(dir + "/stderr"));
}

INSTANTIATE_TEST_SUITE_P(cases, EndToEnd, ::testing::ValuesIn(case_names()),
                         [](const auto& test) { return test.param; });

}  // namespace
