// Hostile log contents: every case plants one malformed artefact next to a small well-formed
// baseline and expects a silent, clean run whose report holds exactly the well-formed usage.
// Hostile models are named x-..., which no catalogue row prices, so every extra row costs 0.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "e2e/hostile_home.h"

namespace {

/// One hostile artefact, the rows it legitimately adds, and how it is planted in a home.
struct ContentCase {
  std::string name;
  std::function<void(const std::string& home)> plant;
  std::vector<ExtraGroup> extra;
};

const std::string kNul(1, '\0');

std::string repeated(const std::string& piece, std::size_t count) {
  std::string out;
  out.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += piece;
  return out;
}

std::string random_bytes(std::size_t size, std::uint64_t seed) {
  std::mt19937_64 engine(seed);
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(engine() & 0xFF);
  return out;
}

// JSON-looking noise: keys and punctuation both readers look for, raw NULs, CRs and invalid
// UTF-8, so that most lines pass a prefilter and reach the scanner. It never holds the word
// timestamp, so no line can become an event.
std::string random_fragments(std::size_t size, std::uint64_t seed) {
  static const std::vector<std::string> pieces = {"{",
                                                  "}",
                                                  "[",
                                                  "]",
                                                  ",",
                                                  ":",
                                                  "\"",
                                                  "\\",
                                                  " ",
                                                  "\r",
                                                  kNul,
                                                  "\xff",
                                                  "\xc3",
                                                  "0",
                                                  "-",
                                                  "18446744073709551616",
                                                  "1e999",
                                                  "-0.5",
                                                  "null",
                                                  "true",
                                                  R"("\ud800")",
                                                  R"("\u00e9")",
                                                  R"("\)",
                                                  R"("type")",
                                                  R"("assistant")",
                                                  R"("message")",
                                                  R"("usage")",
                                                  R"("model")",
                                                  R"("x-noise")",
                                                  R"("input_tokens")",
                                                  R"("output_tokens")",
                                                  R"("cache_creation")",
                                                  R"("speed")",
                                                  R"("fast")",
                                                  R"("payload")",
                                                  R"("info")",
                                                  R"("event_msg")",
                                                  R"("token_count")",
                                                  R"("total_token_usage")",
                                                  R"("last_token_usage")",
                                                  R"("turn_context")",
                                                  R"("session_meta")",
                                                  R"("thread_settings_applied")",
                                                  R"("thread_settings")",
                                                  R"("service_tier")",
                                                  R"("priority")",
                                                  R"("cwd")",
                                                  R"("requestId")",
                                                  R"("id")"};
  std::mt19937_64 engine(seed);
  std::string out;
  while (out.size() < size) {
    out += "{";
    const std::size_t count = engine() % 200;
    for (std::size_t i = 0; i < count; ++i) out += pieces[engine() % pieces.size()];
    out += "\n";
  }
  return out;
}

void plant_random_bytes(const std::string& home) {
  write_file(claude_root(home) + "/-Users-dev-noise/noise.jsonl", random_bytes(3 << 20, 7));
  write_file(codex_root(home) + "/2025/03/09/" + rollout_name(1), random_bytes(3 << 20, 8));
}

void plant_random_fragments(const std::string& home) {
  write_file(claude_root(home) + "/-Users-dev-noise/noise.jsonl", random_fragments(2 << 20, 9));
  write_file(codex_root(home) + "/2025/03/09/" + rollout_name(1), random_fragments(2 << 20, 10));
}

