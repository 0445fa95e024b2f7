#include "report/table_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/order.h"
#include "report/sample_events.h"

namespace {

constexpr auto claude = AgentKind::claude;
constexpr auto codex = AgentKind::codex;

std::string report(const std::vector<UsageEvent>& events, const RunOptions& options,
                   TableStyle style = {}, std::uint64_t files = 42, std::uint64_t ms = 87) {
  const ReportState state = fold(events, options);
  const auto ordered = order_groups(state, options.view);
  return render_table_report(ordered, state, options, files, ms, style);
}

std::vector<UsageEvent> worked_daily_events() {
  return {
      sample_event("2025-03-07", claude, "claude-opus-4-1-20250805", 1200, 3400, 560000, 1.113,
                   "c1", "webapp", 1741371725123),
      sample_event("2025-03-07", codex, "gpt-5-codex", 52000, 8100, 310000, 0.18475, "x1", "",
                   1741354000000),
      sample_event("2025-03-08", claude, "claude-sonnet-4-5-20250929", 800, 12000, 1250000, 0.5574,
                   "c1", "webapp", 1741371725123),
  };
}

}  // namespace

TEST(table_report, daily_worked_example) {
  EXPECT_EQ(report(worked_daily_events(), view_options(ReportView::daily)),
            "meterly · Claude Code + Codex usage\n"
            "\n"
            "Date        Agent   Models       Input  Output  Cache   Cost\n"
            "──────────  ──────  ───────────  ─────  ──────  ─────  ─────\n"
            "2025-03-07  claude  opus-4-1     1.20K   3.40K   560K  $1.11\n"
            "            codex   gpt-5-codex  52.0K   8.10K   310K  $0.18\n"
            "2025-03-08  claude  sonnet-4-5     800   12.0K  1.25M  $0.56\n"
            "──────────  ──────  ───────────  ─────  ──────  ─────  ─────\n"
            "Date        Agent   Models       Input  Output  Cache   Cost\n"
            "TOTAL                            54.0K   23.5K  2.12M  $1.86\n"
            "\n"
            "Claude        $1.67   1.83M tokens\n"
            "Codex         $0.18   370K tokens\n"
            "Total         $1.86\n"
            "\n"
            "Scanned 42 files in 87ms\n");
}

TEST(table_report, session_worked_example) {
  RunOptions options = view_options(ReportView::session);
  options.exact = true;
  EXPECT_EQ(report(worked_daily_events(), options, {}, 3, 0),
            "meterly · Claude Code + Codex usage\n"
            "\n"
            "Last active  Agent   Project  Model(s)                 Tokens   Cost\n"
            "───────────  ──────  ───────  ────────────────────  ─────────  ─────\n"
            "2025-03-07   claude  webapp   opus-4-1, sonnet-4-5  1,827,400  $1.67\n"
            "2025-03-07   codex   –        gpt-5-codex             370,100  $0.18\n"
            "\n"
            "Claude        $1.67   1,827,400 tokens\n"
            "Codex         $0.18   370,100 tokens\n"
            "Total         $1.86\n"
            "\n"
            "Scanned 3 files in 0ms\n");
}

TEST(table_report, monthly_blanks_repeated_month_and_agent) {
  const std::vector<UsageEvent> events = {
      sample_event("2025-03-07", claude, "claude-opus-4-1-20250805", 0, 0, 0, 0.0),
      sample_event("2025-03-08", claude, "claude-sonnet-4-5", 0, 0, 0, 0.0),
      sample_event("2025-03-09", codex, "gpt-5-codex", 0, 0, 0, 0.0),
      sample_event("2025-04-01", claude, "claude-opus-4-1-20250805", 0, 0, 0, 0.0),
      sample_event("2025-04-02", codex, "gpt-5-codex", 0, 0, 0, 0.0),
      sample_event("2025-05-02", codex, "gpt-5-codex", 0, 0, 0, 0.0),
  };
  const std::string text = report(events, view_options(ReportView::monthly));
  EXPECT_NE(text.find("Month    Agent   Models       Input  Output  Cache   Cost\n"
                      "───────  ──────  ───────────  ─────  ──────  ─────  ─────\n"
                      "2025-03  claude  opus-4-1         0       0      0  $0.00\n"
                      "                 sonnet-4-5       0       0      0  $0.00\n"
                      "         codex   gpt-5-codex      0       0      0  $0.00\n"
                      "2025-04  claude  opus-4-1         0       0      0  $0.00\n"
                      "         codex   gpt-5-codex      0       0      0  $0.00\n"
                      "2025-05  codex   gpt-5-codex      0       0      0  $0.00\n"
                      "───────  ──────  ───────────  ─────  ──────  ─────  ─────\n"
                      "Month    Agent   Models       Input  Output  Cache   Cost\n"
                      "TOTAL                             0       0      0  $0.00\n"),
            std::string::npos)
      << text;
}

