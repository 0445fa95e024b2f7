#include "codex/config.h"

#include <gtest/gtest.h>

TEST(codex_config, service_tier_line_scanner) {
  const std::pair<const char*, bool> cases[] = {
      {"service_tier = \"priority\"\n", true},
      {"  service_tier   =   fast   # the quick one\n", true},
      {"service_tier = \"'\"fast\"'\"\n", true},  // any run of either quote is stripped
      {"model = \"o3\"\r\nservice_tier = \"fast\"\r\n", true},
      {"\"service_tier\" = \"flex\"\nservice_tier = \"priority\"\n", true},  // quoted key: no match
      {"service_tier = \"Fast\"\n", false},
      {"service_tier = \"fa#st\"\n", false},                          // '#' cuts even inside quotes
      {"service_tier = \"flex\"\nservice_tier = \"fast\"\n", false},  // the first one decides
      {"  [tools]\nservice_tier = \"fast\"\n", false},
      {"service_tier = \"fast\"\n\xFF", false}};  // not UTF-8: not read at all
  for (const auto& [text, fast] : cases)
    EXPECT_EQ(fast_default_from_config_text(text), fast) << text;
}
