// The command line: parsing, help and version texts.
#include "main/options.h"

namespace {

constexpr std::string_view kHelp =
    "meterly \u2014 fast Claude Code + Codex usage & cost\n"
    "\n"
    "Usage:\n"
    "  meterly [command] [options]\n"
    "\n"
    "Commands:\n"
    "  daily      Per-day usage and cost (default)\n"
    "  monthly    Per-month usage and cost\n"
    "  session    Per-session usage and cost\n"
    "\n"
    "Options:\n"
    "  --since <YYYY-MM-DD>   Only include usage on/after this date\n"
    "  --until <YYYY-MM-DD>   Only include usage on/before this date\n"
    "  --claude               Only Claude Code\n"
    "  --codex                Only Codex\n"
    "  --all                  Show every session (session view; default: top 25)\n"
    "  --exact                Full token counts instead of K/M/B/T\n"
    "  --json                 Emit JSON instead of a table\n"
    "  -h, --help             Show this help\n"
    "  -v, --version          Show version";

static_assert(kSessionLimit == 25, "the help text names the session limit");

EarlyExit agent_error() {
  return {1, "", "meterly: --agent expects claude|codex\n"};
}

}  // namespace

std::string_view help_text() {
  return kHelp;
}

std::string_view version_text() {
  return METERLY_VERSION;
}

std::variant<RunOptions, EarlyExit> parse_command_line(std::span<const std::string_view> args) {
  RunOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "daily") {
      options.view = ReportView::daily;
    } else if (arg == "monthly") {
      options.view = ReportView::monthly;
    } else if (arg == "session") {
      options.view = ReportView::session;
    } else if (arg == "--since" || arg == "--until") {
      std::optional<std::string>& field = arg == "--since" ? options.since : options.until;
      // A missing value clears the field rather than failing: "--since" may end the line.
      field = ++i < args.size() ? std::optional<std::string>(args[i]) : std::nullopt;
    } else if (arg == "--claude") {
      options.agent_filter = AgentFilter::claude;
    } else if (arg == "--codex") {
      options.agent_filter = AgentFilter::codex;
    } else if (arg == "--agent") {
      if (++i >= args.size()) return agent_error();
      if (args[i] == "claude") {
        options.agent_filter = AgentFilter::claude;
      } else if (args[i] == "codex") {
        options.agent_filter = AgentFilter::codex;
      } else {
        return agent_error();
      }
    } else if (arg == "--all") {
      options.show_all = true;
    } else if (arg == "--exact") {
      options.exact = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "-h" || arg == "--help") {
      return EarlyExit{0, std::string(kHelp) + "\n", ""};
    } else if (arg == "-v" || arg == "--version") {
      return EarlyExit{0, std::string(version_text()) + "\n", ""};
    } else {
      std::string err = "meterly: unknown argument \"";
      err.append(arg).append("\"\n\n").append(kHelp).append("\n");
      return EarlyExit{1, "", std::move(err)};
    }
  }
  return options;
}
