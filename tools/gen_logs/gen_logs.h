// Shared pieces of the synthetic log generator: its options, JSON text, content and files.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "random.h"

namespace gen {

/// What to generate. Shares and rates are integers in parts per million.
struct Options {
  std::string out;
  std::uint64_t seed = 1;
  std::uint64_t size_bytes = 10u << 20;
  std::uint32_t claude_share = 600'000;
  std::int64_t start_day = 0;  // days since 1970-01-01, set from --start
  std::int64_t days = 90;
  std::string service_tier = "flex";  // "none" leaves the key out of config.toml
  std::uint64_t small_files = 0;      // extra ~2 KB files per agent
  std::uint32_t resumed = 150'000;    // Claude Code sessions resumed in a new file
  std::uint32_t rewrites = 0;         // Claude Code sessions with a conversation rewrite
  std::uint32_t review_spans = 0;     // Codex rollouts with a /review span
  std::uint32_t no_turn_context = 0;  // Codex rollouts of versions without turn_context
  std::uint32_t malformed = 0;        // per line: a broken line inserted before it
  std::uint32_t truncated = 0;        // per file: the last line cut off
  std::uint32_t crlf = 0;             // per file: CRLF line endings
  std::uint64_t huge_lines = 0;
  std::uint64_t huge_line_bytes = 8u << 20;
};

/// Appends `text` as a JSON string with its quotes; `ascii_only` writes every non-ASCII
/// character as \u escapes (surrogate pairs above U+FFFF), as some writers do.
void append_string(std::string& out, std::string_view text, bool ascii_only = false);

/// "2026-03-02T09:10:49.616Z" for milliseconds since the epoch.
std::string iso_time(std::int64_t ms);

/// A random lower-case UUID, 36 characters.
std::string uuid(Rng& rng);

/// `length` random characters of `alphabet`.
std::string random_text(Rng& rng, std::size_t length, std::string_view alphabet);
inline constexpr std::string_view kBase62 =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
inline constexpr std::string_view kBase64 =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

/// Size of a tool's output: mostly short, some tens of KB, a few hundreds of KB.
std::size_t output_size(Rng& rng);

/// Text that reads like what agents and tools write: prose in several languages with emoji,
/// and code or command output full of quotes, backslashes, tabs and newlines.
class Content {
 public:
  explicit Content(Rng& rng);
  std::string prose(Rng& rng, std::size_t bytes) const {
    return assemble(rng, sentences_, " ", bytes);
  }
  std::string code(Rng& rng, std::size_t bytes) const {
    return assemble(rng, code_lines_, "\n", bytes);
  }
  std::string_view word(Rng& rng) const;
  std::string file_path(Rng& rng, std::string_view root) const;

 private:
  static std::string assemble(Rng& rng, const std::vector<std::string>& pool, std::string_view sep,
                              std::size_t bytes);
  std::vector<std::string> sentences_;
  std::vector<std::string> code_lines_;
};

/// One log file, built in memory and written at once, with the awkward cases the options ask for.
class LogFile {
 public:
  LogFile(const Options& options, Rng& rng, std::string path);
  /// Adds one line (without its newline); may put a broken line before it.
  void add(std::string_view line);
  std::uint64_t size() const { return text_.size(); }
  /// Creates the parent directories and writes the file, and the same bytes to `copy_path`
  /// unless it is empty; returns the bytes written.
  std::uint64_t write(const std::string& copy_path = "");

 private:
  const Options& options_;
  Rng rng_;
  std::string path_;
  std::string text_;
};

/// What both agents' writers share: the options, a random stream of their own (so that one
/// agent's choices do not shift the other's), the content pools and the byte budget.
/// Each random draw stands in a statement of its own: compilers evaluate the operands of one
/// expression in different orders, and the files would differ with them.
class AgentWriter {
 protected:
  AgentWriter(const Options& options, std::uint64_t stream, std::uint64_t budget,
              std::uint64_t huge_lines)
      : options_(options),
        rng_(options.seed * 2 + stream),
        content_(rng_),
        budget_(budget),
        huge_left_(huge_lines) {}

  std::uint64_t remaining() const { return budget_ - std::min(budget_, written_); }

  /// The next tool output: huge while --huge-lines are left to write, else of output_size.
  std::string tool_output() {
    if (huge_left_ == 0) return content_.code(rng_, output_size(rng_));
    --huge_left_;
    return content_.code(rng_, static_cast<std::size_t>(options_.huge_line_bytes));
  }

  const Options& options_;
  Rng rng_;
  Content content_;
  std::uint64_t budget_;
  std::uint64_t written_ = 0;

 private:
  std::uint64_t huge_left_;
};

/// The two agents' homes; each returns the bytes it wrote.
std::uint64_t write_claude_logs(const Options& options, std::uint64_t budget);
std::uint64_t write_codex_logs(const Options& options, std::uint64_t budget);

/// Milliseconds at a random moment of a random working day of the generated span.
std::int64_t random_start_ms(const Options& options, Rng& rng);

}  // namespace gen
