#include "codex/config.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/process.h"

namespace {

TEST(codex_config, service_tier_line_scanner) {
  const std::pair<const char*, bool> cases[] = {
      {"service_tier = \"priority\"\n", true},
      {"  service_tier   =   fast   # the quick one\n", true},
      {"service_tier = \"'\"fast\"'\"\n", true},  // any run of either quote is stripped
      {"\u3000service_tier\u00a0=\u2003priority\n", true},
      {"model = \"o3\"\r\nservice_tier = \"fast\"\r\n", true},
      {"\"service_tier\" = \"flex\"\nservice_tier = \"priority\"\n", true},  // quoted key: no match
      {"service_tier = \"Fast\"\n", false},
      {"service_tier = \"fa#st\"\n", false},                          // '#' cuts even inside quotes
      {"service_tier = \"flex\"\nservice_tier = \"fast\"\n", false},  // the first one decides
      {"  [tools]\nservice_tier = \"fast\"\n", false},
      {"# service_tier = fast\nservice_tier\nservice_tier_x = fast\n", false},
      {"service_tier = \"fast\"\n\xff\n", false},  // not UTF-8 as a whole
  };
  for (const auto& [text, fast] : cases)
    EXPECT_EQ(fast_default_from_config_text(text), fast) << text;
}

TEST(codex_config, file_comes_from_codex_home_else_home_and_must_be_regular) {
  TempDir dir;
  const std::string& base = dir.path();
  write_file(base + "/home/.codex/config.toml", "service_tier = \"priority\"\n");
  write_file(base + "/other/config.toml", "service_tier = fast\n");
  Environment env;
  EXPECT_FALSE(read_codex_fast_default(env));
  env.home = base + "/home";
  EXPECT_TRUE(read_codex_fast_default(env));
  env.codex_home = base + "/other/";
  EXPECT_TRUE(read_codex_fast_default(env));
  env.codex_home = base;  // no file there: HOME's file is not consulted
  EXPECT_FALSE(read_codex_fast_default(env));
  // A FIFO would block the run until a writer came; a directory cannot be read.
  ASSERT_EQ(mkfifo((base + "/config.toml").c_str(), 0644), 0);
  EXPECT_FALSE(read_codex_fast_default(env));
  ASSERT_EQ(mkdir((base + "/home/config.toml").c_str(), 0755), 0);
  env.codex_home = base + "/home";
  EXPECT_FALSE(read_codex_fast_default(env));
}

}  // namespace
