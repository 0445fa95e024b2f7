// Claude Code transcripts: sessions with streamed answers, tool calls, sub-agents, resumed
// sessions that copy earlier answers, and conversation rewrites.
#include <array>
#include <optional>

#include "gen_logs.h"

namespace gen {

namespace {

struct Project {
  std::string root;  // the projects directory it lives in
  std::string cwd;
  std::string dir;  // cwd with every character but letters and digits turned into '-'
};

/// What every line of one transcript repeats.
struct Context {
  std::string session_id;
  std::string cwd;
  std::string version;
  std::string branch;
  std::string agent_id;  // sub-agents only
  bool keyed = true;     // versions that write requestId
  bool fast = false;     // the session runs in fast mode
  std::string model;
};

/// One transcript line, kept so that resumed sessions and rewrites can copy it.
struct Entry {
  std::string type;
  std::string body;        // the value of "message" (or of "data" for progress lines)
  std::string request_id;  // empty: none
  std::string uuid;
  std::string parent;  // empty: a root entry
  std::int64_t time_ms = 0;
  std::string tail;  // extra members, each starting with ','
};

struct Usage {
  std::uint64_t input = 0, cache_write = 0, cache_read = 0, output = 0;
  std::uint64_t cache_write_1h = 0;  // the part of cache_write in the one-hour class
};

constexpr std::array<std::string_view, 9> kModels = {"claude-opus-4-6",
                                                     "claude-opus-4-6",
                                                     "claude-sonnet-4-5-20250929",
                                                     "claude-opus-4-5-20251101",
                                                     "claude-haiku-4-5-20251001",
                                                     "claude-sonnet-4-6",
                                                     "claude-opus-5",
                                                     "claude-sonnet-5",
                                                     "claude-nova-1"};
constexpr std::array<std::string_view, 6> kVersions = {"1.0.98", "2.0.14", "2.0.61",
                                                       "2.1.3",  "2.1.88", "2.1.232"};
constexpr std::array<std::string_view, 4> kBranches = {"main", "develop", "feat/retry-queue",
                                                       "fix/ünïcode-paths"};
constexpr std::array<std::string_view, 7> kTools = {"Bash",  "Read",      "Edit", "Grep",
                                                    "Write", "TodoWrite", "Task"};

std::string project_dir(std::string_view cwd) {
  std::string dir;
  for (std::size_t i = 0; i < cwd.size(); ++i) {
    const auto c = static_cast<unsigned char>(cwd[i]);
    const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    dir += plain ? cwd[i] : '-';
    while (c >= 0xc0 && i + 1 < cwd.size() &&
           (static_cast<unsigned char>(cwd[i + 1]) & 0xc0) == 0x80) {
      ++i;  // one '-' per character, not per byte
    }
  }
  return dir;
}

std::string stop_reason(bool last_block, const std::string& tool) {
  if (!last_block) return "null";
  return tool.empty() ? "\"end_turn\"" : "\"tool_use\"";
}

std::string render(const Context& ctx, const Entry& entry, bool sidechain) {
  std::string line = "{\"parentUuid\":";
  if (entry.parent.empty()) {
    line += "null";
  } else {
    append_string(line, entry.parent);
  }
  line += sidechain ? ",\"isSidechain\":true" : ",\"isSidechain\":false";
  line += ",\"userType\":\"external\",\"cwd\":";
  append_string(line, ctx.cwd);
  line += ",\"sessionId\":";
  append_string(line, ctx.session_id);
  line += ",\"version\":";
  append_string(line, ctx.version);
  line += ",\"gitBranch\":";
  append_string(line, ctx.branch);
  if (!ctx.agent_id.empty()) {
    line += ",\"agentId\":";
    append_string(line, ctx.agent_id);
  }
  const std::string_view body_key = entry.type == "progress" ? "data" : "message";
  if (entry.type == "assistant") {
    // Assistant entries name their type after the message, as Claude Code writes them.
    line += ",\"message\":" + entry.body;
    if (!entry.request_id.empty()) line += ",\"requestId\":\"" + entry.request_id + '"';
    line += ",\"type\":\"assistant\"";
  } else {
    line += ",\"type\":\"" + entry.type + "\",\"" + std::string(body_key) + "\":" + entry.body;
  }
  line += ",\"uuid\":\"" + entry.uuid + "\",\"timestamp\":\"" + iso_time(entry.time_ms) + '"';
  line += entry.tail;
  line += '}';
  return line;
}

std::string usage_json(const Context& ctx, const Usage& usage) {
  std::string out = "{\"input_tokens\":" + std::to_string(usage.input) +
                    ",\"cache_creation_input_tokens\":" + std::to_string(usage.cache_write) +
                    ",\"cache_read_input_tokens\":" + std::to_string(usage.cache_read);
  const bool split = ctx.version >= "2";
  if (split) {
    out += ",\"cache_creation\":{\"ephemeral_5m_input_tokens\":" +
           std::to_string(usage.cache_write - usage.cache_write_1h) +
           ",\"ephemeral_1h_input_tokens\":" + std::to_string(usage.cache_write_1h) + '}';
  }
  out += ",\"output_tokens\":" + std::to_string(usage.output) +
         ",\"server_tool_use\":{\"web_search_requests\":0,\"web_fetch_requests\":0}"
         ",\"service_tier\":\"standard\"";
  if (split) out += ctx.fast ? ",\"speed\":\"fast\"" : ",\"speed\":\"standard\"";
  return out + '}';
}

class ClaudeWriter : AgentWriter {
 public:
  ClaudeWriter(const Options& options, std::uint64_t budget)
      : AgentWriter(options, 1, budget, (options.huge_lines + 1) / 2) {
    for (int i = 0; i < 14; ++i) {
      static constexpr std::array<std::string_view, 4> kParents = {
          "/Users/dev/code/", "/home/dev/work/", "/Users/dev/code/clients/acme/", "/home/mchen/"};
      std::string cwd(rng_.pick(kParents));
      cwd += content_.word(rng_);
      if (rng_.below(2) == 0) cwd += "-" + std::string(content_.word(rng_));
      if (i == 3) cwd += "-café";
      const std::string root =
          options_.out + (i == 5 ? "/home/.config/claude/projects/" : "/home/.claude/projects/");
      projects_.push_back({root, cwd, project_dir(cwd)});
    }
  }

