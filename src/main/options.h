#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

/// The report the user asked for.
enum class ReportView : std::uint8_t { daily = 0, monthly = 1, session = 2 };

/// The agent filter value that selects both agents.
inline constexpr std::uint8_t kBothAgents = 2;

/// The parsed command line.
struct RunOptions {
  ReportView view = ReportView::daily;
  std::uint8_t agent_filter = kBothAgents;  // 0 claude, 1 codex, 2 both
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
