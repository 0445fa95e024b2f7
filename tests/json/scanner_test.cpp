#include "json/scanner.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// The result of `op` and the cursor's end on an exact-size heap copy of `text` (ASan: overreads).
template <typename Op>
auto scan(std::string_view text, Op op) {
  std::vector<char> bytes(text.begin(), text.end());
  JsonCursor cursor{std::string_view(bytes.data(), bytes.size())};
  return std::pair{op(cursor), cursor.pos};  // braces: op runs before pos is read
}

constexpr auto skip = [](JsonCursor& cursor) { return skip_value(cursor), 0; };

// A line, what the operation gives for it ({} for nothing), and where the cursor ends.
template <typename T>
using Case = std::tuple<std::string_view, T, std::size_t>;

}  // namespace

TEST(json_scanner, read_u64_reads_number_and_digit_string_forms) {
  // clang-format off
  const Case<std::optional<std::uint64_t>> cases[] = {{"12.9", 12, 4}, {"1.5E+3x", 1, 6},
      {"  42 ,", 42, 4}, {"-5", {}, 2}, {"18446744073709551615", UINT64_MAX, 20},
      {"18446744073709551616", {}, 20}, {"99999999999999999999999.5", {}, 25}, {"\"42\"", 42, 4},
      {"\"+42\"", 42, 5}, {"\"4\\u0032\"", 42, 9}, {"\" 42\"", {}, 5}, {"\"1.5\"", {}, 5},
      {"\"\"", {}, 2}, {"\"+-1\"", {}, 5}, {"null,", {}, 4}, {"{\"a\":1} ", {}, 7}, {"", {}, 0}};
  // clang-format on
  for (const auto& [in, want, at] : cases) EXPECT_EQ(scan(in, read_u64), std::pair(want, at)) << in;
}

TEST(json_scanner, read_string_decodes_escapes_surrogates_and_rejects_bad_text) {
  // clang-format off
  const Case<std::optional<std::string>> cases[] = {{R"("")", "", 2}, {"x\"a\"", {}, 0},
      {R"("a\u00e9b")", "a\xC3\xA9" "b", 10}, {R"("\ud83d\uDE00")", "\xF0\x9F\x98\x80", 14},
      {R"("\ud83d")", "", 8}, {R"("\ude00\ud83d")", "", 14}, {R"("\ud83d\u0041")", "A", 14},
      {R"("\u0000")", std::string(1, 0), 8}, {R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t", 18},
      {"\"\x01\xC3\xA9\"", "\x01\xC3\xA9", 5}, {R"("\x")", {}, 3}, {R"("ab\u12G4")", {}, 5},
      {R"("\ud83d\uZZZZ")", {}, 9}, {R"("ab\u12")", {}, 5}, {R"("ab\)", {}, 4}, {R"("abc)", {}, 4},
      {"\"\xFF\"", {}, 3}, {"\"\xC3\\u00a9\"", {}, 9}, {"\"\xED\xA0\x80\"", {}, 5}};
  // clang-format on
  // The view form must not hand back what an earlier line left in the scratch buffer.
  const auto viewed = [](JsonCursor& cursor) {
    std::string scratch = "left over from an earlier line";
    return std::optional<std::string>(read_string_value_view(cursor, scratch));
  };
  for (const auto& [in, want, at] : cases) {
    EXPECT_EQ(scan(in, read_string), std::pair(want, at)) << in;
    EXPECT_EQ(scan(in, viewed), std::pair(want, in.starts_with('"') ? at : in.size())) << in;
  }
}

TEST(json_scanner, next_key_walks_members_with_lenient_commas_and_colons) {
  // clang-format off
  const Case<std::vector<std::string>> cases[] = {{R"({"a":1,"b":2,})", {"a", "b"}, 14},
      {R"({})", {}, 2}, {" \t\r\n{ , \"a\" : 1 }", {"a"}, 17}, {R"({"a":1,,"b":2})", {"a"}, 7},
      {R"({"a":1 "b":[2] "c" 3})", {"a", "b", "c"}, 21}, {R"({"k\u0065y":1})", {"key"}, 14},
      {R"({"a":{"x":[}]},"b":2})", {"a"}, 12}, {R"({"a":1,)", {"a"}, 7}, {"{\"a\":1}\n", {"a"}, 7},
      {R"({"a\x":1})", {}, 5}, {"\f{\"a\":1}", {}, 0}, {"\xA0{}", {}, 0}, {"[{}]", {}, 0}};
  // clang-format on
  const auto keys = [](JsonCursor& cursor) {
    std::vector<std::string> found;
    if (!begin_object(cursor)) return found;
    while (std::optional<std::string> key = next_key(cursor)) {
      found.push_back(std::move(*key));
      skip_value(cursor);
    }
    return found;
  };
  for (const auto& [in, want, at] : cases) EXPECT_EQ(scan(in, keys), std::pair(want, at)) << in;
}

TEST(json_scanner, skip_value_passes_one_value_at_any_depth_and_stops_on_nonsense) {
  // clang-format off
  std::vector<std::pair<std::string, std::size_t>> cases = {{R"("a\"b" ,)", 6}, {R"("a\\" ,)", 5},
      {R"([[1],{"a":"]"}] x)", 15}, {"true,", 4}, {"tru\"e ,", 5}, {"[1,]", 4}, {"[1 2]", 3},
      {R"({"a":[1}x)", 8}, {"{1:2}", 5}, {",", 0}, {R"("abc\)", 5}, {R"({"a":)", 5}, {"", 0},
      {std::string(1'000'000, '['), 1'000'000}};
  // clang-format on
  std::string nested;
  for (std::size_t i = 0; i < 500'000; ++i) nested += i % 2 == 0 ? "[" : "{\"k\":";
  for (std::size_t i = 500'000; i-- > 0;) nested += i % 2 == 0 ? "]" : "}";
  cases.emplace_back(nested + ",1", nested.size());
  for (const auto& [line, at] : cases) EXPECT_EQ(scan(line, skip).second, at) << line.substr(0, 20);
}
