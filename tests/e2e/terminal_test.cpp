// Colour and terminal safety: what reaches a terminal differs from what reaches a pipe.
#include <gtest/gtest.h>

#include "support/process.h"

namespace {

const std::string kHome = std::string(METERLY_SOURCE_DIR) + "/tests/e2e/cases/daily_table/home";

RunSpec spec_for(std::vector<std::string> args, std::string home, bool terminal) {
  RunSpec spec;
  spec.args = std::move(args);
  spec.env = {{"HOME", std::move(home)}, {"TZ", "UTC"}, {"PATH", "/usr/bin:/bin"}};
  spec.terminal = terminal;
  return spec;
}

std::string sgr(const std::string& code, const std::string& text) {
  return "\x1b[" + code + "m" + text + "\x1b[0m";
}

TEST(terminal, colours_wrap_exactly_the_documented_pieces) {
  const std::string header = "Date        Agent   Models       Input  Output  Cache   Cost";
  std::string rule;
  for (const int width : {10, 6, 11, 5, 6, 5, 5}) {
    if (!rule.empty()) rule += "  ";
    for (int i = 0; i < width; ++i) rule += "\u2500";
  }
  const std::string expected =
      sgr("1", "meterly \u00b7 Claude Code + Codex usage\n") + "\n" + sgr("1", header) + "\n" +
      sgr("2", rule) + "\n" +
      "2025-03-07  claude  opus-4-1     1.20K   3.40K   560K  $1.11\n"
      "            codex   gpt-5-codex  52.0K   8.10K   310K  $0.18\n"
      "2025-03-08  claude  sonnet-4-5     800   12.0K  1.25M  $0.56\n" +
      sgr("2", rule) + "\n" + sgr("2", header) + "\n" +
      sgr("1", "TOTAL                            54.0K   23.5K  2.12M  $1.86") + "\n\n" +
      sgr("36", "Claude") + "        $1.67   1.83M tokens\n" + sgr("32", "Codex ") +
      "        $0.18   370K tokens\n" + sgr("1", "Total ") + "  " + sgr("1", "      $1.86") + "\n" +
      sgr("2", "\nScanned 2 files in Nms") + "\n";
  const ProcessResult result = run_meterly(spec_for({}, kHome, true));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(mask_elapsed(result.out), expected);
  EXPECT_EQ(result.err, "");
}

TEST(terminal, no_colour_when_asked_or_not_a_terminal) {
  const std::string plain =
      read_file(std::string(METERLY_SOURCE_DIR) + "/tests/e2e/cases/daily_table/stdout");
  RunSpec empty_no_color = spec_for({}, kHome, true);
  empty_no_color.env.emplace_back("NO_COLOR", "");
  EXPECT_EQ(mask_elapsed(run_meterly(empty_no_color).out), plain);
  // A pipe gets no colour even without NO_COLOR.
  EXPECT_EQ(mask_elapsed(run_meterly(spec_for({}, kHome, false)).out), plain);
}

// C0, DEL, C1 and bidirectional controls: defused on a terminal, passed on unchanged to a pipe.
TEST(terminal, control_characters_from_logs_cannot_reach_a_terminal) {
  TempDir home;
  write_file(home.path() + "/.claude/projects/p/s.jsonl",
             R"({"type":"assistant","message":{"model":"x\u001b]0;pwned\u0007","usage":)"
             R"({"input_tokens":5}},"timestamp":"2025-03-07T10:00:00Z","sessionId":"s",)"
             R"("cwd":"/w/evil\u001b[2J\u009bproj\u202e\u2066x\u007f\u0085"})"
             "\n");
  const std::string raw = "evil\x1b[2J\u009bproj\u202e\u2066x\x7f\u0085";
  const ProcessResult on_terminal = run_meterly(spec_for({"session"}, home.path(), true));
  EXPECT_NE(on_terminal.out.find("evil?[2J?proj??x??"), std::string::npos) << on_terminal.out;
  EXPECT_NE(on_terminal.out.find("x?]0;pwned?"), std::string::npos) << on_terminal.out;
  const ProcessResult json = run_meterly(spec_for({"session", "--json"}, home.path(), true));
  EXPECT_NE(json.out.find(R"("project": "evil\u001b[2J\u009bproj\u202e\u2066x\u007f\u0085")"),
            std::string::npos)
      << json.out;

  // Pipes carry the names unchanged; JSON escapes only what it must.
  const ProcessResult piped = run_meterly(spec_for({"session"}, home.path(), false));
  EXPECT_NE(piped.out.find(raw), std::string::npos);
  const ProcessResult piped_json = run_meterly(spec_for({"session", "--json"}, home.path(), false));
  EXPECT_NE(piped_json.out.find(R"("project": "evil\u001b[2J)" + raw.substr(8) + "\""),
            std::string::npos)
      << piped_json.out;
}

}  // namespace
