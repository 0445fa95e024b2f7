#include "json/scanner.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kMax = UINT64_MAX;

// The line in a heap block of exactly its size, so a sanitizer build catches any read past it.
struct Line {
  explicit Line(std::string_view text)
      : bytes(std::make_unique<char[]>(text.size())), size(text.size()) {
    std::copy(text.begin(), text.end(), bytes.get());
  }
  JsonCursor cursor() const { return JsonCursor{std::string_view(bytes.get(), size), 0}; }
  std::unique_ptr<char[]> bytes;
  std::size_t size;
};

struct U64Case {
  std::string_view line;
  std::optional<std::uint64_t> value;
  std::size_t pos;
};

struct StringCase {
  std::string_view line;
  std::optional<std::string_view> text;
  std::size_t pos;
};

struct SkipCase {
  std::string_view line;
  std::size_t pos;
};

}  // namespace

TEST(json_scanner, read_u64_reads_number_and_digit_string_forms) {
  const U64Case cases[] = {
      {"12.9", 12, 4},
      {"1e3", 1, 3},
      {"1.5E+3x", 1, 6},
      {"007", 7, 3},
      {"  42 ,", 42, 4},
      {"-5", std::nullopt, 2},
      {"18446744073709551615", kMax, 20},
      {"18446744073709551616", std::nullopt, 20},
      {"99999999999999999999999.5", std::nullopt, 25},
      {"\"42\"", 42, 4},
      {"\"+42\"", 42, 5},
      {"\"4\\u0032\"", 42, 9},
      {"\"18446744073709551616\"", std::nullopt, 22},
      {"\" 42\"", std::nullopt, 5},
      {"\"1.5\"", std::nullopt, 5},
      {"\"\"", std::nullopt, 2},
      {"\"+-1\"", std::nullopt, 5},
      {"null,", std::nullopt, 4},
      {"{\"a\":1} ", std::nullopt, 7},
      {"[1,2]", std::nullopt, 5},
      {"", std::nullopt, 0},
  };
  for (const U64Case& c : cases) {
    const Line line(c.line);
    JsonCursor cursor = line.cursor();
    EXPECT_EQ(read_u64(cursor), c.value) << c.line;
    EXPECT_EQ(cursor.pos, c.pos) << c.line;
  }
}

