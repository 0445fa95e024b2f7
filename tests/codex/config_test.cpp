#include "codex/config.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/process.h"

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
      {"  [tools]\nservice_tier = \"fast\"\n", false}};
  for (const auto& [text, fast] : cases)
    EXPECT_EQ(fast_default_from_config_text(text), fast) << text;
}

TEST(codex_config, file_of_codex_home_else_home_and_never_a_fifo) {
  TempDir dir;
  const std::string& base = dir.path();
  write_file(base + "/home/.codex/config.toml", "service_tier = \"priority\"\n");
  Environment env;
  env.home = base + "/home";
  EXPECT_TRUE(read_codex_fast_default(env));
  env.codex_home = base;  // without a file there, HOME's is not consulted
  EXPECT_FALSE(read_codex_fast_default(env));
  // Opened blocking, a FIFO would hold the run until a writer came.
  ASSERT_EQ(mkfifo((base + "/config.toml").c_str(), 0644), 0);
  EXPECT_FALSE(read_codex_fast_default(env));
}
