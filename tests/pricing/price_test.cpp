#include "pricing/price.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::int64_t kSwitch = 1785369600000;  // codex-auto-review moves to gpt-5.6-luna
constexpr std::int64_t kNow = 1736937000000;

TEST(price, catalogue_keeps_the_derived_cache_read_prices) {
  const auto rows = price_catalogue();
  ASSERT_EQ(rows.size(), 47u);
  EXPECT_EQ(rows[0].model, "claude-opus-5");
  EXPECT_EQ(rows[46].model, "o4-mini");
  for (const std::size_t row : {11u, 12u, 13u, 14u}) EXPECT_EQ(rows[row].cache_read, 3 * 0.1);
  EXPECT_NE(rows[11].cache_read, 0.3);
  EXPECT_EQ(rows[16].cache_read, 0.08000000000000002);
}

TEST(price, model_ids_reach_rows_by_exact_id_alias_and_longest_prefix) {
  struct Case {
    std::string id;
    std::int64_t ms;
    std::string row;  // empty: unpriced
  };
  // clang-format off
  const std::vector<Case> cases = {{"CLAUDE-OPUS-5", kNow, "claude-opus-5"},
      {"Claude-Opus-4-1-20250805", kNow, "claude-opus-4-1"},
      {"claude-opus-4-x", kNow, "claude-opus-4"}, {"o3-pro", kNow, "o3"},
      {"claude-3-5-haiku-20241022", kNow, "claude-3-5-haiku"}, {"o4-mini-high", kNow, "o4-mini"},
      {"claude-opus-4-1-" + std::string(300, 'X'), kNow, "claude-opus-4-1"},
      {"codex-mini-latest-2", kNow, "codex-mini-latest"}, {"gpt-5.6-x", kNow, "gpt-5"},
      {"opus", kNow, "claude-opus-5"}, {"OPUS", kNow, "claude-opus-5"},
      {"haiku", kNow, "claude-haiku-4-5"}, {"sonnet", kNow, "claude-sonnet-5"},
      {"gpt-5.6", kNow, "gpt-5.6-sol"}, {"codex-auto-review", kSwitch - 1, "gpt-5.5"},
      {"codex-auto-review", kSwitch, "gpt-5.6-luna"},
      {"claude-opus-5-fast", kNow, "claude-opus-5-fast"}, {"gpt-5.6-fast", kNow, "gpt-5"},
      {"claude-sonnet-4-5-fast", kNow, "claude-sonnet-4-5"}, {"Opus-FAST", kNow, "claude-opus-5"},
      {"codex-auto-review-fast", kSwitch - 1, "gpt-5.5"},
      {"codex-auto-review-fast", kSwitch, "gpt-5.6-luna"}, {"opus-4", kNow, ""},
      {"gpt-4o", kNow, ""}, {"claude-3-7-sonnet-20250219", kNow, ""}, {"", kNow, ""},
      {"opus-fast-fast", kNow, ""}, {"-fast", kNow, ""}, {"gpt\r5", kNow, ""}};  // CR is no "-"
  // clang-format on
  // Rows with different prices cannot give the same cost for these counts.
  const auto cost = [](const std::string& id, std::int64_t ms) {
    return price_usage(id, 1, 1000, 1000000, 1000000000, 1000000000000, ms);
  };
  for (const auto& c : cases) {
    const PriceResult got = cost(c.id, c.ms);
    const PriceResult want = c.row.empty() ? PriceResult{} : cost(c.row, c.ms);
    EXPECT_EQ(got.priced, want.priced) << c.id;
    EXPECT_EQ(got.cost_usd, want.cost_usd) << c.id << " @" << c.ms << " should pay " << c.row;
  }
  // Equal prices hide the row from the cost; find_price names it, with no lower-casing or retry.
  EXPECT_EQ(find_price("claude-opus-4-6-x", kNow)->model, "claude-opus-4-6");
  EXPECT_EQ(find_price("Claude-opus-5", kNow), nullptr);
  EXPECT_EQ(find_price("opus-fast", kNow), nullptr);
}

TEST(price, cost_sums_in_the_fixed_order_of_double_operations) {
  struct Case {
    std::string id;
    std::uint64_t input, output, write_5m, write_1h, read;
    double cost;
  };
  // The last sum differs in its last bit under any other grouping or scaling.
  // clang-format off
  const std::vector<Case> cases = {{"claude-opus-5", 1000000, 0, 0, 0, 0, 5.0},
      {"claude-sonnet-4-5", 0, 0, 0, 0, 1000000, 0.30000000000000004},
      {"claude-3-5-haiku", 0, 0, 0, 0, 1000000, 0.08000000000000002},
      {"claude-opus-4-1-20250805", 1200, 3400, 0, 0, 560000, 1.113},
      {"claude-opus-4-1", 0, 0, 1000000, 1000000, 0, 48.75},
      {"gpt-4o", UINT64_MAX, 1, 1, 1, 1, 0.0},
      {"claude-sonnet-4-5", 689, 3037689, 1379284708, 898619055, 5657598443, 12306.8789199}};
  // clang-format on
  for (const auto& c : cases) {
    const PriceResult result =
        price_usage(c.id, c.input, c.output, c.write_5m, c.write_1h, c.read, kNow);
    EXPECT_EQ(result.priced, c.id != "gpt-4o") << c.id;
    EXPECT_EQ(result.cost_usd, c.cost) << c.id;
  }
}

}  // namespace
