#include "claude/transcript.h"

#include <gtest/gtest.h>

#include "support/process.h"

namespace {

// An assistant line with `counts` in its usage; `top` and `extra` go into the line and message.
std::string line(const std::string& counts, const std::string& model = "m",
                 const std::string& top = "", const std::string& extra = "") {
  return R"({"type":"assistant","timestamp":"2025-01-15T10:30:00Z")" + top +
         R"(,"message":{"model":")" + model + R"(","usage":{)" + counts + "}" + extra + "}}";
}

// A line with message id `id` and request id `request`, each left out when "-".
std::string keyed(std::string id, std::string request, int output, int input) {
  id = id == "-" ? "" : R"(,"id":")" + id + '"';
  request = request == "-" ? "" : R"(,"requestId":")" + request + '"';
  const std::string io = "\"input_tokens\":" + std::to_string(input);
  return line(io + ",\"output_tokens\":" + std::to_string(output), "m", request, id) + "\n";
}

FileUsage read_content(const std::string& path, const std::string& content) {
  write_file(path, content);
  LineReader reader;
  return read_claude_transcript(path, reader);
}

}  // namespace

TEST(claude_transcript, line_decisions_counts_and_duplicates) {
  const std::string split = R"("cache_creation_input_tokens":100,"cache_creation":)";
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      // A non-zero split count, of either class, overrides the total.
      {line(R"("input_tokens":1,"output_tokens":2,"cache_read_input_tokens":4,)" + split +
            R"({"ephemeral_1h_input_tokens":70})"),
       {"m 1/2/0/70/4"}},
      {line(split + R"({"ephemeral_5m_input_tokens":30},"input_tokens":0)"), {"m 0/0/30/0/0"}},
      {line(split + R"({"ephemeral_5m_input_tokens":0},"input_tokens":0)"), {"m 0/0/100/0/0"}},
      // The last occurrence of a key decides, also when it empties the field.
      {line(R"("input_tokens":1,"output_tokens":9,"input_tokens":5,"output_tokens":null)"),
       {"m 5/0/0/0/0"}},
      {line(R"("input_tokens":1)", "m", "", R"(,"model":null)"), {}},
      {line(R"("input_tokens":5)", "m", R"(,"type":"user")"), {}},
      {line(R"("input_tokens":5)", "<synthetic>"), {}},
      {line(R"("input_tokens":1,"speed":"fast")", "o-fast"), {"o-fast 1/0/0/0/0"}},
      {line(R"("input_tokens":1,"speed":"Fast")", "o", R"(,"speed":"fast")", R"(,"speed":"fast")"),
       {"o 1/0/0/0/0"}},
      {"  " + line(R"("input_tokens":6)") + "\r\n\r", {"m 6/0/0/0/0"}},
      // Duplicates of a key: a larger output replaces the kept event in its first place.
      {keyed("a", "r", 10, 1) + keyed("b", "r", 1, 2) + keyed("a", "r", 25, 3) +
           keyed("a", "r", 25, 4) + keyed("a", "r", 5, 5),
       {"keyed m 3/25/0/0/0", "keyed m 2/1/0/0/0"}},
      // Without both ids no key; empty ids are ids. Unkeyed events come first.
      {keyed("", "", 1, 1) + keyed("a", "-", 1, 2) + keyed("-", "r", 1, 3) + keyed("", "", 3, 4) +
           keyed("a", "-", 1, 2),
       {"m 2/1/0/0/0", "m 3/1/0/0/0", "m 2/1/0/0/0", "keyed m 4/3/0/0/0"}},
  };
  TempDir dir;
  for (const auto& [content, expected] : cases) {
    const FileUsage file = read_content(dir.path() + "/p/s.jsonl", content + "\n");
    std::vector<std::string> events;
    const auto add = [&](const std::string& key, const UsageEvent& e) {
      events.push_back(key + e.model + " " + std::to_string(e.input) + "/" +
                       std::to_string(e.output) + "/" + std::to_string(e.cache_write_5m) + "/" +
                       std::to_string(e.cache_write_1h) + "/" + std::to_string(e.cache_read));
    };
    for (const HeldEvent& e : file.unkeyed) add("", file.event(e));
    for (const HeldEvent& e : file.keyed) add("keyed ", file.event(e));
    EXPECT_EQ(events, expected) << content;
  }
}

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
    const FileUsage file =
        read_content(dir.path() + "/" + relative, line(R"("input_tokens":1)", "m", top));
    ASSERT_EQ(file.unkeyed.size(), 1u) << relative;
    const UsageEvent event = file.event(file.unkeyed[0]);
    EXPECT_EQ(event.session_id + "|" + event.project, expected);
  }
}
