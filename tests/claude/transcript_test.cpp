#include "claude/transcript.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>

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

// Every event as "model input/output/cache_write_5m/cache_write_1h/cache_read", unkeyed first.
std::vector<std::string> summary(const FileUsage& file) {
  std::vector<std::string> out;
  auto add = [&](const UsageEvent& e) {
    out.push_back(e.model + " " + std::to_string(e.input) + "/" + std::to_string(e.output) + "/" +
                  std::to_string(e.cache_write_5m) + "/" + std::to_string(e.cache_write_1h) + "/" +
                  std::to_string(e.cache_read));
  };
  for (const UsageEvent& e : file.unkeyed) add(e);
  for (const KeyedEvent& k : file.keyed) add(k.event);
  return out;
}

FileUsage read_content(const std::string& path, const std::string& content) {
  write_file(path, content);
  LineReader reader;
  return read_claude_transcript(path, reader);
}

}  // namespace

TEST(claude_transcript, line_decisions_and_counts) {
  const std::string split = R"("cache_creation_input_tokens":100,"cache_creation":)";
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {assistant(usage(R"("input_tokens":1,"output_tokens":2,"cache_read_input_tokens":4)")),
       {"m 1/2/0/0/4"}},
      {assistant(usage(
           split +
           R"({"ephemeral_5m_input_tokens":30,"ephemeral_1h_input_tokens":70},"input_tokens":0)")),
       {"m 0/0/30/70/0"}},
      {assistant(usage(R"("input_tokens":1,)" + split + R"({"ephemeral_1h_input_tokens":7})")),
       {"m 1/0/0/7/0"}},
      {assistant(usage(split + R"({"ephemeral_5m_input_tokens":0},"input_tokens":0)")),
       {"m 0/0/100/0/0"}},
      // The last occurrence of a key decides, also when it empties the field.
      {assistant(
           usage(R"("input_tokens":1,"output_tokens":9,"input_tokens":5,"output_tokens":null)")),
       {"m 5/0/0/0/0"}},
      {assistant(R"("model":"m","usage":{"input_tokens":1},"model":null)"), {}},
      {assistant(R"("model":"m","usage":null)", R"(,"x":{"input_tokens":5})"), {"m 0/0/0/0/0"}},
      {assistant(usage(R"("output_tokens":5,"cache_read_input_tokens":3)")), {}},
      {assistant(R"("model":"m")", R"(,"x":{"input_tokens":5})"), {}},
      {R"({"type":"user","timestamp":"2025-01-15T10:30:00Z","message":{)" +
           usage(R"("input_tokens":5)") + "}}",
       {}},
      {assistant(R"("model":"<synthetic>","usage":{"input_tokens":5})"), {}},
      {assistant(R"("model":4,"usage":{"input_tokens":5})"), {}},
      {assistant(R"("model":"claude-opus-4-6","usage":{"input_tokens":1,"speed":"fast"})"),
       {"claude-opus-4-6-fast 1/0/0/0/0"}},
      {assistant(R"("model":"o-fast","usage":{"input_tokens":1,"speed":"fast"})"),
       {"o-fast 1/0/0/0/0"}},
      {assistant(R"("speed":"fast","model":"o","usage":{"input_tokens":1,"speed":"Fast"})",
                 R"(,"speed":"fast")"),
       {"o 1/0/0/0/0"}},
      {R"({"type":"assistant","timestamp":"2025-01-15T10:30:0","message":{)" +
           usage(R"("input_tokens":1)") + "}}",
       {}},
      {"  " + assistant(usage(R"("input_tokens":6)")) + "\r\n\r", {"m 6/0/0/0/0"}},
      {R"(["type","assistant","input_tokens"])", {}},
      {assistant(usage(R"("input_tokens":6,"output_tokens":2 "junk)")), {"m 6/2/0/0/0"}},
  };
  TempDir dir;
  for (const auto& [line, expected] : cases) {
    EXPECT_EQ(summary(read_content(dir.path() + "/p/s.jsonl", line + "\n")), expected) << line;
  }
}

TEST(claude_transcript, session_project_key_and_price) {
  const std::string sonnet = "claude-sonnet-4-20250514";
  const std::string bare = assistant(usage(R"("input_tokens":1000,"output_tokens":20)", sonnet));
  const std::string ids = R"(,"requestId":"r","sessionId":"sess","cwd":"/Users/dev/code/my-app")";
  // Path below the temporary directory, line, then "session|project|key".
  const std::vector<std::array<std::string, 3>> cases = {
      {"-Users-dev-code-my-app/9f3c.jsonl", bare, "9f3c|app|"},
      {"---/9f3c.jsonl", bare, "9f3c|---|"},
      {"proj-//./a.b.jsonl", bare, "a.b|proj|"},
      {"x/.jsonl", bare, ".jsonl|x|"},
      {"bad\xff-dir/s\xfe.jsonl", bare, "||"},
      {"d/s.jsonl", assistant(usage(R"("input_tokens":1)") + R"(,"id":"m1")", ids),
       "sess|my-app|m1::r"},
      {"d/s.jsonl", assistant(usage(R"("input_tokens":1)"), R"(,"sessionId":"","cwd":"/a/")"),
       "||"},
      {"d/s.jsonl", assistant(usage(R"("input_tokens":1)"), R"(,"cwd":"C:\\w\\proj")"), "s|proj|"},
  };
  TempDir dir;
  for (const auto& [relative, line, expected] : cases) {
    const FileUsage file = read_content(dir.path() + "/" + relative, line + "\n");
    ASSERT_EQ(file.keyed.size() + file.unkeyed.size(), 1u) << relative;
    const bool keyed = !file.keyed.empty();
    const UsageEvent& e = keyed ? file.keyed[0].event : file.unkeyed[0];
    EXPECT_EQ(e.session_id + "|" + e.project + "|" + (keyed ? file.keyed[0].dedup_key : ""),
              expected);
    const PriceResult price = price_usage(e.model, e.input, e.output, 0, 0, 0, 1736937000000);
    EXPECT_EQ(e.event_time_ms, 1736937000000);
    EXPECT_EQ(e.priced, price.priced);
    EXPECT_EQ(e.cost_usd, price.cost_usd);
  }
  LineReader reader;
  EXPECT_TRUE(summary(read_claude_transcript(dir.path() + "/none.jsonl", reader)).empty());
}

TEST(claude_transcript, duplicates_in_a_file_keep_the_larger_output_in_first_place) {
  // Lines as "message id,request id,output,input" (an id of "-" is absent); then the inputs of
  // the keyed events in order, and of the unkeyed ones.
  const std::vector<std::array<std::string, 3>> cases = {
      {"a,r,10,1 a,r,25,2", "2", ""}, {"a,r,25,1 a,r,10,2", "1", ""},
      {"a,r,25,1 a,r,25,2", "1", ""}, {"a,r,1,1 b,r,1,2 a,r,5,3", "3 2", ""},
      {"a,r,1,1 a,s,1,2", "1 2", ""}, {"a,-,1,1 a,-,1,2", "", "1 2"},
      {"-,r,1,1 -,r,1,2", "", "1 2"}, {",,1,1 ,,3,2", "2", ""},
  };
  TempDir dir;
  for (const auto& [lines_text, keyed, unkeyed] : cases) {
    std::string content;
    std::istringstream lines(lines_text);
    for (std::string l; lines >> l;) {
      std::array<std::string, 4> f;
      std::istringstream fields(l);
      for (std::string& x : f) std::getline(fields, x, ',');
      const std::string id = f[0] == "-" ? "" : R"(,"id":")" + f[0] + "\"";
      const std::string request = f[1] == "-" ? "" : R"(,"requestId":")" + f[1] + "\"";
      content += assistant(usage(R"("input_tokens":)" + f[3] + R"(,"output_tokens":)" + f[2]) + id,
                           request) +
                 "\n";
    }
    const FileUsage file = read_content(dir.path() + "/p/s.jsonl", content);
    std::string got_keyed, got_unkeyed;
    for (const KeyedEvent& k : file.keyed) got_keyed += std::to_string(k.event.input) + " ";
    for (const UsageEvent& e : file.unkeyed) got_unkeyed += std::to_string(e.input) + " ";
    EXPECT_EQ(got_keyed, keyed.empty() ? "" : keyed + " ") << lines_text;
    EXPECT_EQ(got_unkeyed, unkeyed.empty() ? "" : unkeyed + " ") << lines_text;
  }
}