void plant_nul_bytes(const std::string& home) {
  write_file(
      claude_root(home) + "/-Users-dev-nul/nul.jsonl",
      R"({"type":"assistant","message":{"model":"x-nul-content","content":"a)" + kNul +
          R"(b","usage":{"input_tokens":10,"output_tokens":20}},"timestamp":"2025-04-01T00:00:00Z","cwd":"/w/nul"})"
          "\n" +
          R"({"type":"assistant","message":{"model":"x-nul)" + kNul +
          R"(model","usage":{"input_tokens":1}},"timestamp":"2025-04-01T00:00:01Z","cwd":"/w/nul"})"
          "\n" +
          R"({"type":"assistant","message":{"model":"x-nul-key","usage":{"input_tokens":7,"output)" +
          kNul +
          R"(_tokens":9}},"timestamp":"2025-04-01T00:00:02Z","cwd":"/w/nul"})"
          "\n" +
          R"({"ty)" + kNul +
          R"(pe":"assistant","message":{"model":"x-never","usage":{"input_tokens":5}},"timestamp":"2025-04-01T00:00:03Z"})"
          "\n" +
          R"({"type":"assistant",)" + kNul +
          R"("message":{"model":"x-never","usage":{"input_tokens":5}},"timestamp":"2025-04-01T00:00:04Z"})"
          "\n" +
          kNul +
          R"({"type":"assistant","message":{"model":"x-never","usage":{"input_tokens":5}},"timestamp":"2025-04-01T00:00:05Z"})"
          "\n");
  write_file(
      codex_root(home) + "/2025/04/01/" + rollout_name(1),
      meta_line("2025-04-01T01:00:00Z") + "\n" +
          context_line("2025-04-01T01:00:01Z", "x-codex" + kNul + "nul", "/w/a" + kNul + "b") +
          "\n" +
          token_line(
              "2025-04-01T01:00:05Z",
              R"("total_token_usage":{"input_tokens":100,"cached_input_tokens":40,"output_tokens":5,"reason)" +
                  kNul + R"(ing":1})") +
          "\n");
}

void plant_invalid_utf8(const std::string& home) {
  write_file(
      claude_root(home) + "/-Users-dev-\xff\xfe/\xc3\x28.jsonl",
      R"({"type":"assistant","message":{"model":"x-bad-)"
      "\xff"
      R"(","usage":{"input_tokens":1}},"timestamp":"2025-04-02T00:00:00Z","cwd":"/w/u"})"
      "\n"
      R"({"type":"assistant","message":{"model":"x-utf8-content","content":")"
      "\xc0\xaf\xed\xa0\x80"
      R"(","usage":{"input_tokens":3,"output_tokens":4}},"timestamp":"2025-04-02T00:00:01Z"})"
      "\n"
      R"({"type":"assistant","timestamp":"2025-04-02T00:00:02Z","cwd":"/w/k","message":{"model":"x-utf8-key","usage":{"input_tokens":8,")"
      "\xff"
      R"(output_tokens":9}}})"
      "\n"
      R"({"type":"assistant","message":{"model":"x-never","usage":{"input_tokens":1}},"timestamp":"2025-04-02T00:00:0)"
      "\xff"
      R"("})"
      "\n"
      R"({"type":"assistant","message":{"model":"x-utf8-cwd","usage":{"input_tokens":2}},"timestamp":"2025-04-02T00:00:03Z","cwd":"/w/)"
      "\xff"
      R"("})"
      "\n"
      R"({"type":"assistant","message":{"model":"x-utf8-\ud800surrogate","usage":{"input_tokens":1}},"timestamp":"2025-04-02T00:00:04Z"})"
      "\n");
  write_file(
      codex_root(home) + "/2025/\xff/rollout-\xfe-0199c0de-0000-4000-8000-000000000002.jsonl",
      meta_line("2025-04-02T01:00:00Z") + "\n" +
          context_line("2025-04-02T01:00:01Z", "x-codex-utf8", "/w/\xff") + "\n" +
          token_line("2025-04-02T01:00:05Z", R"("total_token_usage":)" + usage_json(10, 0, 1)) +
          "\n" + context_line("2025-04-02T01:00:06Z", "x-\xff", "/w/\xff") + "\n" +
          token_line("2025-04-02T01:00:10Z", R"("note":")"
                                             "\xff\xfe"
                                             R"(","total_token_usage":)" +
                                                 usage_json(20, 0, 2)) +
          "\n");
}

void plant_huge_numbers(const std::string& home) {
  const std::string digits = repeated("9", 400);
  const std::string max = "18446744073709551615";
  write_file(
      claude_root(home) + "/-Users-dev-digits/d.jsonl",
      R"({"type":"assistant","message":{"model":"x-digits","usage":{"input_tokens":)" + digits +
          R"(,"output_tokens":7,"cache_read_input_tokens":-)" + digits +
          R"(,"cache_creation_input_tokens":2.)" + digits + "e" + digits +
          R"(}},"timestamp":"2025-04-05T00:00:00Z","cwd":"/w/digits"})"
          "\n" +
          R"({"type":"assistant","message":{"model":"x-digits-string","usage":{"input_tokens":"+12","output_tokens":")" +
          digits +
          R"("}},"timestamp":"2025-04-05T00:00:01Z","cwd":"/w/digits"})"
          "\n" +
          R"({"type":"assistant","message":{"model":"x-max","usage":{"input_tokens":)" + max +
          R"(,"output_tokens":)" + max +
          R"(}},"timestamp":"2025-04-05T00:00:02Z","cwd":"/w/digits"})"
          "\n" +
          R"({"type":"assistant","message":{"model":"x-max","usage":{"input_tokens":1,"output_tokens":)" +
          max +
          R"(}},"timestamp":"2025-04-05T00:00:03Z","cwd":"/w/digits"})"
          "\n");
  write_file(codex_root(home) + "/2025/04/05/" + rollout_name(3),
             meta_line("2025-04-05T01:00:00Z") + "\n" +
                 context_line("2025-04-05T01:00:01Z", "x-codex-digits", "/w/digits") + "\n" +
                 token_line("2025-04-05T01:00:05Z", R"("total_token_usage":{"input_tokens":)" +
                                                        digits + R"(,"cached_input_tokens":)" +
                                                        digits + R"(,"output_tokens":9})") +
                 "\n");
}