  std::uint64_t run() {
    std::optional<Session> resumed;
    while (written_ < budget_) resumed = write_session(std::move(resumed));
    for (std::uint64_t i = 0; i < options_.small_files; ++i) write_small_file(i);
    return written_;
  }

 private:
  struct Session {
    Context ctx;
    const Project* project = nullptr;
    std::vector<Entry> entries;
    std::int64_t now = 0;
  };

  std::uint64_t session_target() {
    const std::uint64_t tier = rng_.below(100);
    const std::uint64_t target = tier < 75   ? rng_.between(5'000, 150'000)
                                 : tier < 97 ? rng_.between(150'000, 1'500'000)
                                             : rng_.between(1'500'000, 8'000'000);
    return std::min(target, remaining());
  }

  // Returns the session when it is to be resumed in a new file.
  std::optional<Session> write_session(std::optional<Session> resumed_from) {
    Session s;
    if (resumed_from) {
      s = std::move(*resumed_from);
      s.ctx.session_id = uuid(rng_);
      s.now += static_cast<std::int64_t>(rng_.between(600, 3 * 86'400)) * 1000;
      // A resumed session starts with a copy of the conversation so far: same uuids, ids
      // and times, so the same answers stand in two files.
      const auto keep = static_cast<std::size_t>(rng_.between(1, s.entries.size()));
      s.entries.resize(keep);
    } else {
      s.project = &projects_[static_cast<std::size_t>(rng_.below(projects_.size()))];
      s.ctx.session_id = uuid(rng_);
      s.ctx.cwd = s.project->cwd;
      s.ctx.version = rng_.pick(kVersions);
      s.ctx.branch = rng_.pick(kBranches);
      s.ctx.keyed = s.ctx.version >= "1.0.99" || rng_.below(2) == 0;
      s.ctx.model = rng_.pick(kModels);
      s.ctx.fast = s.ctx.model == "claude-opus-4-6" && rng_.below(8) == 0;
      s.now = random_start_ms(options_, rng_);
    }
    const std::string dir = s.project->root + s.project->dir;
    LogFile file(options_, rng_, dir + "/" + s.ctx.session_id + ".jsonl");
    if (rng_.below(3) == 0) {
      std::string summary = "{\"type\":\"summary\",\"summary\":";
      append_string(summary, content_.prose(rng_, 40));
      file.add(summary + ",\"leafUuid\":\"" + uuid(rng_) + "\"}");
    }
    for (const Entry& entry : s.entries) file.add(render(s.ctx, entry, false));

    const std::uint64_t target = session_target();
    const bool rewrite = rng_.chance(options_.rewrites);
    // A rewrite needs a turn before it and one after it, whatever the size.
    int turns = 0;
    while (file.size() < target || (rewrite && turns < 2)) {
      if (rewrite && turns == 1) write_rewrite(s, file);
      write_turn(s, file, dir);
      ++turns;
    }
    written_ += file.write();
    if (!rng_.chance(options_.resumed)) return std::nullopt;
    return s;
  }

  void add(Session& s, LogFile& file, Entry entry, bool root = false) {
    entry.uuid = uuid(rng_);
    entry.parent = s.entries.empty() || root ? "" : s.entries.back().uuid;
    entry.time_ms = s.now;
    file.add(render(s.ctx, entry, !s.ctx.agent_id.empty()));
    s.entries.push_back(std::move(entry));
  }

  void write_turn(Session& s, LogFile& file, const std::string& dir) {
    Entry prompt{"user", "{\"role\":\"user\",\"content\":", "", "", "", 0, ""};
    append_string(prompt.body,
                  content_.prose(rng_, static_cast<std::size_t>(rng_.between(30, 3000))));
    prompt.body += '}';
    if (rng_.below(4) == 0)
      prompt.tail = ",\"thinkingMetadata\":{\"level\":\"high\",\"disabled\":false}";
    add(s, file, std::move(prompt));

    std::uint64_t context = rng_.between(8'000, 30'000);
    const auto steps = rng_.between(1, 6);
    for (std::uint64_t step = 0; step < steps; ++step) {
      s.now += static_cast<std::int64_t>(rng_.between(2'000, 40'000));
      if (rng_.below(60) == 0) {
        write_api_error(s, file);
        continue;
      }
      const std::string message_id = "msg_01" + random_text(rng_, 22, kBase62);
      const std::string request_id = s.ctx.keyed ? "req_011C" + random_text(rng_, 18, kBase62) : "";
      Usage usage{rng_.below(4) == 0 ? rng_.between(500, 20'000) : rng_.between(1, 12),
                  rng_.between(0, 6'000), context, rng_.between(5, 3'000), 0};
      if (rng_.below(3) == 0) usage.cache_write_1h = rng_.below(usage.cache_write + 1);
      context += usage.cache_write + usage.output;
      const bool last = step + 1 == steps;
      std::vector<std::string> blocks;
      if (rng_.below(2) == 0) blocks.push_back(thinking_block());
      if (last || rng_.below(3) == 0) blocks.push_back(text_block());
      std::string tool;
      std::string tool_id;
      if (!last) {
        tool = rng_.pick(kTools);
        tool_id = "toolu_01" + random_text(rng_, 22, kBase62);
        blocks.push_back(tool_block(tool, tool_id, s.ctx.cwd));
      }
      // Streamed answer: one line per content block, each with the message's usage; the
      // output count of the earlier lines is often still partial.
      for (std::size_t b = 0; b < blocks.size(); ++b) {
        Usage line_usage = usage;
        if (b + 1 < blocks.size() && rng_.below(2) == 0)
          line_usage.output = rng_.between(1, usage.output);
        std::string body =
            "{\"model\":\"" + s.ctx.model + "\",\"id\":\"" + message_id +
            "\",\"type\":\"message\",\"role\":\"assistant\",\"content\":[" + blocks[b] +
            "],\"stop_reason\":" + stop_reason(b + 1 == blocks.size(), tool) +
            ",\"stop_sequence\":null,\"usage\":" + usage_json(s.ctx, line_usage) + '}';
        add(s, file, Entry{"assistant", std::move(body), request_id, "", "", 0, ""});
        s.now += static_cast<std::int64_t>(rng_.between(50, 3'000));
      }
      if (tool.empty()) continue;
      const std::string result =
          tool == "Task" && s.ctx.agent_id.empty() ? write_sub_agent(s, file, dir) : tool_output();
      s.now += static_cast<std::int64_t>(rng_.between(300, 60'000));
      Entry entry{"user",
                  "{\"role\":\"user\",\"content\":[{\"tool_use_id\":\"" + tool_id +
                      "\",\"type\":\"tool_result\",\"content\":",
                  "",
                  "",
                  "",
                  0,
                  ""};
      append_string(entry.body, result);
      entry.body += ",\"is_error\":" + std::string(rng_.below(10) == 0 ? "true" : "false") + "}]}";
      if (tool == "Bash" && rng_.below(2) == 0) {
        // Claude Code repeats a command's output in toolUseResult, doubling the line.
        entry.tail = ",\"toolUseResult\":{\"stdout\":";
        append_string(entry.tail, result);
        entry.tail += ",\"stderr\":\"\",\"interrupted\":false,\"isImage\":false}";
      }
      add(s, file, std::move(entry));
    }
  }

  // An API failure that Claude Code logs as an answer of the model "<synthetic>".
  void write_api_error(Session& s, LogFile& file) {
    Entry entry{"assistant",
                "{\"id\":\"" + uuid(rng_) +
                    "\",\"model\":\"<synthetic>\",\"role\":\"assistant\",\"stop_reason\":"
                    "\"stop_sequence\",\"type\":\"message\",\"usage\":{\"input_tokens\":0,"
                    "\"output_tokens\":0,\"cache_creation_input_tokens\":0,"
                    "\"cache_read_input_tokens\":0},\"content\":[{\"type\":\"text\",\"text\":"
                    "\"API Error: 529 {\\\"type\\\":\\\"error\\\",\\\"error\\\":{\\\"type\\\":"
                    "\\\"overloaded_error\\\"}}\"}]}",
                "",
                "",
                "",
                0,
                ",\"isApiErrorMessage\":true"};
    add(s, file, std::move(entry));
  }

  // Some versions write the conversation again: a new root, then copies of earlier entries
  // with new uuids under one timestamp, the answers keeping message id and usage but losing
  // their requestId.
  void write_rewrite(Session& s, LogFile& file) {
    s.now += static_cast<std::int64_t>(rng_.between(60'000, 86'400'000));
    const std::vector<Entry> earlier = s.entries;
    Entry root{"system",
               "{\"role\":\"system\",\"content\":\"Conversation compacted\"}",
               "",
               "",
               "",
               0,
               ",\"subtype\":\"compact_boundary\""};
    add(s, file, std::move(root), true);
    const auto first = static_cast<std::size_t>(rng_.below(earlier.size() / 2 + 1));
    for (std::size_t i = first; i < earlier.size(); ++i) {
      if (earlier[i].type != "user" && earlier[i].type != "assistant") continue;
      Entry copy = earlier[i];
      copy.request_id.clear();
      add(s, file, std::move(copy));
    }
  }

  std::string thinking_block() {
    std::string block = "{\"type\":\"thinking\",\"thinking\":";
    append_string(block, content_.prose(rng_, static_cast<std::size_t>(rng_.between(100, 20'000))));
    return block + ",\"signature\":\"" + random_text(rng_, 600, kBase64) + "\"}";
  }

  std::string text_block() {
    const std::size_t size = rng_.below(40) == 0
                                 ? static_cast<std::size_t>(rng_.between(20'000, 300'000))
                                 : static_cast<std::size_t>(rng_.between(40, 4'000));
    std::string block = "{\"type\":\"text\",\"text\":";
    append_string(block, content_.prose(rng_, size));
    return block + '}';
  }

  std::string tool_block(const std::string& tool, const std::string& id, std::string_view cwd) {
    std::string input;
    const auto add_member = [&](std::string_view key, std::string_view value) {
      input += input.empty() ? "{" : ",";
      append_string(input, key);
      input += ':';
      append_string(input, value);
    };
    if (tool == "Bash") {
      add_member("command",
                 "rg -n \"" + std::string(content_.word(rng_)) + "\\(\" src/ | head -50");
      add_member("description", content_.prose(rng_, 20));
    } else if (tool == "Edit" || tool == "Write") {
      add_member("file_path", content_.file_path(rng_, cwd));
      add_member(tool == "Edit" ? "old_string" : "content", content_.code(rng_, output_size(rng_)));
      if (tool == "Edit") add_member("new_string", content_.code(rng_, output_size(rng_)));
    } else if (tool == "TodoWrite") {
      input = "{\"todos\":[";
      for (int i = 0; i < 4; ++i) {
        input += i == 0 ? "{\"content\":" : ",{\"content\":";
        append_string(input, content_.prose(rng_, 30));
        input += i < 2 ? ",\"status\":\"completed\"}" : ",\"status\":\"pending\"}";
      }
      input += ']';
    } else if (tool == "Task") {
      add_member("description", content_.prose(rng_, 20));
      add_member("prompt", content_.prose(rng_, 800));
      add_member("subagent_type", "general-purpose");
    } else {
      add_member(tool == "Grep" ? "pattern" : "file_path", content_.file_path(rng_, cwd));
    }
    input += '}';
    return "{\"type\":\"tool_use\",\"id\":\"" + id + "\",\"name\":\"" + tool +
           "\",\"input\":" + input + '}';
  }

  // A sub-agent's own transcript; its answers also show up in the parent as progress lines
  // (which carry usage but are not answers of their own). Returns the sub-agent's report.
  std::string write_sub_agent(Session& parent, LogFile& parent_file, const std::string& dir) {
    Session sub;
    sub.project = parent.project;
    sub.ctx = parent.ctx;
    sub.ctx.agent_id = random_text(rng_, parent.ctx.version >= "2.1" ? 17 : 8, "0123456789abcdef");
    sub.ctx.model = rng_.below(2) == 0 ? "claude-haiku-4-5-20251001" : parent.ctx.model;
    sub.now = parent.now;
    // Newer versions keep sub-agents in a folder named after the session.
    const std::string path =
        parent.ctx.version >= "2.1"
            ? dir + "/" + parent.ctx.session_id + "/subagents/agent-" + sub.ctx.agent_id + ".jsonl"
            : dir + "/agent-" + sub.ctx.agent_id + ".jsonl";
    LogFile file(options_, rng_, path);
    const auto turns = rng_.between(1, 3);
    for (std::uint64_t i = 0; i < turns; ++i) write_turn(sub, file, dir);
    for (const Entry& entry : sub.entries) {
      if (entry.type != "assistant" || rng_.below(2) == 0) continue;
      Entry progress{
          "progress",
          "{\"message\":" + render(sub.ctx, entry, true) + ",\"type\":\"agent_progress\"}",
          "",
          "",
          "",
          0,
          ""};
      parent.now = entry.time_ms;
      add(parent, parent_file, std::move(progress));
    }
    parent.now = sub.now;
    written_ += file.write();
    return content_.prose(rng_, static_cast<std::size_t>(rng_.between(200, 6'000)));
  }

  // About 2 KB: one prompt and one answer, for the per-file cost of many small sessions.
  void write_small_file(std::uint64_t index) {
    Session s;
    const Project& project = projects_[static_cast<std::size_t>(index % projects_.size())];
    s.project = &project;
    s.ctx = Context{uuid(rng_), project.cwd, "2.0.61", "main",
                    "",         true,        false,    "claude-sonnet-4-5-20250929"};
    s.now = random_start_ms(options_, rng_);
    const std::string dir = project.root + "small-" + std::to_string(index / 100) + project.dir;
    LogFile file(options_, rng_, dir + "/" + s.ctx.session_id + ".jsonl");
    Entry prompt{"user", "{\"role\":\"user\",\"content\":", "", "", "", 0, ""};
    append_string(prompt.body, content_.prose(rng_, 300));
    prompt.body += '}';
    add(s, file, std::move(prompt));
    s.now += 4'000;
    const Usage usage{rng_.between(1, 12), rng_.between(0, 900), 9'000, rng_.between(5, 300), 0};
    add(s, file,
        Entry{"assistant",
              "{\"model\":\"" + s.ctx.model + "\",\"id\":\"msg_01" +
                  random_text(rng_, 22, kBase62) +
                  "\",\"type\":\"message\",\"role\":\"assistant\",\"content\":[" +
                  "{\"type\":\"text\",\"text\":\"Done.\"}],\"usage\":" + usage_json(s.ctx, usage) +
                  '}',
              "req_011C" + random_text(rng_, 18, kBase62), "", "", 0, ""});
    written_ += file.write();
  }

  std::vector<Project> projects_;
};

}  // namespace

std::uint64_t write_claude_logs(const Options& options, std::uint64_t budget) {
  return ClaudeWriter(options, budget).run();
}

}  // namespace gen
