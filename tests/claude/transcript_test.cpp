#include "claude/transcript.h"

#include <gtest/gtest.h>

#include "support/process.h"

namespace {

// An assistant line of one input token, with `top` added to its members.
std::string line(const std::string& top) {
  return R"({"type":"assistant","timestamp":"2025-01-15T10:30:00Z")" + top +
         R"(,"message":{"model":"m","usage":{"input_tokens":1}}})";
}

FileUsage read_content(const std::string& path, const std::string& content) {
  write_file(path, content);
  LineReader reader;
  return read_claude_transcript(path, reader);
}

}  // namespace

TEST(claude_transcript, session_and_project_fall_back_to_the_path) {
  // Path below the temporary directory, members added to the line, then "session|project".
  const std::array<std::string, 3> cases[] = {
      {"-Users-dev-code-my-app/9f3c.jsonl", "", "9f3c|app"},
      {"---/9f3c.jsonl", "", "9f3c|---"},
      {"bad\xff-dir/s\xfe.jsonl", "", "|"},
      {"d/s.jsonl", R"(,"sessionId":"x","cwd":"/a/my-app")", "x|my-app"},
      {"d/s.jsonl", R"(,"sessionId":"","cwd":"/a/")", "|"},
      {"d/s.jsonl", R"(,"cwd":"C:\\w\\proj")", "s|proj"}};
  TempDir dir;
  for (const auto& [relative, top, expected] : cases) {
    const FileUsage file = read_content(dir.path() + "/" + relative, line(top));
    ASSERT_EQ(file.unkeyed.size(), 1u) << relative;
    const UsageEvent event = file.event(file.unkeyed[0]);
    EXPECT_EQ(event.session_id + "|" + event.project, expected);
  }
}
