// Codex rollouts: running token totals, resumed sessions, archived copies, review spans of
// every version, rollouts of versions without turn_context, and the configuration file.
#include <algorithm>
#include <array>

#include "gen_logs.h"

namespace gen {

namespace {

struct Tokens {
  std::uint64_t input = 0, cached = 0, output = 0, reasoning = 0;

  Tokens& operator+=(const Tokens& other) {
    input += other.input;
    cached += other.cached;
    output += other.output;
    reasoning += other.reasoning;
    return *this;
  }
};

/// How a version of Codex writes a rollout.
enum class Era {
  no_turn_context,  // before 0.35: the cwd is only in session_meta
  review_inline,    // 0.35 to 0.50: a review runs inside the conversation
  review_mirrored,  // 0.51 to 0.77: a review sub-agent's reports are copied into the parent
  current,
};

constexpr std::array<std::string_view, 7> kModels = {
    "gpt-5-codex", "gpt-5.1-codex-max", "gpt-5.2",     "gpt-5.4",
    "gpt-5.5",     "gpt-5.6-sol",       "gpt-oss-120b"};
constexpr std::array<std::string_view, 4> kCurrentVersions = {"0.80.0", "0.98.1", "0.118.0",
                                                              "0.135.0"};
constexpr std::array<std::string_view, 5> kCwds = {
    "/Users/dev/code/monorepo", "/home/dev/work/ledger-export", "/home/mchen/projects/edge-worker",
    "C:\\Users\\dev\\source\\repos\\Inventory", "/Users/dev/code/data-étl/"};

std::string usage_json(const Tokens& tokens) {
  return "{\"input_tokens\":" + std::to_string(tokens.input) +
         ",\"cached_input_tokens\":" + std::to_string(tokens.cached) +
         ",\"output_tokens\":" + std::to_string(tokens.output) +
         ",\"reasoning_output_tokens\":" + std::to_string(tokens.reasoning) +
         ",\"total_tokens\":" + std::to_string(tokens.input + tokens.output) + '}';
}

class CodexWriter : AgentWriter {
 public:
  CodexWriter(const Options& options, std::uint64_t budget)
      : AgentWriter(options, 2, budget, options.huge_lines / 2) {}

  std::uint64_t run() {
    while (written_ < budget_) write_rollout();
    for (std::uint64_t i = 0; i < options_.small_files; ++i) write_small_file();
    write_config();
    return written_;
  }

 private:
  /// The state of one rollout being written.
  struct Rollout {
    std::string id;
    std::string cwd;
    std::string model;
    std::string version;
    Era era = Era::current;
    std::int64_t start = 0;
    std::int64_t now = 0;
    Tokens totals;
    Tokens last;
    bool ascii = false;  // writes non-ASCII text as \u escapes
    bool brief = false;  // leaves the long instructions out
  };

  std::string home() const { return options_.out + "/home/.codex"; }

  std::string file_name(const Rollout& r) const {
    std::string stamp = iso_time(r.start).substr(0, 19);
    std::replace(stamp.begin(), stamp.end(), ':', '-');
    return "rollout-" + stamp + "-" + r.id + ".jsonl";
  }

  std::string session_path(const Rollout& r) const {
    const std::string day = iso_time(r.start);
    return home() + "/sessions/" + day.substr(0, 4) + "/" + day.substr(5, 2) + "/" +
           day.substr(8, 2) + "/" + file_name(r);
  }

  std::string record(const Rollout& r, std::string_view type, std::string_view payload) const {
    return "{\"timestamp\":\"" + iso_time(r.now) + "\",\"type\":\"" + std::string(type) +
           "\",\"payload\":" + std::string(payload) + '}';
  }

  std::string text(const Rollout& r, std::string_view value) const {
    std::string out;
    append_string(out, value, r.ascii);
    return out;
  }

  static std::string quoted(std::string_view value) {
    std::string out;
    append_string(out, value);
    return out;
  }

  void tick(Rollout& r, std::uint64_t lo_ms, std::uint64_t hi_ms) {
    r.now += static_cast<std::int64_t>(rng_.between(lo_ms, hi_ms));
  }

  Rollout new_rollout() {
    Rollout r;
    r.id = uuid(rng_);
    r.cwd = rng_.pick(kCwds);
    r.model = rng_.pick(kModels);
    if (rng_.chance(options_.no_turn_context)) {
      r.era = Era::no_turn_context;
      r.version = "0." + std::to_string(rng_.between(20, 34)) + ".0";
    } else if (rng_.chance(options_.review_spans)) {
      r.era = rng_.below(2) == 0 ? Era::review_inline : Era::review_mirrored;
      r.version = "0." +
                  std::to_string(r.era == Era::review_inline ? rng_.between(35, 50)
                                                             : rng_.between(51, 77)) +
                  ".0";
    } else {
      r.version = rng_.pick(kCurrentVersions);
    }
    r.ascii = rng_.below(5) == 0;
    r.start = r.now = random_start_ms(options_, rng_);
    return r;
  }

