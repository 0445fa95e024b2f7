#include "pricing/price.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <utility>

constexpr std::int64_t kSwitch = 1785369600000;  // codex-auto-review moves to gpt-5.6-luna
constexpr std::int64_t kNow = 1736937000000;

// Which row each model id reaches, by exact id, alias and longest prefix, is pinned by the
// model_id_rows end-to-end case; here, an id that moves to another row at an instant, and rows
// whose prices equal another's.
TEST(price, ids_reach_rows_by_instant_and_rows_hidden_by_equal_prices) {
  const auto cost = [](const std::string& id, std::int64_t ms = kNow) {
    const PriceResult result = price_usage(id, 1, 1000, 1000000, 1000000000, 1000000000000, ms);
    return std::pair(result.priced, result.cost_usd);
  };
  EXPECT_EQ(cost("codex-auto-review", kSwitch - 1), cost("gpt-5.5"));
  EXPECT_EQ(cost("codex-auto-review", kSwitch), cost("gpt-5.6-luna"));
  EXPECT_EQ(cost("codex-auto-review-fast", kSwitch), cost("gpt-5.6-luna"));
  // Equal prices hide these rows from the cost: claude-opus-4-1 (not -4) and codex-mini-latest.
  EXPECT_EQ(find_price("claude-opus-4-1-20250805", kNow), &price_catalogue()[6]);
  EXPECT_EQ(find_price("codex-mini-latest-2", kNow), &price_catalogue()[43]);
}

TEST(price, cost_sums_in_the_fixed_order_of_double_operations) {
  // The last sum differs in its last bit under any other grouping or scaling.
  const std::tuple<std::string, std::array<std::uint64_t, 5>, double> cases[] = {
      {"claude-opus-5", {1000000, 0, 0, 0, 0}, 5.0},
      {"claude-opus-4-1", {0, 0, 1000000, 1000000, 0}, 48.75},
      {"claude-sonnet-4-5", {0, 0, 0, 0, 1000000}, 0.30000000000000004},
      {"claude-3-5-haiku", {0, 0, 0, 0, 1000000}, 0.08000000000000002},
      {"claude-sonnet-4-5", {689, 3037689, 1379284708, 898619055, 5657598443}, 12306.8789199}};
  for (const auto& [id, n, usd] : cases) {
    const PriceResult result = price_usage(id, n[0], n[1], n[2], n[3], n[4], kNow);
    EXPECT_EQ(std::pair(result.priced, result.cost_usd), std::pair(true, usd)) << id;
  }
}

TEST(price, remembered_rows_are_the_rows_of_price_row) {
  PriceRows rows;
  // The first ids repeat, so the list answers them; the later ones overflow it.
  for (int n = 0; n < 70; ++n) {
    for (const std::string& id :
         {std::string("codex-auto-review"), std::string("Opus"), "x-" + std::to_string(n)}) {
      for (const std::int64_t ms : {kSwitch - 1, kSwitch, kSwitch - 1})
        ASSERT_EQ(rows.row(id, ms), price_row(id, ms)) << id << " " << ms;
    }
  }
}