void plant_truncated_lines(const std::string& home) {
  const std::string claude = claude_root(home) + "/-Users-dev-cut/";
  const std::string whole =
      R"({"type":"assistant","message":{"model":"x-cut-whole","usage":{"input_tokens":1}},"timestamp":"2025-04-08T00:00:00Z","cwd":"/w/cwd-cut"})"
      "\n";
  const std::string head =
      R"({"type":"assistant","timestamp":"2025-04-08T00:00:01Z","cwd":"/w/cwd-cut","message":)";
  write_file(claude + "key.jsonl",
             whole + head + R"({"model":"x-cut-key","usage":{"input_tokens":123,"outp)");
  write_file(
      claude + "number.jsonl",
      whole + head + R"({"model":"x-cut-number","usage":{"input_tokens":123,"output_tokens":45)");
  const std::string tail_cwd =
      R"({"type":"assistant","timestamp":"2025-04-08T00:00:01Z","message":{"model":"x-cut-)";
  write_file(claude + "string.jsonl",
             whole + tail_cwd +
                 R"(string","usage":{"input_tokens":5,"output_tokens":6}},"cwd":"/w/unfini)");
  write_file(claude + "backslash.jsonl",
             whole + tail_cwd +
                 R"(backslash","usage":{"input_tokens":7,"output_tokens":8}},"cwd":"/w/back\)");

  const std::string report =
      R"({"timestamp":"2025-04-08T01:00:05Z","type":"event_msg","payload":{"type":"token_count","info":{"total_token_usage":{"input_tokens":30,"cached_input_tokens":10,)";
  const std::vector<std::pair<std::string, std::string>> codex_cuts = {
      {"key", report + R"("output_tok)"},
      {"number", report + R"("output_tokens":3)"},
      {"string", report + R"("output_tokens":3}},"note":"unfinished)"},
      {"backslash", report + R"("output_tokens":3,"note":"a\)"},
  };
  int n = 10;
  for (const auto& [kind, cut] : codex_cuts) {
    write_file(codex_root(home) + "/2025/04/08/" + rollout_name(n++),
               meta_line("2025-04-08T01:00:00Z") + "\n" +
                   context_line("2025-04-08T01:00:01Z", "x-cutc-" + kind, "/w/cutc") + "\n" + cut);
  }
}

void plant_crlf(const std::string& home) {
  write_file(
      claude_root(home) + "/-Users-dev-crlf/c.jsonl",
      R"({"type":"assistant","message":{"id":"m1","model":"x-crlf","usage":{"input_tokens":10,"output_tokens":1}},"requestId":"r1","timestamp":"2025-04-09T00:00:00Z","cwd":"/w/crlf"})"
      "\r\n\r\n"
      R"({"type":"assistant","timestamp":"2025-04-09T00:00:01Z","cwd":"/w/crlf","message":{"model":"x-crlf","usage":{"output_tokens":2,"input_tokens":20}}})"
      "\r\n");
  write_file(
      codex_root(home) + "/2025/04/09/" + rollout_name(4),
      meta_line("2025-04-09T01:00:00Z") + "\r\n" +
          context_line("2025-04-09T01:00:01Z", "x-codex-crlf", "/w/crlf") + "\r\n\r\n" +
          token_line("2025-04-09T01:00:05Z", R"("total_token_usage":)" + usage_json(40, 10, 4)) +
          "\r\n");
}

