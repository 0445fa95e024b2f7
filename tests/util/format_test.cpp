#include "util/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

template <typename T>
using Cases = std::vector<std::pair<T, std::string>>;

TEST(format, group_thousands_and_exact_tokens_separate_groups_of_three) {
  // clang-format off
  const Cases<std::uint64_t> cases = {{0, "0"}, {999, "999"}, {1000, "1,000"},
      {1234567, "1,234,567"}, {UINT64_MAX, "18,446,744,073,709,551,615"}};
  // clang-format on
  for (const auto& [n, text] : cases) {
    EXPECT_EQ(group_thousands(n), text);
    EXPECT_EQ(format_tokens(n, true), text);
  }
}

TEST(format, tokens_round_the_exact_binary_quotient_with_ties_to_even) {
  // 1.125 and 12.25 are exact ties; 1.005 and 12.35 are stored just below theirs.
  // clang-format off
  const Cases<std::uint64_t> cases = {{0, "0"}, {999, "999"}, {1000, "1.00K"}, {1125, "1.12K"},
      {1375, "1.38K"}, {1005, "1.00K"}, {12345, "12.3K"}, {12250, "12.2K"}, {12350, "12.3K"},
      {99999, "100.0K"}, {100500, "100K"}, {123456, "123K"}, {999999, "1000K"},
      {1000000, "1.00M"}, {999999999, "1000M"}, {2500000000, "2.50B"}, {1000000000000, "1.00T"},
      {UINT64_MAX, "18446744T"}};
  // clang-format on
  for (const auto& [n, text] : cases) EXPECT_EQ(format_tokens(n, false), text) << n;
}

TEST(format, usd_rounds_cents_half_away_from_zero) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::string most = "184,467,440,737,095,516.15";
  // 0.005 * 100 is exactly 0.5; 1.005 * 100 is 100.49999999999999.
  // clang-format off
  const Cases<double> cases = {{0.0, "$0.00"}, {-0.0, "$0.00"}, {0.125, "$0.13"},
      {0.005, "$0.01"}, {0.004999, "$0.00"}, {1.005, "$1.00"}, {1234.567, "$1,234.57"},
      {1000000.0, "$1,000,000.00"}, {-2.5, "-$2.50"}, {-0.001, "-$0.00"},
      {std::numeric_limits<double>::quiet_NaN(), "$0.00"}, {inf, "$" + most}, {-inf, "-$" + most}};
  // clang-format on
  for (const auto& [x, text] : cases) EXPECT_EQ(format_usd(x), text) << x;
}

TEST(format, utc_timestamp_floors_instants_before_the_epoch) {
  // clang-format off
  const Cases<std::int64_t> cases = {{0, "1970-01-01T00:00:00.000Z"},
      {-1, "1969-12-31T23:59:59.999Z"}, {-86400001, "1969-12-30T23:59:59.999Z"},
      {951782400000, "2000-02-29T00:00:00.000Z"}, {1785369600000, "2026-07-30T00:00:00.000Z"},
      {-62198755200000, "-001-01-01T00:00:00.000Z"}, {253402300800000, "10000-01-01T00:00:00.000Z"},
      {INT64_MAX, "292278994-08-17T07:12:55.807Z"}, {INT64_MIN, "-292275055-05-16T16:47:04.192Z"}};
  // clang-format on
  for (const auto& [ms, text] : cases) EXPECT_EQ(format_utc_timestamp(ms), text) << ms;
}

TEST(format, fixed_is_the_correctly_rounded_expansion_with_ties_to_even) {
  // 0.0000015 is stored just above the tie, 0.0000005 just below.
  // clang-format off
  const Cases<std::pair<double, int>> cases = {{{0.0, 6}, "0.000000"},
      {{12.3456789, 6}, "12.345679"}, {{0.0000015, 6}, "0.000002"}, {{0.0000005, 6}, "0.000000"},
      {{1.5, 0}, "2"}, {{2.5, 0}, "2"}, {{0.125, 2}, "0.12"}, {{3.75, -1}, "4"},
      {{0.1, 30}, "0.100000000000000005551115123126"}, {{1e20, 1}, "100000000000000000000.0"}};
  // clang-format on
  for (const auto& [in, text] : cases) EXPECT_EQ(format_fixed(in.first, in.second), text);
  EXPECT_EQ(format_fixed(1e308, 0).size(), 309u);
}

}  // namespace
