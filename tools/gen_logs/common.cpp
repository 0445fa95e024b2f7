// JSON text, content pools, timestamps and file writing shared by both agents' generators.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "gen_logs.h"

namespace gen {

namespace {

constexpr std::array<std::string_view, 48> kWords = {
    "cache",    "parser",  "session", "request", "handler", "schema",  "worker", "buffer",
    "retry",    "query",   "index",   "token",   "client",  "server",  "config", "report",
    "import",   "export",  "stream",  "layout",  "tenant",  "invoice", "ledger", "upload",
    "refactor", "migrate", "rename",  "update",  "check",   "review",  "commit", "test",
    "timeout",  "field",   "value",   "record",  "module",  "router",  "queue",  "cursor",
    "filter",   "billing", "search",  "profile", "entry",   "state",   "build",  "limit"};

// Sentences with what real conversations hold: accents, CJK, emoji outside the BMP, quotes.
constexpr std::array<std::string_view, 14> kSentences = {
    "Done ✅ — all tests pass and the build is clean.",
    "Die Änderung betrifft nur die Konfiguration; der Rest bleibt gleich.",
    "Ça marche — vérifié à la main, même avec des entrées « vides ».",
    "这里需要处理空输入的情况，否则会崩溃。",
    "テストは全部通りました 🎉 次はドキュメントです。",
    "The failing test expects **7** but gets 82 — the off-by-one is in the loop bound.",
    "I'll start by reading the handler to see how the \"retry\" option is wired.",
    "Let me check the callers before changing anything 🔍",
    "Next, I'll update the schema and add a regression test.",
    "The output mentions \"input_tokens\" and \"output_tokens\", but only as text.",
    "Path on Windows: C:\\Users\\dev\\source\\repos\\app\\src\\main.rs",
    "Ünïcödé ïn ïdëntïfïërs ïs rärë büt lëgäl; ß → ss; Ωmega ≠ omega.",
    "Résumé: 3 fichiers modifiés, 0 suppression 🚀",
    "Line one\nLine two\twith a tab\nLine three.",
};

constexpr std::array<std::string_view, 16> kCodeTemplates = {
    "\tif err != nil { return fmt.Errorf(\"{w}: %w\", err) }",
    "    path = \"C:\\\\Users\\\\dev\\\\{w}\\\\{w}.txt\"",
    "SELECT {w}, count(*) FROM {w} WHERE id > {n} GROUP BY 1;",
    "  log.info(\"{w} done in %.2f ms\", elapsed)  # \"quoted\" 'single'",
    "const {w} = await fetch(`/api/{w}?limit={n}`);",
    "assert {w}({n}) == {n}, f\"{{{w}!r}}\"",
    "   Compiling {w} v0.{n}.0 (/Users/dev/code/{w})",
    "-rw-r--r--  1 dev  staff  {n} Sep 12 10:42 {w}.json",
    "        // Ça marche — vérifié à la main ✅",
    "  File \"/Users/dev/code/{w}/{w}.py\", line {n}, in <module>",
    "\tfmt.Printf(\"%s\\t%d\\n\", {w}, {n})",
    "PASS src/{w}/{w}.test.ts ({n} ms)",
    "{\"{w}\": {\"id\": {n}, \"tags\": [\"{w}\", \"{w}\"], \"ok\": true, \"ratio\": 0.{n}}}",
    "pattern = re.compile(r\"^\\s*(\\w+)=(\\d+)$\")  # {w}",
    "warning: unused variable `{w}` --> src/{w}.rs:{n}:9",
    "",
};

std::string fill(Rng& rng, std::string_view pattern) {
  std::string out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern.compare(i, 3, "{w}") == 0) {
      out += rng.pick(kWords);
      i += 2;
    } else if (pattern.compare(i, 3, "{n}") == 0) {
      out += std::to_string(rng.below(5000));
      i += 2;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

// The generator keeps its own calendar and JSON writing rather than the program's: logs made
// with the code under test would hide its faults.
std::array<int, 3> civil_from_days(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0)), static_cast<int>(month),
          static_cast<int>(day)};
}

// Decodes one UTF-8 sequence at `i` (advancing it); the generator only writes valid UTF-8.
std::uint32_t decode_utf8(std::string_view text, std::size_t& i) {
  const auto byte = [&](std::size_t k) { return static_cast<std::uint32_t>(text[k]) & 0xffu; };
  const std::uint32_t lead = byte(i);
  const std::size_t extra = lead >= 0xf0 ? 3 : lead >= 0xe0 ? 2 : 1;
  std::uint32_t code = lead & (0x3fu >> extra);
  for (std::size_t k = 1; k <= extra; ++k) code = (code << 6) | (byte(i + k) & 0x3fu);
  i += extra;
  return code;
}

void append_u_escape(std::string& out, std::uint32_t unit) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(unit));
  out += buf;
}

}  // namespace