void plant_empty_files(const std::string& home) {
  for (const std::string& dir :
       {claude_root(home) + "/-Users-dev-empty/", codex_root(home) + "/2025/04/09/"}) {
    write_file(dir + "empty.jsonl", "");
    write_file(dir + "blank.jsonl", "\n\n\r\n \t \n");
    write_file(dir + "short.jsonl", "{}\n{\"a\":1}\n{\"type\":\n\"");
  }
  write_file(codex_root(home) + "/2025/04/09/" + rollout_name(5), "");
}

void plant_deep_nesting(const std::string& home) {
  constexpr std::size_t kDepth = 1000000;
  const std::string arrays = repeated("[", kDepth) + repeated("]", kDepth);
  const std::string open_objects = repeated(R"({"a":)", kDepth);
  write_file(
      claude_root(home) + "/-Users-dev-deep/deep.jsonl",
      R"({"type":"assistant","timestamp":"2025-04-04T00:00:00Z","cwd":"/w/deep","message":{"model":"x-deep-array","usage":{"input_tokens":1,"output_tokens":2},"content":)" +
          arrays + "}}\n" +
          R"({"type":"assistant","timestamp":"2025-04-04T00:00:01Z","cwd":"/w/deep","message":{"model":"x-deep-object","usage":{"input_tokens":3,"output_tokens":4,"cache_read_input_tokens":)" +
          open_objects + "\n" +
          R"({"type":"assistant","extra":{"input_tokens":99},"timestamp":"2025-04-04T00:00:02Z","message":{"model":"x-deep-usage","usage":)" +
          repeated("[", kDepth) + "\n");
  write_file(
      codex_root(home) + "/2025/04/04/" + rollout_name(6),
      meta_line("2025-04-04T01:00:00Z") + "\n" +
          context_line("2025-04-04T01:00:01Z", "x-codex-deep", "/w/deepc") + "\n" +
          R"({"timestamp":"2025-04-04T01:00:05Z","type":"event_msg","payload":{"type":"token_count","info":{"total_token_usage":)" +
          usage_json(5, 0, 6) + R"(},"deep":)" + arrays + "}}\n" +
          R"({"timestamp":"2025-04-04T01:00:06Z","type":"turn_context","payload":{"model":)" +
          arrays + "}}\n" +
          R"({"timestamp":"2025-04-04T01:00:10Z","type":"event_msg","payload":{"type":"token_count","info":{"last_token_usage":{"input_tokens":7,"cached_input_tokens":0,"output_tokens":)" +
          open_objects + "\n");
}

ExtraGroup claude_row(std::string day, std::string project, std::string model, std::uint64_t input,
                      std::uint64_t output, std::uint64_t cache, std::string last) {
  return {std::move(day), "claude", std::move(project), std::move(model), input,
          output,         cache,    std::move(last)};
}

ExtraGroup codex_row(std::string day, std::string project, std::string model, std::uint64_t input,
                     std::uint64_t output, std::uint64_t cache, std::string last) {
  return {std::move(day), "codex", std::move(project), std::move(model), input,
          output,         cache,   std::move(last)};
}

