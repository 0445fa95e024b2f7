#include "claude/transcript.h"

#include <gtest/gtest.h>

#include "support/process.h"

// The fallbacks of session and project are pinned by the session_and_project_fallbacks
// end-to-end case; names that are not UTF-8, which not every checkout can hold, are tried here.
TEST(claude_transcript, names_that_are_not_utf8_give_no_session_or_project) {
  const TempDir dir;
  const std::string path = dir.path() + "/bad\xff-dir/s\xfe.jsonl";
  write_file(path, R"({"type":"assistant","timestamp":"2025-01-15T10:30:00Z",)"
                   R"("message":{"model":"m","usage":{"input_tokens":1}}})");
  LineReader reader;
  const FileUsage file = read_claude_transcript(path, reader);
  ASSERT_EQ(file.unkeyed.size(), 1u);
  const UsageEvent event = file.event(file.unkeyed[0]);
  EXPECT_EQ(event.session_id + "|" + event.project, "|");
}
