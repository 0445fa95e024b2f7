#include "report/json_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/order.h"
#include "report/sample_events.h"

namespace {

std::string document(const std::vector<UsageEvent>& events, ReportView view) {
  const ReportState state = fold(events, view_options(view));
  return render_json_report(order_groups(state, view), view);
}

}  // namespace

TEST(json_report, escapes_quotes_backslashes_and_controls_only) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"plain/path", "plain/path"},
      {"say \"hi\"", "say \\\"hi\\\""},
      {"C:\\dir", "C:\\\\dir"},
      {"a\nb\rc\td", "a\\nb\\rc\\td"},
      {std::string("\x00\x01\x1b\x1f", 4), "\\u0000\\u0001\\u001b\\u001f"},
      {"\x7f \xC2\x9B é – 漢", "\x7f \xC2\x9B é – 漢"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(json_escape(c.in), c.out) << c.in;
}

TEST(json_report, daily_group_example) {
  const std::vector<UsageEvent> events = {
      sample_event("2025-03-07", AgentKind::claude, "claude-opus-4-1-20250805", 1200, 3400, 560000,
                   1.113, "s", "webapp", 1741371725123),
  };
  EXPECT_EQ(document(events, ReportView::daily),
            "{\n"
            "  \"command\": \"daily\",\n"
            "  \"groups\": [\n"
            "    {\n"
            "      \"period\": \"2025-03-07\",\n"
            "      \"agent\": \"claude\",\n"
            "      \"project\": \"webapp\",\n"
            "      \"models\": [\"claude-opus-4-1-20250805\"],\n"
            "      \"input\": 1200,\n"
            "      \"output\": 3400,\n"
            "      \"cache\": 560000,\n"
            "      \"cost\": 1.113000,\n"
            "      \"lastActive\": \"2025-03-07T18:22:05.123Z\"\n"
            "    }\n"
            "  ]\n"
            "}\n");
}

TEST(json_report, session_document_with_escaped_texts_and_extreme_values) {
  std::vector<UsageEvent> events = {
      sample_event("2025-03-07", AgentKind::codex, "gpt-5\"x", 1, 2, 3, 12.3456789, "q\"1",
                   "a\"b\tc\x1b", 0),
      sample_event("2025-03-07", AgentKind::codex, "a-model", UINT64_MAX, 0, 0, 0.0, "q\"1", "", 0),
      sample_event("2025-03-07", AgentKind::codex, "m", 0, 0, 0, 0.0, "r", "", -1),
  };
  const std::string doc = document(events, ReportView::session);
  EXPECT_TRUE(
      doc.starts_with("{\n"
                      "  \"command\": \"session\",\n"
                      "  \"groups\": [\n"
                      "    {\n"
                      "      \"period\": \"q\\\"1\",\n"
                      "      \"agent\": \"codex\",\n"
                      "      \"project\": \"a\\\"b\\tc\\u001b\",\n"
                      "      \"models\": [\"a-model\", \"gpt-5\\\"x\"],\n"
                      "      \"input\": 18446744073709551615,\n"
                      "      \"output\": 2,\n"
                      "      \"cache\": 3,\n"
                      "      \"cost\": 12.345679,\n"
                      "      \"lastActive\": null\n"
                      "    },\n"
                      "    {\n"
                      "      \"period\": \"r\",\n"));
  EXPECT_TRUE(doc.ends_with("      \"lastActive\": null\n    }\n  ]\n}\n")) << doc;
}