TEST(table_report, session_limit_note_and_all) {
  struct Case {
    int sessions;
    bool show_all;
    bool colour;
    std::size_t rows;
    std::string note;
  };
  const std::string note = "\nShowing 25 of 26 sessions (most recent). Use --all to list them all.";
  const Case cases[] = {{25, false, false, 25, ""},
                        {26, false, false, 25, note + "\n\nClaude"},
                        {26, false, true, 25, "\x1b[2m" + note + "\x1b[0m\n\n\x1b[36mClaude"},
                        {26, true, false, 26, ""}};
  for (const Case& c : cases) {
    std::vector<UsageEvent> events;
    for (int i = 0; i < c.sessions; ++i) {
      events.push_back(sample_event("2025-03-07", codex, "gpt-5", 1, 0, 0, 0.0,
                                    "s" + std::to_string(i), "p", 1741354000000 + i));
    }
    RunOptions options = view_options(ReportView::session);
    options.show_all = c.show_all;
    const std::string text = report(events, options, {.colour = c.colour});
    std::size_t rows = 0;
    for (std::size_t at = text.find("\n2025-03-07"); at != std::string::npos;
         at = text.find("\n2025-03-07", at + 1)) {
      ++rows;
    }
    EXPECT_EQ(rows, c.rows) << c.sessions;
    EXPECT_EQ(text.find("Showing") != std::string::npos, !c.note.empty());
    if (!c.note.empty()) {
      EXPECT_NE(text.find("$0.00\n" + c.note), std::string::npos) << text;
    }
    // The closing totals count every session, shown or not.
    EXPECT_NE(text.find("$0.00   " + std::to_string(c.sessions) + " tokens"), std::string::npos);
  }
}

TEST(table_report, colour_wraps_exactly_the_listed_parts) {
  std::vector<UsageEvent> events = {sample_event("2025-03-07", claude, "mystery", 1, 2, 3, 0.0)};
  events[0].priced = false;
  const std::string text = report(events, view_options(ReportView::daily), {.colour = true});
  EXPECT_EQ(text,
            "\x1b[1mmeterly · Claude Code + Codex usage\n\x1b[0m\n"
            "\x1b[1mDate        Agent   Models   Input  Output  Cache   Cost\x1b[0m\n"
            "\x1b[2m──────────  ──────  ───────  ─────  ──────  ─────  ─────\x1b[0m\n"
            "2025-03-07  claude  mystery      1       2      3  $0.00\n"
            "\x1b[2m──────────  ──────  ───────  ─────  ──────  ─────  ─────\x1b[0m\n"
            "\x1b[2mDate        Agent   Models   Input  Output  Cache   Cost\x1b[0m\n"
            "\x1b[1mTOTAL                            1       2      3  $0.00\x1b[0m\n"
            "\n"
            "\x1b[36mClaude\x1b[0m        $0.00   6 tokens\n"
            "\x1b[32mCodex \x1b[0m        $0.00   0 tokens\n"
            "\x1b[1mTotal \x1b[0m  \x1b[1m      $0.00\x1b[0m\n"
            "\x1b[33m\n! 6 tokens had no known pricing (mystery); excluded from cost.\x1b[0m\n"
            "\x1b[2m\nScanned 42 files in 87ms\x1b[0m\n");

  const std::string plain = report(events, view_options(ReportView::daily));
  EXPECT_EQ(plain.find('\x1b'), std::string::npos);
  EXPECT_NE(plain.find("Total         $0.00\n\n! 6 tokens had no known pricing (mystery); "
                       "excluded from cost.\n\nScanned"),
            std::string::npos);
}

TEST(table_report, control_characters_are_defused_only_on_a_terminal) {
  const std::string csi = "\xC2\x9B";  // the one-character C1 form of ESC [
  std::vector<UsageEvent> events = {
      sample_event("2025-03-07", claude, "m" + csi + "2J", 1, 0, 0, 0.0, "s", "ev\x1b]0;\x07il"),
  };
  events[0].priced = false;
  const RunOptions options = view_options(ReportView::session);

  const std::string safe = report(events, options, {.colour = true, .terminal = true});
  EXPECT_NE(safe.find("–            claude  ev?]0;?il  m?2J"), std::string::npos) << safe;
  EXPECT_NE(safe.find("pricing (m?2J)"), std::string::npos);
  EXPECT_EQ(safe.find('\x07'), std::string::npos);
  EXPECT_EQ(safe.find(csi), std::string::npos);

  const std::string raw = report(events, options, {.colour = false, .terminal = false});
  EXPECT_NE(raw.find("claude  ev\x1b]0;\x07il  m" + csi + "2J"), std::string::npos);
  EXPECT_NE(raw.find("pricing (m" + csi + "2J)"), std::string::npos);
}
