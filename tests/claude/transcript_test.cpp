#include "claude/transcript.h"

#include <gtest/gtest.h>

#include "pricing/price.h"
#include "support/process.h"

namespace {

// An assistant line; `message` and `top` are spliced into the message and the line objects.
std::string assistant(const std::string& message, const std::string& top = "") {
  return R"({"type":"assistant","timestamp":"2025-01-15T10:30:00Z")" + top + R"(,"message":{)" +
         message + "}}";
}

std::string usage(const std::string& counts, const std::string& model = "m") {
  return R"("model":")" + model + R"(","usage":{)" + counts + "}";
}

// A line with message id `id` and request id `request` ("-" for none).
std::string keyed(const char* id, const char* request, int output, int input) {
  const auto member = [](const char* key, const char* value) {
    return *value == '-' ? std::string() : std::string(",\"") + key + "\":\"" + value + "\"";
  };
  return assistant(usage("\"input_tokens\":" + std::to_string(input) +
                         ",\"output_tokens\":" + std::to_string(output)) +
                       member("id", id),
                   member("requestId", request)) +
         "\n";
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
      {assistant(usage(R"("input_tokens":1,"output_tokens":2,"cache_read_input_tokens":4,)" +
                       split + R"({"ephemeral_1h_input_tokens":70})")),
       {"m 1/2/0/70/4"}},
      {assistant(usage(split + R"({"ephemeral_5m_input_tokens":30},"input_tokens":0)")),
       {"m 0/0/30/0/0"}},
      {assistant(usage(split + R"({"ephemeral_5m_input_tokens":0},"input_tokens":0)")),
       {"m 0/0/100/0/0"}},
      // The last occurrence of a key decides, also when it empties the field.
      {assistant(
           usage(R"("input_tokens":1,"output_tokens":9,"input_tokens":5,"output_tokens":null)")),
       {"m 5/0/0/0/0"}},
      {assistant(R"("model":"m","usage":{"input_tokens":1},"model":null)"), {}},
      {assistant(R"("model":"m","usage":null)", R"(,"x":{"input_tokens":5})"), {"m 0/0/0/0/0"}},
      {assistant(usage(R"("input_tokens":5)"), R"(,"type":"user")"), {}},
      {assistant(usage(R"("input_tokens":5)", "<synthetic>")), {}},
      {assistant(usage(R"("input_tokens":1,"speed":"fast")", "claude-opus-4-6")),
       {"claude-opus-4-6-fast 1/0/0/0/0"}},
      {assistant(usage(R"("input_tokens":1,"speed":"fast")", "o-fast")), {"o-fast 1/0/0/0/0"}},
      {assistant(R"("speed":"fast","model":"o","usage":{"input_tokens":1,"speed":"Fast"})",
                 R"(,"speed":"fast")"),
       {"o 1/0/0/0/0"}},
      {"  " + assistant(usage(R"("input_tokens":6)")) + "\r\n\r", {"m 6/0/0/0/0"}},
      // Duplicates of a key: a larger output replaces the kept event in its first place.
      {keyed("a", "r", 10, 1) + keyed("b", "r", 1, 2) + keyed("a", "r", 25, 3) +
           keyed("a", "r", 25, 4) + keyed("a", "r", 5, 5),
       {"a::r m 3/25/0/0/0", "b::r m 2/1/0/0/0"}},
      // Without both ids no key; empty ids are ids. Unkeyed events come first.
      {keyed("", "", 1, 1) + keyed("a", "-", 1, 2) + keyed("-", "r", 1, 3) + keyed("", "", 3, 4) +
           keyed("a", "-", 1, 2),
       {"m 2/1/0/0/0", "m 3/1/0/0/0", "m 2/1/0/0/0", ":: m 4/3/0/0/0"}},
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
    for (const UsageEvent& e : file.unkeyed) add("", e);
    for (const KeyedEvent& k : file.keyed) add(k.dedup_key + " ", k.event);
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
    const std::string line = assistant(
        usage(R"("input_tokens":1000,"output_tokens":20)", "claude-sonnet-4-20250514"), top);
    const FileUsage file = read_content(dir.path() + "/" + relative, line + "\n");
    ASSERT_EQ(file.unkeyed.size(), 1u) << relative;
    const UsageEvent& e = file.unkeyed[0];
    EXPECT_EQ(e.session_id + "|" + e.project, expected);
    const PriceResult price = price_usage(e.model, 1000, 20, 0, 0, 0, 1736937000000);
    EXPECT_TRUE(e.event_time_ms == 1736937000000 && e.priced && e.cost_usd == price.cost_usd);
  }
  LineReader reader;
  EXPECT_TRUE(read_claude_transcript(dir.path() + "/none.jsonl", reader).unkeyed.empty());
}
