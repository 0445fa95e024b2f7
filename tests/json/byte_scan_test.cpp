#include "json/byte_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

// Escaped and unescaped quotes on both sides of every block boundary, scanned from every start
// in an exact-size heap block so that a sanitizer build catches any read past the end.
TEST(json_byte_scan, agrees_with_a_byte_by_byte_scan_from_every_start) {
  std::mt19937 rng(7);
  for (int round = 0; round < 400; ++round) {
    std::string text;
    for (const std::size_t size = 1 + rng() % 300; text.size() < size;)
      text.append(rng() % 70, '\\').append(rng() % 2, '"').append(rng() % 40, 'a');
    const std::vector<char> bytes(text.begin(), text.end());
    const char* const begin = bytes.data();
    const char* const end = begin + bytes.size();
    for (std::size_t at = 0; at <= text.size(); ++at) {
      std::size_t close = at;
      while (close < text.size() && text[close] != '"') close += text[close] == '\\' ? 2 : 1;
      close = std::min(close + 1, text.size());
      const std::size_t special = std::min(text.find_first_of("\"\\", at), text.size());
      ASSERT_EQ(find_string_end(begin + at, end), begin + close) << "from " << at << " in " << text;
      ASSERT_EQ(find_string_end_bytewise(begin + at, end), begin + close) << at;
      ASSERT_EQ(find_string_end_blocks_without_avx2(begin + at, end), begin + close) << at;
      ASSERT_EQ(find_quote_or_backslash(begin + at, end), begin + special) << at;
    }
  }
}
