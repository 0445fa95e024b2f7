// Whole-output tests: each folder of tests/e2e/cases holds a fixture home, the arguments and
// the expected output. Adding a case needs no code:
//   args        one argument per line
//   env         optional KEY=VALUE lines added to the environment; @HOME@ and @CASE@ expand
//   home/       the fixture home directory (HOME points here)
//   stdout      the expected standard output (the milliseconds of "Scanned" masked as N)
//   stderr      optional, expected standard error (default: empty)
//   status      optional, expected exit status (default: 0)
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "support/process.h"

namespace {

const std::string kCasesDir = std::string(METERLY_SOURCE_DIR) + "/tests/e2e/cases";

std::vector<std::string> case_names() {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(kCasesDir, error)) {
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

std::string expand(std::string text, const std::string& case_dir) {
  for (const auto& [token, value] :
       {std::pair<std::string, std::string>{"@HOME@", case_dir + "/home"}, {"@CASE@", case_dir}}) {
    for (std::size_t at = text.find(token); at != std::string::npos; at = text.find(token, at)) {
      text.replace(at, token.size(), value);
      at += value.size();
    }
  }
  return text;
}

class EndToEnd : public ::testing::TestWithParam<std::string> {};

TEST_P(EndToEnd, whole_output_matches) {
  const std::string dir = kCasesDir + "/" + GetParam();
  RunSpec spec;
  spec.args = lines_of(read_file(dir + "/args"));
  spec.env = {{"HOME", dir + "/home"}, {"TZ", "UTC"}, {"NO_COLOR", "1"}, {"PATH", "/usr/bin:/bin"}};
  for (const std::string& line : lines_of(read_file(dir + "/env"))) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const std::string value = expand(line.substr(eq + 1), dir);
    auto slot =
        std::find_if(spec.env.begin(), spec.env.end(), [&](auto& kv) { return kv.first == key; });
    if (slot != spec.env.end()) {
      slot->second = value;
    } else {
      spec.env.emplace_back(key, value);
    }
  }
  const ProcessResult result = run_meterly(spec);
  const std::string status_text = read_file(dir + "/status");
  EXPECT_EQ(result.status, status_text.empty() ? 0 : std::stoi(status_text));
  EXPECT_EQ(mask_elapsed(result.out), read_file(dir + "/stdout"));
  EXPECT_EQ(result.err, read_file(dir + "/stderr"));
}

INSTANTIATE_TEST_SUITE_P(cases, EndToEnd, ::testing::ValuesIn(case_names()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(EndToEnd);

}  // namespace