TEST(json_scanner, read_string_decodes_escapes_surrogates_and_rejects_bad_text) {
  const StringCase cases[] = {
      {R"("plain")", "plain", 7},
      {R"("")", "", 2},
      {R"("a\u00e9b")",
       "a\xC3\xA9"
       "b",
       10},
      {R"("\ud83d\uDE00")", "\xF0\x9F\x98\x80", 14},
      {R"("\ud83d")", "", 8},
      {R"("\ude00\ud83d")", "", 14},
      {R"("\ud83dx")", "x", 9},
      {R"("\ud83d\u0041")", "A", 14},
      {R"("\ud83d\ud83d\ude00")", "\xF0\x9F\x98\x80", 20},
      {R"("\u0000")", std::string_view("\0", 1), 8},
      {R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t", 18},
      {"\"\x01\xC3\xA9\"", "\x01\xC3\xA9", 5},
      {R"("\x")", std::nullopt, 3},
      {R"("ab\u12G4")", std::nullopt, 5},
      {R"("\ud83d\uZZZZ")", std::nullopt, 9},
      {R"("ab\u12")", std::nullopt, 5},
      {R"("ab\)", std::nullopt, 4},
      {R"("abc)", std::nullopt, 4},
      {"\"\xFF\" ", std::nullopt, 3},
      {"\"\xC3\\u00a9\"", std::nullopt, 9},
      {"\"\xED\xA0\x80\"", std::nullopt, 5},
      {"x\"a\"", std::nullopt, 0},
      {"", std::nullopt, 0},
  };
  for (const StringCase& c : cases) {
    const Line line(c.line);
    JsonCursor owned = line.cursor();
    const std::optional<std::string> text = read_string(owned);
    EXPECT_EQ(text, c.text) << c.line;
    EXPECT_EQ(owned.pos, c.pos) << c.line;

    // The view form agrees, through a scratch buffer that still holds an older text.
    JsonCursor viewed = line.cursor();
    std::string scratch = "left over from an earlier line";
    EXPECT_EQ(read_string_value_view(viewed, scratch), c.text) << c.line;
    EXPECT_EQ(viewed.pos, c.line.empty() || c.line[0] == '"' ? c.pos : c.line.size()) << c.line;
  }
}

TEST(json_scanner, string_without_escapes_is_viewed_in_place) {
  const Line line(R"(  "model" )");
  JsonCursor cursor = line.cursor();
  std::string scratch;
  const std::optional<std::string_view> text = read_string_value_view(cursor, scratch);
  ASSERT_EQ(text, "model");
  EXPECT_EQ(text->data(), line.bytes.get() + 3);
}

TEST(json_scanner, only_four_bytes_are_whitespace) {
  for (const std::string_view line : {" \t\r\n{", "{"}) {
    const Line held(line);
    JsonCursor cursor = held.cursor();
    EXPECT_TRUE(begin_object(cursor)) << line;
    EXPECT_EQ(cursor.pos, line.size());
  }
  for (const std::string_view line : {"\f{", "\v{", "\xA0{", "\x85{", "[{", ""}) {
    const Line held(line);
    JsonCursor cursor = held.cursor();
    EXPECT_FALSE(begin_object(cursor)) << line;
    EXPECT_EQ(cursor.pos, 0u);
  }
}

TEST(json_scanner, next_key_walks_members_with_lenient_commas_and_colons) {
  struct Case {
    std::string_view line;
    std::vector<std::string> keys;
    std::size_t pos;  // where the cursor ends once next_key yields nothing
  };
  const Case cases[] = {
      {R"({"a":1,"b":2,})", {"a", "b"}, 14},
      {R"({})", {}, 2},
      {R"({ , "a" : 1 })", {"a"}, 13},
      {R"({"a":1 "b":[2] "c" 3})", {"a", "b", "c"}, 21},
      {R"({"k\u0065y":1,"\ud83d\ude00":2})", {"key", "\xF0\x9F\x98\x80"}, 31},
      {R"({"a":1,,"b":2})", {"a"}, 7},
      {R"({"a":{"x":[}]},"b":2})", {"a"}, 12},
      {R"({"a":1)", {"a"}, 6},
      {R"({"a":1,)", {"a"}, 7},
      {R"({"a\x":1})", {}, 5},
      {R"({"a":1} trailing)", {"a"}, 7},
      {"{\"a\":1}\n", {"a"}, 7},
  };
  for (const Case& c : cases) {
    const Line line(c.line);
    JsonCursor cursor = line.cursor();
    ASSERT_TRUE(begin_object(cursor)) << c.line;
    std::vector<std::string> keys;
    std::string scratch;
    while (const std::optional<std::string_view> key = next_key_view(cursor, scratch)) {
      keys.emplace_back(*key);
      skip_value(cursor);
    }
    EXPECT_EQ(keys, c.keys) << c.line;
    EXPECT_EQ(cursor.pos, c.pos) << c.line;
  }
}

TEST(json_scanner, skip_value_passes_one_value_and_stops_where_input_stops_making_sense) {
  const SkipCase cases[] = {
      {R"("a\"b" ,)", 6},
      {R"("a\\" ,)", 5},
      {R"([[1],{"a":"]"}] x)", 15},
      {R"({"a":{"b":[{"c":"d"}]}},)", 23},
      {"true,", 4},
      {"tru\"e ,", 5},
      {"[]", 2},
      {"[1,]", 4},
      {"[1 2]", 3},
      {R"({"a":[1}x)", 8},
      {R"([{"a":1]x)", 8},
      {"{1:2}", 5},
      {"{:}", 3},
      {",", 0},
      {R"("abc)", 4},
      {R"("abc\)", 5},
      {R"({"a":)", 5},
      {"", 0},
  };
  for (const SkipCase& c : cases) {
    const Line line(c.line);
    JsonCursor cursor = line.cursor();
    skip_value(cursor);
    EXPECT_EQ(cursor.pos, c.pos) << c.line;
  }
}

TEST(json_scanner, skip_value_survives_deep_nesting) {
  constexpr std::size_t depth = 1'000'000;
  const Line open(std::string(depth, '['));
  JsonCursor cursor = open.cursor();
  skip_value(cursor);
  EXPECT_EQ(cursor.pos, depth);

  std::string nested;
  for (std::size_t i = 0; i < depth / 2; ++i) nested += i % 2 == 0 ? "[" : "{\"k\":";
  for (std::size_t i = depth / 2; i-- > 0;) nested += i % 2 == 0 ? "]" : "}";
  nested += ",1";
  const Line closed(nested);
  cursor = closed.cursor();
  skip_value(cursor);
  EXPECT_EQ(cursor.pos, nested.size() - 2);
}

TEST(json_scanner, line_contains_finds_needle_anywhere) {
  EXPECT_FALSE(line_contains("\"input", "\"input_tokens\""));
  EXPECT_TRUE(line_contains("\"input_tokens\"", "\"input_tokens\""));
  EXPECT_TRUE(line_contains("{\"input_tokens\":1}\n", "\"input_tokens\""));
  EXPECT_FALSE(line_contains("{\"input_token\":1,\"output_tokens\":2}\n", "\"input_tokens\""));
  EXPECT_TRUE(line_contains("", ""));
}
