// What the user asked for: the parsed command line and the report it names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

/// The report the user asked for.
enum class ReportView : std::uint8_t { daily = 0, monthly = 1, session = 2 };

/// Whose logs a run reads: one agent's, or both agents'.
enum class AgentFilter : std::uint8_t { claude = 0, codex = 1, both = 2 };

/// The sessions a table shows unless `show_all`.
inline constexpr std::size_t kSessionLimit = 25;

/// The parsed command line.
struct RunOptions {
  ReportView view = ReportView::daily;
  AgentFilter agent_filter = AgentFilter::both;
  std::optional<std::string> since;
  std::optional<std::string> until;
  bool json = false;
  bool show_all = false;
  bool exact = false;
};

/// The run ends before any log is read: help, version or a rejected command line.
/// The texts are what the run must write before exiting with `status`.
struct EarlyExit {
  int status = 0;
  std::string out;  // for standard output
  std::string err;  // for standard error
};

/// Turns the arguments (without the program name) into options, or into an early exit.
std::variant<RunOptions, EarlyExit> parse_command_line(std::span<const std::string_view> args);

/// The help text, without its final newline.
std::string_view help_text();

/// The version number, without a newline.
std::string_view version_text();