void append_string(std::string& out, std::string_view text, bool ascii_only) {
  out += '"';
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20) {
          append_u_escape(out, byte);
        } else if (byte >= 0x80 && ascii_only) {
          const std::uint32_t code = decode_utf8(text, i);
          if (code >= 0x10000) {
            append_u_escape(out, 0xd800 + ((code - 0x10000) >> 10));
            append_u_escape(out, 0xdc00 + ((code - 0x10000) & 0x3ff));
          } else {
            append_u_escape(out, code);
          }
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

std::string iso_time(std::int64_t ms) {
  const std::int64_t days = (ms >= 0 ? ms : ms - 86'399'999) / 86'400'000;
  const std::int64_t in_day = ms - days * 86'400'000;
  const auto [year, month, day] = civil_from_days(days);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", year, month, day,
                static_cast<int>(in_day / 3'600'000), static_cast<int>(in_day / 60'000 % 60),
                static_cast<int>(in_day / 1000 % 60), static_cast<int>(in_day % 1000));
  return buf;
}

std::string uuid(Rng& rng) {
  std::string hex = random_text(rng, 32, "0123456789abcdef");
  for (const std::size_t at : {8u, 13u, 18u, 23u}) hex.insert(at, 1, '-');
  return hex;
}

std::string random_text(Rng& rng, std::size_t length, std::string_view alphabet) {
  std::string out(length, ' ');
  for (auto& c : out) c = alphabet[static_cast<std::size_t>(rng.below(alphabet.size()))];
  return out;
}

std::size_t output_size(Rng& rng) {
  const std::uint64_t tier = rng.below(100);
  if (tier < 75) return static_cast<std::size_t>(rng.between(80, 3'000));
  if (tier < 97) return static_cast<std::size_t>(rng.between(3'000, 30'000));
  return static_cast<std::size_t>(rng.between(30'000, 300'000));
}

std::int64_t random_start_ms(const Options& options, Rng& rng) {
  const auto day = options.start_day +
                   static_cast<std::int64_t>(rng.below(static_cast<std::uint64_t>(options.days)));
  const auto second = static_cast<std::int64_t>(rng.between(6 * 3600, 23 * 3600));
  return (day * 86'400 + second) * 1000 + static_cast<std::int64_t>(rng.below(1000));
}

Content::Content(Rng& rng) {
  for (int i = 0; i < 400; ++i) {
    if (rng.below(4) == 0) {
      sentences_.emplace_back(rng.pick(kSentences));
      continue;
    }
    std::string sentence;
    const auto words = rng.between(4, 18);
    for (std::uint64_t w = 0; w < words; ++w) {
      if (w > 0) sentence += ' ';
      sentence += rng.pick(kWords);
    }
    sentence[0] = static_cast<char>(sentence[0] - 'a' + 'A');
    sentence += '.';
    sentences_.push_back(std::move(sentence));
  }
  for (int i = 0; i < 600; ++i) code_lines_.push_back(fill(rng, rng.pick(kCodeTemplates)));
}

std::string_view Content::word(Rng& rng) const {
  return rng.pick(kWords);
}

std::string Content::file_path(Rng& rng, std::string_view root) const {
  static constexpr std::array<std::string_view, 8> kExtensions = {".rs", ".ts", ".py",  ".go",
                                                                  ".md", ".h",  ".cpp", ".json"};
  std::string path(root);
  path += rng.below(2) == 0 ? "/src/" : "/lib/";
  path += word(rng);
  path += '_';
  path += word(rng);
  path += rng.pick(kExtensions);
  return path;
}

std::string Content::assemble(Rng& rng, const std::vector<std::string>& pool, std::string_view sep,
                              std::size_t bytes) {
  std::string out;
  out.reserve(bytes + 200);
  while (out.size() < bytes) {
    if (!out.empty()) out += sep;
    out += rng.pick(pool);
  }
  return out;
}

LogFile::LogFile(const Options& options, Rng& rng, std::string path)
    : options_(options), rng_(rng.fork()), path_(std::move(path)) {}

void LogFile::add(std::string_view line) {
  if (options_.malformed > 0 && rng_.chance(options_.malformed)) {
    std::string broken(line);
    switch (rng_.below(5)) {
      case 0:
        broken.resize(static_cast<std::size_t>(rng_.below(broken.size())));
        break;
      case 1:
        broken = "not json {\"input_tokens\": 12, \"type\":";
        break;
      case 2:
        broken.insert(static_cast<std::size_t>(rng_.below(broken.size())), "\xff\xfe\x00\x80", 4);
        break;
      case 3:
        broken.clear();
        break;
      default:
        broken =
            "{\"type\":\"assistant\",\"message\":{\"usage\":{\"input_tokens\":-5,"
            "\"output_tokens\":123456789012345678901234567890}}}";
    }
    text_ += broken;
    text_ += '\n';
  }
  text_ += line;
  text_ += '\n';
}

std::uint64_t LogFile::write(const std::string& copy_path) {
  std::string text = std::move(text_);
  if (options_.crlf > 0 && rng_.chance(options_.crlf)) {
    std::string crlf;
    crlf.reserve(text.size() + text.size() / 64);
    for (const char c : text) {
      if (c == '\n') crlf += '\r';
      crlf += c;
    }
    text = std::move(crlf);
  }
  if (options_.truncated > 0 && text.size() > 2 && rng_.chance(options_.truncated)) {
    // Cut inside the last line, as a writer that died mid-line leaves it.
    const std::size_t last_start = text.rfind('\n', text.size() - 2) + 1;  // npos + 1 == 0
    const std::size_t length = text.size() - 1 - last_start;
    if (length > 0) text.resize(last_start + 1 + static_cast<std::size_t>(rng_.below(length - 1)));
  }
  for (const std::string& path : {path_, copy_path}) {
    if (path.empty()) continue;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (error || !file) {
      std::fprintf(stderr, "gen_logs: cannot write %s\n", path.c_str());
      std::exit(1);
    }
  }
  return copy_path.empty() ? text.size() : 2 * text.size();
}

}  // namespace gen