  void write_rollout() {
    Rollout r = new_rollout();
    const std::uint64_t tier = rng_.below(10);
    const std::uint64_t target = std::min(
        tier < 8 ? rng_.between(10'000, 250'000) : rng_.between(250'000, 4'000'000), remaining());
    const bool archived = rng_.below(10) == 0;
    LogFile file(options_, rng_,
                 archived ? home() + "/archived_sessions/" + file_name(r) : session_path(r));
    write_session_meta(r, file, "\"cli\"");
    std::string instructions =
        "{\"type\":\"message\",\"role\":\"user\",\"content\":[{\"type\":"
        "\"input_text\",\"text\":" +
        text(r, content_.prose(rng_, 3'000)) + "}]}";
    file.add(record(r, "response_item", instructions));
    if (rng_.below(2) == 0) {
      file.add(record(r, "event_msg",
                      "{\"type\":\"token_count\",\"info\":null,\"rate_limits\":"
                      "{\"primary\":{\"used_percent\":12.0,\"window_minutes\":300}}}"));
    }
    const bool resumed = rng_.below(12) == 0;
    // The shapes below need turns before and after them, whatever the size.
    const bool review = r.era == Era::review_inline || r.era == Era::review_mirrored;
    const int min_turns = resumed ? 3 : review ? 2 : 1;
    for (int turn = 0; file.size() < target || turn < min_turns; ++turn) {
      if (turn == 1 && r.era == Era::review_inline) write_inline_review(r, file);
      if (turn == 1 && r.era == Era::review_mirrored) write_mirrored_review(r, file);
      if (turn == 2 && resumed) write_resume(r, file);
      write_turn(r, file);
    }
    // Some archived conversations are still under sessions too: only one of them may count.
    written_ += file.write(archived && rng_.below(2) == 0 ? session_path(r) : "");
  }

  void write_session_meta(const Rollout& r, LogFile& file, std::string_view source) {
    const std::string instructions = text(r, content_.prose(rng_, 12'000));
    const std::string commit = random_text(rng_, 40, "0123456789abcdef");
    std::string payload =
        "{\"id\":\"" + r.id + "\",\"timestamp\":\"" + iso_time(r.now) +
        "\",\"cwd\":" + text(r, r.cwd) + ",\"originator\":\"codex_cli_rs\",\"cli_version\":\"" +
        r.version + "\",\"source\":" + std::string(source) +
        ",\"model_provider\":\"openai\",\"base_instructions\":{\"text\":" + instructions +
        "},\"git\":{\"commit_hash\":\"" + commit + "\",\"branch\":\"main\"}}";
    file.add(record(r, "session_meta", payload));
  }

  void write_turn_context(const Rollout& r, LogFile& file) {
    if (r.era == Era::no_turn_context) return;
    std::string payload = "{\"turn_id\":\"" + uuid(rng_) + "\",\"cwd\":" + text(r, r.cwd) +
                          ",\"approval_policy\":\"on-request\",\"sandbox_policy\":{\"type\":"
                          "\"workspace-write\",\"writable_roots\":[],\"network_access\":false},"
                          "\"model\":\"" +
                          r.model + "\",\"effort\":\"high\",\"summary\":\"auto\"";
    if (!r.brief && rng_.below(2) == 0)
      payload += ",\"user_instructions\":" + text(r, content_.prose(rng_, 4'000));
    file.add(record(r, "turn_context", payload + '}'));
  }

  // One model call of a conversation whose context is `totals`-sized so far.
  Tokens next_call(const Tokens& context) {
    Tokens call;
    call.input = std::min<std::uint64_t>(context.input / 8 + rng_.between(3'000, 40'000), 260'000);
    call.cached = call.input - std::min(call.input, rng_.between(200, 8'000));
    call.output = rng_.between(20, 4'000);
    call.reasoning = rng_.below(call.output);
    return call;
  }

  void write_token_count(Rollout& r, LogFile& file, const Tokens& totals, const Tokens& last,
                         bool with_last) {
    std::string info = "{\"total_token_usage\":" + usage_json(totals);
    if (with_last) info += ",\"last_token_usage\":" + usage_json(last);
    info += ",\"model_context_window\":272000}";
    file.add(record(
        r, "event_msg",
        "{\"type\":\"token_count\",\"info\":" + info +
            ",\"rate_limits\":{\"primary\":{\"used_percent\":" + std::to_string(rng_.below(100)) +
            ".5,\"window_minutes\":300},\"plan_type\":\"team\"}}"));
  }

  void write_turn(Rollout& r, LogFile& file) {
    tick(r, 20'000, 1'800'000);
    write_turn_context(r, file);
    if (r.era == Era::current && rng_.below(30) == 0) {
      static constexpr std::array<std::string_view, 4> kTiers = {"priority", "flex", "fast",
                                                                 "Fast"};
      file.add(record(r, "event_msg",
                      "{\"type\":\"thread_settings_applied\",\"thread_settings\":"
                      "{\"service_tier\":\"" +
                          std::string(rng_.pick(kTiers)) + "\"}}"));
    }
    const std::string prompt =
        text(r, content_.prose(rng_, static_cast<std::size_t>(rng_.between(40, 2'000))));
    file.add(record(r, "event_msg", "{\"type\":\"task_started\",\"model_context_window\":272000}"));
    file.add(record(r, "response_item",
                    "{\"type\":\"message\",\"role\":\"user\",\"content\":[{\"type\":"
                    "\"input_text\",\"text\":" +
                        prompt + "}]}"));
    file.add(record(r, "event_msg",
                    "{\"type\":\"user_message\",\"message\":" + prompt + ",\"images\":[]}"));
    const auto steps = rng_.between(1, 8);
    for (std::uint64_t step = 0; step < steps; ++step) {
      tick(r, 1'000, 60'000);
      const std::string summary = text(r, content_.prose(rng_, 200));
      const auto encrypted_size = static_cast<std::size_t>(rng_.between(400, 8'000));
      file.add(record(r, "response_item",
                      "{\"type\":\"reasoning\",\"summary\":[{\"type\":\"summary_text\","
                      "\"text\":" +
                          summary + "}],\"content\":null,\"encrypted_content\":\"" +
                          random_text(rng_, encrypted_size, kBase64) + "\"}"));
      write_tool_call(r, file, step + 1 == steps);
      r.last = next_call(r.totals);
      r.totals += r.last;
      // Versions before turn_context often reported totals only.
      write_token_count(r, file, r.totals, r.last,
                        r.era != Era::no_turn_context || rng_.below(2) == 0);
      if (rng_.below(50) == 0) write_token_count(r, file, r.totals, r.last, true);  // a repeat
    }
    file.add(record(
        r, "event_msg",
        "{\"type\":\"agent_message\",\"message\":" + text(r, content_.prose(rng_, 600)) + "}"));
    file.add(record(r, "event_msg", "{\"type\":\"task_complete\",\"last_agent_message\":null}"));
  }

  void write_tool_call(Rollout& r, LogFile& file, bool final_step) {
    const std::string call_id = "call_" + random_text(rng_, 24, kBase62);
    const std::string output = tool_output();
    if (final_step || rng_.below(4) == 0) {
      std::string patch = "*** Begin Patch\n*** Update File: " + content_.file_path(rng_, "src");
      patch += "\n@@\n-" + content_.code(rng_, 300);
      patch += "\n+" + content_.code(rng_, 400) + "\n*** End Patch";
      file.add(record(r, "response_item",
                      "{\"type\":\"custom_tool_call\",\"status\":\"completed\",\"call_id\":\"" +
                          call_id + "\",\"name\":\"apply_patch\",\"input\":" + text(r, patch) +
                          "}"));
      tick(r, 200, 5'000);
      file.add(record(r, "response_item",
                      "{\"type\":\"custom_tool_call_output\",\"call_id\":\"" + call_id +
                          "\",\"output\":" +
                          text(r, "Success. Updated the following files:\nM src/lib.rs") + "}"));
      return;
    }
    // Tool arguments and results are JSON documents inside JSON strings.
    std::string arguments = "{\"command\":[\"bash\",\"-lc\",";
    append_string(arguments, "rg -n \"" + std::string(content_.word(rng_)) + "\" src | head -40");
    arguments += "],\"workdir\":";
    append_string(arguments, r.cwd);
    arguments += ",\"timeout_ms\":120000}";
    file.add(record(r, "response_item",
                    "{\"type\":\"function_call\",\"name\":\"shell\",\"arguments\":" +
                        text(r, arguments) + ",\"call_id\":\"" + call_id + "\"}"));
    tick(r, 200, 30'000);
    std::string result = "{\"output\":";
    append_string(result, output);
    result += ",\"metadata\":{\"exit_code\":" + std::to_string(rng_.below(3));
    result += ",\"duration_seconds\":0." + std::to_string(rng_.below(1000)) + "}}";
    file.add(record(r, "response_item",
                    "{\"type\":\"function_call_output\",\"call_id\":\"" + call_id +
                        "\",\"output\":" + text(r, result) + "}"));
  }

  // Resuming appends a second session_meta and replays the current totals just after it.
  void write_resume(Rollout& r, LogFile& file) {
    tick(r, 3'600'000, 2 * 86'400'000);
    write_session_meta(r, file, "\"cli\"");
    tick(r, 100, 900);
    write_token_count(r, file, r.totals, r.last, true);
  }

  std::string review_marker(bool enter) {
    if (enter) {
      return "{\"type\":\"entered_review_mode\",\"target\":{\"type\":\"uncommittedChanges\"},"
             "\"user_facing_hint\":\"current changes\"}";
    }
    const std::string title = quoted("[P1] " + content_.prose(rng_, 60));
    return "{\"type\":\"exited_review_mode\",\"review_output\":{\"findings\":[{\"title\":" + title +
           ",\"body\":" + quoted(content_.prose(rng_, 800)) +
           ",\"confidence_score\":0.7,\"priority\":1}],\"overall_correctness\":\"patch is "
           "incorrect\",\"overall_confidence_score\":0.8}}";
  }

  // Before 0.51 a review is a turn of the conversation: its reports continue the totals and
  // its turn_context comes just before the marker or inside the span; the exit marker is
  // sometimes missing, and the next turn_context ends the span.
  void write_inline_review(Rollout& r, LogFile& file) {
    const bool context_first = rng_.below(2) == 0;
    tick(r, 10'000, 300'000);
    if (context_first) write_turn_context(r, file);
    file.add(record(r, "event_msg", review_marker(true)));
    if (!context_first) write_turn_context(r, file);
    for (std::uint64_t i = 0, n = rng_.between(1, 4); i < n; ++i) {
      tick(r, 2'000, 40'000);
      r.last = next_call(r.totals);
      r.totals += r.last;
      write_token_count(r, file, r.totals, r.last, true);
    }
    if (rng_.below(4) != 0) file.add(record(r, "event_msg", review_marker(false)));
  }

  // From 0.51 a review runs as a sub-agent with a rollout of its own, and its reports (its own
  // totals, from zero) are copied into the parent between the two markers, without turn_context.
  void write_mirrored_review(Rollout& parent, LogFile& parent_file) {
    tick(parent, 10'000, 300'000);
    Rollout sub = parent;
    sub.id = uuid(rng_);
    sub.start = sub.now;
    sub.totals = Tokens{};
    sub.model = "codex-auto-review";
    LogFile file(options_, rng_, session_path(sub));
    write_session_meta(sub, file, "{\"subagent\":\"review\"}");
    write_turn_context(sub, file);
    parent_file.add(record(parent, "event_msg", review_marker(true)));
    for (std::uint64_t i = 0, n = rng_.between(1, 5); i < n; ++i) {
      tick(sub, 2'000, 40'000);
      sub.last = next_call(sub.totals);
      sub.totals += sub.last;
      write_token_count(sub, file, sub.totals, sub.last, true);
      parent.now = sub.now;
      write_token_count(parent, parent_file, sub.totals, sub.last, true);
    }
    tick(parent, 1'000, 5'000);
    parent_file.add(record(parent, "event_msg", review_marker(false)));
    written_ += file.write();
  }

  void write_small_file() {
    Rollout r = new_rollout();
    r.brief = true;
    LogFile file(options_, rng_, session_path(r));
    write_turn_context(r, file);
    r.last = next_call(r.totals);
    r.totals = r.last;
    tick(r, 2'000, 20'000);
    write_token_count(r, file, r.totals, r.last, true);
    file.add(record(
        r, "event_msg",
        "{\"type\":\"agent_message\",\"message\":" + text(r, content_.prose(rng_, 600)) + "}"));
    written_ += file.write();
  }

  void write_config() {
    std::string config =
        "# Codex configuration\nmodel = \"gpt-5.5\"\napproval_policy = \"on-request\"\n";
    if (options_.service_tier != "none") {
      config +=
          "service_tier = \"" + options_.service_tier + "\"  # default tier for new threads\n";
    }
    config +=
        "\n[profiles.fast]\nmodel = \"gpt-5.4\"\nservice_tier = \"priority\"\n\n"
        "[projects.\"/home/dev/work/ledger-export\"]\ntrust_level = \"trusted\"\n";
    Options plain = options_;
    plain.malformed = plain.truncated = plain.crlf = 0;
    LogFile file(plain, rng_, home() + "/config.toml");
    file.add(config.substr(0, config.size() - 1));
    file.write();
  }
};

}  // namespace

std::uint64_t write_codex_logs(const Options& options, std::uint64_t budget) {
  return CodexWriter(options, budget).run();
}

}  // namespace gen
