// Members of the wrong JSON type: every member a reader looks at, given as a number, an array,
// an object and null. A wrong-typed member reads as absent; what that costs the line follows
// from the member's role, so each row states the usage the line still yields.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

#include "e2e/hostile_home.h"

namespace {

struct WrongValue {
  std::string kind;
  std::string json;
};

const std::vector<WrongValue> kWrongValues = {
    {"number", "-12.5e3"},
    {"array", R"([1,"assistant",{"k":null}])"},
    {"object", R"({"k":{"n":[1,"x"]}})"},
    {"null", "null"},
};

std::string quoted(const std::string& text) {
  return "\"" + text + "\"";
}

bool by_model(const ExtraGroup& a, const ExtraGroup& b) {
  return a.model < b.model;
}

/// A Claude Code member and what an assistant line with that member mistyped still yields.
struct ClaudeMember {
  std::string name;
  bool yields = false;
  std::uint64_t input = 0;
  std::uint64_t output = 0;
  std::string project = "";
};

// A normal assistant turn (1 input, 2 output tokens) with `member` replaced by `value`. The line
// also carries "input_tokens" outside the usage, so it is scanned whatever the usage holds.
std::string claude_line(int n, const std::string& model, const std::string& member,
                        const std::string& value, const std::string& timestamp) {
  auto pick = [&](const std::string& name, const std::string& normal) {
    return name == member ? value : normal;
  };
  const std::string message = R"({"id":)" + pick("id", quoted("m-" + std::to_string(n))) +
                              R"(,"model":)" + pick("model", quoted(model)) + R"(,"usage":)" +
                              pick("usage", R"({"input_tokens":1,"output_tokens":2})") + "}";
  return R"({"type":)" + pick("type", R"("assistant")") +
         R"(,"extra":{"input_tokens":99},"message":)" + pick("message", message) +
         R"(,"requestId":)" + pick("requestId", quoted("r-" + std::to_string(n))) +
         R"(,"timestamp":)" + pick("timestamp", quoted(timestamp)) + R"(,"sessionId":)" +
         pick("sessionId", R"("s")") + R"(,"cwd":)" + pick("cwd", R"("/w/wt")") + "}\n";
}

TEST(hostile, claude_members_of_the_wrong_type) {
  const std::vector<ClaudeMember> members = {
      {"type", false},
      {"message", false},
      {"model", false},
      {"timestamp", false},
      // The mere presence of usage marks the turn, so any usage value gives a zero-count event.
      {"usage", true, 0, 0, "wt"},
      // Without both ids the event is simply not de-duplicated.
      {"id", true, 1, 2, "wt"},
      {"requestId", true, 1, 2, "wt"},
      // The session falls back to the file stem, invisible in the daily view.
      {"sessionId", true, 1, 2, "wt"},
      // The project falls back to the last piece of the directory name.
      {"cwd", true, 1, 2, "wrongtypes"},
  };
  TempDir home;
  write_baseline(home.path());
  std::string lines;
  std::vector<ExtraGroup> extra;
  int n = 0;
  for (const ClaudeMember& member : members) {
    for (const WrongValue& value : kWrongValues) {
      char second[16];
      std::snprintf(second, sizeof second, "%02d", n);
      const std::string model = "x-wt-" + member.name + "-" + value.kind;
      lines += claude_line(n++, model, member.name, value.json,
                           std::string("2025-04-06T00:00:") + second + "Z");
      if (member.yields) {
        extra.push_back({"2025-04-06", "claude", member.project, model, member.input, member.output,
                         0, std::string("2025-04-06T00:00:") + second + ".000Z"});
      }
    }
  }
  // Counts of the wrong type count 0, except a string of digits, which read_u64 accepts; a
  // mistyped cache_creation leaves the whole cache_creation_input_tokens as 5-minute writes.
  lines +=
      R"({"type":"assistant","timestamp":"2025-04-06T00:01:00Z","cwd":"/w/wt","message":{"model":"x-wt-counts","usage":{"input_tokens":"12","output_tokens":[3],"cache_read_input_tokens":{"n":4},"cache_creation_input_tokens":6,"cache_creation":{"ephemeral_5m_input_tokens":null,"ephemeral_1h_input_tokens":true},"speed":5}}})"
      "\n"
      R"({"type":"assistant","timestamp":"2025-04-06T00:01:01Z","cwd":"/w/wt","message":{"model":"x-wt-counts","usage":{"input_tokens":true,"cache_creation":7,"cache_creation_input_tokens":8,"output_tokens":"-1"}}})"
      "\n";
  extra.push_back(
      {"2025-04-06", "claude", "wt", "x-wt-counts", 12, 0, 14, "2025-04-06T00:01:01.000Z"});
  write_file(claude_root(home.path()) + "/-Users-dev-code-wrongtypes/wt.jsonl", lines);
  std::sort(extra.begin(), extra.end(), by_model);
  check_home("claude_wrong_types", home.path(), {report_with(extra)});
}

/// A Codex member: the record that carries it mistyped, and the rollout's usage afterwards.
struct CodexMember {
  std::string name;
  std::function<std::string(const std::string& value)> record;
  std::uint64_t input = 10;
  std::uint64_t output = 1;
  std::string project = "wtc";
  bool fast = false;
  // An object is a usage of the right type whose counts are all absent, which some rows read
  // differently from a value of another type.
  std::optional<std::pair<std::uint64_t, std::uint64_t>> counts_if_object = std::nullopt;
};

const std::string kAt = R"({"timestamp":"2025-04-07T01:00:10Z",)";
const std::string kTotals =
    R"("total_token_usage":{"input_tokens":4,"cached_input_tokens":0,"output_tokens":9})";

TEST(hostile, codex_members_of_the_wrong_type) {
  // Every rollout: session_meta, turn_context, the mistyped record, then a probe report with
  // totals (10, 0, 1). Where the mistyped record carries totals (4, 0, 9), counting it or taking
  // them as the baseline would change the probe's row.
  const std::vector<CodexMember> members = {
      {"type",
       [](const std::string& v) {
         return kAt + R"("type":)" + v + R"(,"payload":{"type":"token_count","info":{)" + kTotals +
                "}}}";
       }},
      {"timestamp",
       [](const std::string& v) {
         return R"({"timestamp":)" + v +
                R"(,"type":"event_msg","payload":{"type":"token_count","info":{)" + kTotals + "}}}";
       }},
      {"payload",
       [](const std::string& v) {
         return kAt + R"("type":"event_msg","payload":)" + v + R"(,"note":"token_count"})";
       }},
      {"payload_type",
       [](const std::string& v) {
         return kAt + R"("type":"event_msg","payload":{"note":"token_count","type":)" + v +
                R"(,"info":{)" + kTotals + "}}}";
       }},
      {"info",
       [](const std::string& v) {
         return kAt + R"("type":"event_msg","payload":{"type":"token_count","info":)" + v + "}}";
       }},
      // Counted from last_token_usage (3, 0, 1); the baseline stays unset for the probe.
      {"total_token_usage",
       [](const std::string& v) {
         return kAt +
                R"("type":"event_msg","payload":{"type":"token_count","info":{"total_token_usage":)" +
                v + R"(,"last_token_usage":)" + usage_json(3, 0, 1) + "}}}";
       },
       13, 2},
      // Counted from its totals (4, 0, 9); the probe then counts (10, 0, 1) less those, floored.
      // An empty object is a last usage of zero: nothing counted, but the totals still become
      // the baseline, so the probe counts (6, 0, 0).
      {"last_token_usage",
       [](const std::string& v) {
         return kAt + R"("type":"event_msg","payload":{"type":"token_count","info":{)" + kTotals +
                R"(,"last_token_usage":)" + v + "}}}";
       },
       10, 9, "wtc", false, std::pair<std::uint64_t, std::uint64_t>{6, 0}},
      {"context_payload",
       [](const std::string& v) { return kAt + R"("type":"turn_context","payload":)" + v + "}"; }},
      // The model stays; the cwd beside it still applies.
      {"model",
       [](const std::string& v) {
         return kAt + R"("type":"turn_context","payload":{"model":)" + v + R"(,"cwd":"/w/wtc2"}})";
       },
       10, 1, "wtc2"},
      {"cwd",
       [](const std::string& v) {
         return kAt + R"("type":"turn_context","payload":{"cwd":)" + v + "}}";
       }},
      // Fast was switched on before; a mistyped thread_settings leaves it on, and a service_tier
      // beside it, at the wrong level, is not read either.
      {"thread_settings",
       [](const std::string& v) {
         return kAt +
                R"("type":"event_msg","payload":{"type":"thread_settings_applied","service_tier":"flex","thread_settings":)" +
                v + "}}";
       },
       10, 1, "wtc", true},
      {"session_meta_timestamp",
       [](const std::string& v) {
         return R"({"timestamp":)" + v + R"(,"type":"session_meta","payload":{}})";
       }},
  };
  TempDir home;
  write_baseline(home.path());
  std::vector<ExtraGroup> extra;
  int n = 100;
  for (const CodexMember& member : members) {
    for (const WrongValue& value : kWrongValues) {
      const std::string model = "x-wtc-" + member.name + "-" + value.kind;
      std::string lines = meta_line("2025-04-07T01:00:00Z") + "\n" +
                          context_line("2025-04-07T01:00:01Z", model, "/w/wtc") + "\n";
      if (member.fast) {
        lines +=
            R"({"timestamp":"2025-04-07T01:00:05Z","type":"event_msg","payload":{"type":"thread_settings_applied","thread_settings":{"service_tier":"priority"}}})"
            "\n";
      }
      lines +=
          member.record(value.json) + "\n" +
          token_line("2025-04-07T01:00:30Z", R"("total_token_usage":)" + usage_json(10, 0, 1)) +
          "\n";
      write_file(codex_root(home.path()) + "/2025/04/07/" + rollout_name(n++), lines);
      std::uint64_t input = member.input;
      std::uint64_t output = member.output;
      if (value.kind == "object" && member.counts_if_object) {
        input = member.counts_if_object->first;
        output = member.counts_if_object->second;
      }
      extra.push_back({"2025-04-07", "codex", member.project, model + (member.fast ? "-fast" : ""),
                       input, output, 0, "2025-04-07T01:00:30.000Z"});
    }
  }
  std::sort(extra.begin(), extra.end(), by_model);
  check_home("codex_wrong_types", home.path(), {report_with(extra)});
}

}  // namespace