const std::vector<ContentCase>& content_cases() {
  static const std::vector<ContentCase> cases = {
      {"random_bytes", plant_random_bytes, {}},
      {"random_json_fragments", plant_random_fragments, {}},
      // A NUL inside a skipped value is harmless; inside a kept string it stays part of the text
      // (escaped by the report); inside a key the key simply matches nothing; outside any string
      // it ends the line's object there.
      {"nul_bytes",
       plant_nul_bytes,
       {claude_row("2025-04-01", "nul", "x-nul\\u0000model", 1, 0, 0, "2025-04-01T00:00:01.000Z"),
        claude_row("2025-04-01", "nul", "x-nul-content", 10, 20, 0, "2025-04-01T00:00:00.000Z"),
        claude_row("2025-04-01", "nul", "x-nul-key", 7, 0, 0, "2025-04-01T00:00:02.000Z"),
        codex_row("2025-04-01", "a\\u0000b", "x-codex\\u0000nul", 60, 5, 40,
                  "2025-04-01T01:00:05.000Z")}},
      // A string that is not UTF-8 reads as absent: the model drops its line, the cwd falls back to
      // the directory label (itself not UTF-8, so empty), a bad key ends its object early, and a
      // bad Codex model or cwd leaves the previous one in force. A lone surrogate escape vanishes.
      {"invalid_utf8",
       plant_invalid_utf8,
       {claude_row("2025-04-02", "", "x-utf8-content", 3, 4, 0, "2025-04-02T00:00:01.000Z"),
        claude_row("2025-04-02", "", "x-utf8-cwd", 2, 0, 0, "2025-04-02T00:00:03.000Z"),
        claude_row("2025-04-02", "k", "x-utf8-key", 8, 0, 0, "2025-04-02T00:00:02.000Z"),
        claude_row("2025-04-02", "", "x-utf8-surrogate", 1, 0, 0, "2025-04-02T00:00:04.000Z"),
        codex_row("2025-04-02", "", "x-codex-utf8", 20, 2, 0, "2025-04-02T01:00:10.000Z")}},
      // Counts past 2^64-1 or negative count 0, a fraction keeps its integer part, and sums
      // saturate instead of wrapping.
      {"huge_numbers",
       plant_huge_numbers,
       {claude_row("2025-04-05", "digits", "x-digits", 0, 7, 2, "2025-04-05T00:00:00.000Z"),
        claude_row("2025-04-05", "digits", "x-digits-string", 12, 0, 0, "2025-04-05T00:00:01.000Z"),
        claude_row("2025-04-05", "digits", "x-max", 18446744073709551615u, 18446744073709551615u, 0,
                   "2025-04-05T00:00:03.000Z"),
        codex_row("2025-04-05", "digits", "x-codex-digits", 0, 9, 0, "2025-04-05T01:00:05.000Z")}},
      // A cut line keeps what stands before the cut: a number cut short is the digits it has, a
      // cut key or string is lost (a lost cwd falls back to the directory label "cut").
      {"truncated_last_lines",
       plant_truncated_lines,
       {claude_row("2025-04-08", "cut", "x-cut-backslash", 7, 8, 0, "2025-04-08T00:00:01.000Z"),
        claude_row("2025-04-08", "cwd-cut", "x-cut-key", 123, 0, 0, "2025-04-08T00:00:01.000Z"),
        claude_row("2025-04-08", "cwd-cut", "x-cut-number", 123, 45, 0, "2025-04-08T00:00:01.000Z"),
        claude_row("2025-04-08", "cut", "x-cut-string", 5, 6, 0, "2025-04-08T00:00:01.000Z"),
        claude_row("2025-04-08", "cwd-cut", "x-cut-whole", 4, 0, 0, "2025-04-08T00:00:00.000Z"),
        codex_row("2025-04-08", "cutc", "x-cutc-backslash", 20, 3, 10, "2025-04-08T01:00:05.000Z"),
        codex_row("2025-04-08", "cutc", "x-cutc-key", 20, 0, 10, "2025-04-08T01:00:05.000Z"),
        codex_row("2025-04-08", "cutc", "x-cutc-number", 20, 3, 10, "2025-04-08T01:00:05.000Z"),
        codex_row("2025-04-08", "cutc", "x-cutc-string", 20, 3, 10, "2025-04-08T01:00:05.000Z")}},
      {"crlf_line_ends",
       plant_crlf,
       {claude_row("2025-04-09", "crlf", "x-crlf", 30, 3, 0, "2025-04-09T00:00:01.000Z"),
        codex_row("2025-04-09", "crlf", "x-codex-crlf", 30, 4, 10, "2025-04-09T01:00:05.000Z")}},
      {"empty_files", plant_empty_files, {}},
      // Fields before a million-deep value are kept whether the scanner walks it or gives up on
      // it; a usage whose value is that deep still marks the line as carrying usage.
      {"million_deep_nesting",
       plant_deep_nesting,
       {claude_row("2025-04-04", "deep", "x-deep-array", 1, 2, 0, "2025-04-04T00:00:00.000Z"),
        claude_row("2025-04-04", "deep", "x-deep-object", 3, 4, 0, "2025-04-04T00:00:01.000Z"),
        claude_row("2025-04-04", "deep", "x-deep-usage", 0, 0, 0, "2025-04-04T00:00:02.000Z"),
        codex_row("2025-04-04", "deepc", "x-codex-deep", 12, 6, 0, "2025-04-04T01:00:10.000Z")}},
  };
  return cases;
}

class HostileContent : public testing::TestWithParam<std::size_t> {};

TEST_P(HostileContent, report_holds_only_the_well_formed_usage) {
  const ContentCase& c = content_cases()[GetParam()];
  TempDir home;
  write_baseline(home.path());
  c.plant(home.path());
  check_home(c.name, home.path(), {report_with(c.extra)});
}

INSTANTIATE_TEST_SUITE_P(hostile, HostileContent,
                         testing::Range<std::size_t>(0, content_cases().size()),
                         [](const auto& info) { return content_cases()[info.param].name; });

}  // namespace
