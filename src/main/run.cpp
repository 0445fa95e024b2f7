// The run: command line, discovery, scan, report and exit status, with every failure's message.
#include "main/run.h"

#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "main/options.h"
#include "main/output.h"
#include "main/pipeline.h"
#include "report/json_report.h"
#include "report/order.h"
#include "report/table_report.h"
#include "sources/discovery.h"
#include "time/calendar.h"
#include "util/table.h"
#include "util/text.h"

namespace {

constexpr int kFailure = 2;

// Shows an argument with every byte that breaks UTF-8 as \xHH, so the message itself is text.
std::string escape_invalid_utf8(std::string_view arg) {
  std::string out;
  std::size_t i = 0;
  while (i < arg.size()) {
    // The longest valid sequence of up to four bytes here, else one byte.
    std::size_t len = 4;
    while (len > 1 && (i + len > arg.size() || !is_valid_utf8(arg.substr(i, len)))) --len;
    const auto byte = static_cast<unsigned char>(arg[i]);
    if (len == 1 && byte >= 0x80) {
      static constexpr char kHex[] = "0123456789abcdef";
      out.append("\\x").push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0xF]);
    } else {
      out.append(arg.substr(i, len));
    }
    i += len;
  }
  return out;
}

// strerror_r comes in two kinds: glibc's returns the text, POSIX's (macOS, the BSDs, musl)
// returns 0 and fills the buffer. Overloading on the result takes whichever the C library has.
[[maybe_unused]] std::string error_text(const char* text, const char*, int) {
  return text;
}
[[maybe_unused]] std::string error_text(int result, const char* buffer, int error) {
  return result == 0 ? buffer : "Unknown error " + std::to_string(error);
}

std::string system_error_text(int error) {
  char buffer[256] = "";
  return error_text(strerror_r(error, buffer, sizeof buffer), buffer, error);
}

// The steady clock never runs backwards, so the count is never negative.
std::uint64_t elapsed_ms_since(std::chrono::steady_clock::time_point started) {
  const auto elapsed = std::chrono::steady_clock::now() - started;
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

// One line on standard error; a path in it is shown safely, as it may hold any bytes.
int fail(std::string_view what, std::string_view path = {}) {
  std::string line = "meterly: ";
  line.append(what);
  if (!path.empty()) line.append(" ").append(terminal_safe(escape_invalid_utf8(path)));
  line.push_back('\n');
  write_all(STDERR_FILENO, line);
  return kFailure;
}

int scan_failure(const ScanFailure& failure) {
  if (failure.kind == ScanFailure::Kind::out_of_descriptors) {
    return fail("not enough file descriptors to read", failure.path);
  }
  if (failure.path.empty()) return fail("out of memory merging usage");
  return fail("out of memory reading", failure.path);
}

// The report's text; "No usage found." when there is nothing to show.
std::string render(const ReportState& state, const RunOptions& options, std::uint64_t files_scanned,
                   std::uint64_t elapsed_ms) {
  if (state.groups.empty()) return "No usage found.\n";
  const std::vector<const ReportGroup*> ordered = order_groups(state, options.view);
  const bool terminal = isatty(STDOUT_FILENO) == 1;
  if (options.json) return render_json_report(ordered, options.view, terminal);
  const TableStyle style{.colour = terminal && std::getenv("NO_COLOR") == nullptr,
                         .terminal = terminal};
  return render_table_report(ordered, state, options, files_scanned, elapsed_ms, style);
}

// Everything after the command line: find, read, merge, print.
int report(const RunOptions& options) {
  const auto started = std::chrono::steady_clock::now();
  // The zone is loaded once, here, before any worker holds a descriptor it might need.
  prepare_local_calendar();
  const Environment env = Environment::from_process();
  std::vector<std::string> claude_files;
  std::vector<std::string> codex_files;
  std::string unopened;
  try {
    if (options.agent_filter != AgentFilter::codex) {
      claude_files = find_claude_files(env, &unopened);
    }
    if (options.agent_filter != AgentFilter::claude) {
      codex_files = find_codex_files(env, &unopened);
    }
  } catch (const std::bad_alloc&) {
    return fail("out of memory listing the logs");
  }
  if (!unopened.empty()) return fail("not enough file descriptors to list", unopened);
  const std::uint64_t files_scanned = claude_files.size() + codex_files.size();

  ScanResult scan;
  try {
    scan = scan_logs(claude_files, codex_files, options, env);
  } catch (const std::bad_alloc&) {
    return fail("out of memory reading the logs");
  }
  if (scan.failure) return scan_failure(*scan.failure);
  const std::uint64_t elapsed_ms = elapsed_ms_since(started);

  std::string text;
  try {
    text = render(scan.state, options, files_scanned, elapsed_ms);
  } catch (const std::bad_alloc&) {
    return fail("out of memory writing the report");
  }
  // A reader that went away early (a pager, `head`) is a normal end; any other failed write
  // means the report was lost, which must not look like success.
  const int error = write_all(STDOUT_FILENO, text);
  if (error != 0 && error != EPIPE) {
    return fail("cannot write output: " + system_error_text(error));
  }
  return 0;
}

int run_command_line(std::span<char* const> argv) {
  std::vector<std::string_view> args;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    const std::string_view arg = argv[i];
    if (!is_valid_utf8(arg)) {
      const std::string message =
          "meterly: argument is not valid UTF-8: \"" + escape_invalid_utf8(arg) + "\"\n";
      write_all(STDERR_FILENO, message);
      return kFailure;
    }
    if (i > 0) args.push_back(arg);
  }

  auto parsed = parse_command_line(args);
  if (auto* early = std::get_if<EarlyExit>(&parsed)) {
    write_all(STDERR_FILENO, early->err);
    if (const int error = write_all(STDOUT_FILENO, early->out)) {
      return fail("cannot write output: " + system_error_text(error));
    }
    return early->status;
  }
  return report(std::get<RunOptions>(parsed));
}

}  // namespace

int run(std::span<char* const> argv) {
  try {
    return run_command_line(argv);
  } catch (const std::bad_alloc&) {
    return fail("out of memory");
  }
}
