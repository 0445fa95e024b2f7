// The JSON report is printed from a fixed template: each line must be the one due, in its form.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>

#include "support/process.h"

namespace {

TEST(json_schema, every_view_prints_the_documented_members) {
  const std::string text = R"("([^"\\[:cntrl:]]|\\["\\/bfnrt]|\\u[0-9a-f]{4})*")";
  const std::string count = "(0|[1-9][0-9]{0,19})";
  const std::map<std::string, std::string> periods = {
      {"daily", R"("\d{4}-\d{2}-\d{2}")"}, {"monthly", R"("\d{4}-\d{2}")"}, {"session", text}};
  for (const auto& [view, period] : periods) {
    const std::string models = view == "session" ? "(" + text + ", )*" + text : text;
    const std::regex members[] = {
        std::regex(R"(    \{)"),
        std::regex(R"(      "period": )" + period + ","),
        std::regex(R"re(      "agent": "(claude|codex)",)re"),
        std::regex(R"(      "project": )" + text + ","),
        std::regex(R"(      "models": \[)" + models + "],"),
        std::regex(R"(      "input": )" + count + ","),
        std::regex(R"(      "output": )" + count + ","),
        std::regex(R"(      "cache": )" + count + ","),
        std::regex(R"(      "cost": (0|[1-9][0-9]*)\.[0-9]{6},)"),
        std::regex(R"(      "lastActive": (null|"\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}Z"))"),
        std::regex(R"(    \},)")};
    RunSpec spec;
    spec.args = {view, "--json"};
    spec.env = {{"HOME", METERLY_SOURCE_DIR "/tests/e2e/cases/daily_table/home"}, {"TZ", "UTC"}};
    const ProcessResult result = run_meterly(spec);
    EXPECT_EQ(result.status, 0) << view << result.err;
    EXPECT_EQ(result.err, "") << view;
    std::vector<std::string> lines;
    std::istringstream in(result.out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_TRUE(lines.size() > 5 && (lines.size() - 5) % 11 == 0) << result.out;
    EXPECT_EQ(lines[0] + lines[1] + lines[2], "{  \"command\": \"" + view + "\",  \"groups\": [");
    EXPECT_TRUE(result.out.ends_with("\n    }\n  ]\n}\n")) << result.out;  // the last without ","
    for (std::size_t i = 3; i + 3 < lines.size(); ++i) {
      EXPECT_TRUE(std::regex_match(lines[i], members[(i - 3) % 11])) << view << ": " << lines[i];
    }
  }
}

}  // namespace
