#include "json/byte_scan.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

namespace {

const char* reference_string_end(const char* p, const char* end) {
  while (p < end) {
    const char c = *p++;
    if (c == '"') return p;
    if (c == '\\' && p++ == end) return end;
  }
  return end;
}

// Text built from runs of backslashes of every length, quotes and plain bytes, so escaped and
// unescaped quotes land on both sides of every 16- and 64-byte block boundary.
std::string escape_heavy_text(std::mt19937& rng, std::size_t size) {
  std::string text;
  while (text.size() < size) {
    switch (rng() % 4) {
      case 0:
        text.append(rng() % 70, '\\');
        break;
      case 1:
        text.push_back('"');
        break;
      default:
        text.append(rng() % 90, 'a');
        break;
    }
  }
  text.resize(size);
  return text;
}

}  // namespace

TEST(json_byte_scan, agrees_with_byte_by_byte_scan_from_every_start) {
  std::mt19937 rng(7);
  for (int round = 0; round < 400; ++round) {
    const std::string text = escape_heavy_text(rng, rng() % 300);
    // An exact-size heap block: any read past the end is caught by the sanitizer build.
    const auto bytes = std::make_unique<char[]>(text.size());
    std::copy(text.begin(), text.end(), bytes.get());
    const char* end = bytes.get() + text.size();
    for (const char* p = bytes.get(); p <= end; ++p) {
      ASSERT_EQ(find_string_end(p, end), reference_string_end(p, end))
          << "start " << p - bytes.get() << " of " << text;
      const char* special = p;
      while (special < end && *special != '"' && *special != '\\') ++special;
      ASSERT_EQ(find_quote_or_backslash(p, end), special);
    }
  }
}
