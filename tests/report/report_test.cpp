#include "report/json_report.h"

#include <gtest/gtest.h>

using namespace std::literals;

// Sums that saturate are pinned by the sums_saturate end-to-end case.
TEST(json_report, escapes_quotes_backslashes_and_controls_only) {
  EXPECT_EQ(json_escape("a/\"b\\\n\r\t\x00\x01\x1b\x1f\x7f\xC2\x9B é – 漢"sv),
            "a/\\\"b\\\\\\n\\r\\t\\u0000\\u0001\\u001b\\u001f\x7f\xC2\x9B é – 漢");
}
