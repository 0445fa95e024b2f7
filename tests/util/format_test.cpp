#include "util/format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

template <typename T>
using Cases = std::initializer_list<std::pair<T, std::string>>;

// Token counts, compact and exact, are pinned by the token_boundaries end-to-end cases.
TEST(format, fixed_decimals_round_the_exact_binary_value_with_ties_to_even) {
  EXPECT_EQ(format_fixed(0.0000015, 6), "0.000002");  // just above its tie
  EXPECT_EQ(format_fixed(0.0000005, 6), "0.000000");  // just below
  EXPECT_EQ(format_fixed(1e308, 0).size(), 309u);
}

// clang-format off
TEST(format, usd_rounds_cents_half_away_from_zero_and_saturates) {
  const double inf = std::numeric_limits<double>::infinity();
  // 0.005 * 100 is exactly 0.5; 1.005 * 100 is 100.49999999999999.
  for (const auto& [x, text] : Cases<double>{{-0.0, "$0.00"}, {0.125, "$0.13"}, {0.005, "$0.01"},
       {0.004999, "$0.00"}, {1.005, "$1.00"}, {1234.567, "$1,234.57"}, {-2.5, "-$2.50"},
       {-0.001, "-$0.00"}, {inf - inf, "$0.00"}, {inf, "$184,467,440,737,095,516.15"},
       {-inf, "-$184,467,440,737,095,516.15"}, {0.07, "$0.07"}, {999.99, "$999.99"},
       {1000.0, "$1,000.00"}, {1.8446744073709552e17, "$184,467,440,737,095,516.15"}}) EXPECT_EQ(format_usd(x), text) << x;
}

TEST(format, utc_timestamp_floors_instants_before_the_epoch) {
  for (const auto& [t, text] : Cases<std::int64_t>{{-1, "1969-12-31T23:59:59.999Z"},
       {951782400000, "2000-02-29T00:00:00.000Z"}, {-62198755200000, "-001-01-01T00:00:00.000Z"},
       {253402300800000, "10000-01-01T00:00:00.000Z"}, {INT64_MAX, "292278994-08-17T07:12:55.807Z"},
       {INT64_MIN, "-292275055-05-16T16:47:04.192Z"}, {86399999, "1970-01-01T23:59:59.999Z"},
       {-86400000, "1969-12-31T00:00:00.000Z"}, {-1000, "1969-12-31T23:59:59.000Z"}})
    EXPECT_EQ(format_utc_timestamp(t), text) << t;
}
// clang-format on

TEST(format, exact_fallback_matches_to_chars_byte_for_byte) {
  // Random bit patterns reach every exponent, subnormals and both signs; the listed values are
  // ties, carries into a new digit and the extremes.
  std::mt19937_64 rng(16);
  // clang-format off
  std::vector<double> values = {0.0, -0.0, 0.5, 1.5, 2.5, 0.125, 0.375, 9.995, 99.5, 999999.5, 1e308,
      4294967295.5, 4294967295.75, 8589934591.5,
      5e-324, -1e-7, std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity(),
      -std::numeric_limits<double>::quiet_NaN()};
  // clang-format on
  for (int i = 0; i < 2000; ++i) values.push_back(std::bit_cast<double>(rng()));
  for (int i = 0; i < 5000; ++i) values.push_back(static_cast<double>(rng() % 100000000) / 1e6);
  for (const double x : values) {
    for (const int decimals : {0, 2, 6, static_cast<int>(rng() % 40)}) {
      EXPECT_EQ(format_fixed_exact(x, decimals), format_fixed(x, decimals)) << x << " " << decimals;
    }
  }
}
