#include "json/scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
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

// A line, what the operation gives for it ({} for nothing), and where the cursor ends.
template <typename T>
using Case = std::tuple<std::string_view, T, std::size_t>;

// skip_value's rules written out plainly: where a cursor at `at` ends up.
std::size_t reference_skip(std::string_view s, std::size_t at) {
  const auto space = [&] {
    while (at < s.size() && std::string_view(" \t\n\r").find(s[at]) != s.npos) ++at;
  };
  const auto string = [&] {
    while (++at < s.size() && s[at] != '"') at += s[at] == '\\';
    at = std::min(at + 1, s.size());
  };
  space();
  if (at == s.size()) return at;
  const char open = s[at];
  if (open == '"') return string(), at;
  if (open != '[' && open != '{') return std::min(s.size(), s.find_first_of(" \t\n\r,]}", at));
  const char close = open == '[' ? ']' : '}';
  ++at;
  space();
  if (at < s.size() && s[at] == close) return at + 1;
  for (;;) {
    if (open == '{') {
      space();
      if (at < s.size() && s[at] == '"') string();
      space();
      at += at < s.size() && s[at] == ':';
    }
    at = reference_skip(s, at);
    space();
    if (at == s.size() || s[at] != ',') return at + (at < s.size() && s[at] == close);
    ++at;
  }
}

}  // namespace

TEST(json_scanner, read_u64_reads_number_and_digit_string_forms) {
  // clang-format off
  const Case<std::optional<std::uint64_t>> cases[] = {{"12.9", 12, 4}, {"1.5E+3x", 1, 6},
      {"  42 ,", 42, 4}, {"-5", {}, 2}, {"18446744073709551615", UINT64_MAX, 20},
      {"18446744073709551616,", {}, 20}, {"99999999999999999999999.5", {}, 25}, {"\"42\"", 42, 4},
      {"\"+42\"", 42, 5}, {"\"4\\u0032\"", 42, 9}, {"\" 42\"", {}, 5}, {"\"1.5\"", {}, 5},
      {"\"\"", {}, 2}, {"\"+-1\"", {}, 5}, {"null,", {}, 4}, {"{\"a\":1} ", {}, 7}, {"", {}, 0},
      {"007", 7, 3}, {"1e3", 1, 3}, {"2E-4}", 2, 4}, {"3e", 3, 2}, {"4.", 4, 2}, {"5.e+", 5, 4},
      {"-", {}, 1}, {"-.5", {}, 3}, {"1234567890123456789", 1234567890123456789, 19},
      {"12345678901234567890", 12345678901234567890u, 20}, {"\"18446744073709551616\"", {}, 22},
      {"\"09\"", 9, 4}, {"\"9a\"", {}, 4}, {"\"++1\"", {}, 5}, {"\"/\"", {}, 3}, {"\":\"", {}, 3}};
  // clang-format on
  for (const auto& [in, want, at] : cases) EXPECT_EQ(scan(in, read_u64), std::pair(want, at)) << in;
  // A number that ends its text is not continued by the bytes after the text.
  for (const std::string_view bytes : {"3e5", "3.5", "3E5"}) {
    JsonCursor cursor{bytes.substr(0, 1)};
    EXPECT_EQ(read_u64(cursor), 3u) << bytes;
    EXPECT_EQ(cursor.pos, 1u) << bytes;
  }
}

// The usual forms take the inline paths; anything else is left, cursor untouched, to the rest.
TEST(json_scanner, inline_paths_take_the_usual_forms) {
  enum Path { number, key, skip };
  const std::string pad(40, ' ');
  // clang-format off
  const std::tuple<Path, std::string, bool> cases[] = {{number, "7,", true}, {number, "7", false},
      {number, "1234567890123456789}", true}, {number, "12345678901234567890,", false},
      {number, "7.0", false}, {number, "7e1", false}, {number, "7E1", false}, {number, "-7,", false},
#ifdef METERLY_BYTES16
      {key, ",\"input_tokens\":1" + pad, true}, {key, "\"a\":" + std::string(31, ' '), true},
      {key, "\"a\":1", false}, {key, "\"a\\\"b\":1" + pad, false}, {key, "\"\xC3\xA9\":1" + pad, false},
      {key, "\"a\" :1" + pad, false}, {skip, "\"a,b\"" + std::string(11, ' '), true},
      {skip, "true," + pad, true}, {skip, std::string(16, '1'), false}, {skip, "[1]" + pad, false},
      {skip, " 1" + pad, false},
#endif
  };
  // clang-format on
  for (const auto& [path, text, taken] : cases) {
    JsonCursor c{text};
    const bool got = path == number ? read_u64_inline(c).has_value()
                     : path == key  ? next_key_inline(c).has_value()
                                    : skip_value_inline(c);
    EXPECT_EQ(std::pair(got, c.pos != 0), std::pair(taken, taken)) << text;
  }
}

TEST(json_scanner, read_string_decodes_escapes_surrogates_and_rejects_bad_text) {
  // clang-format off
  const Case<std::optional<std::string>> cases[] = {{R"("")", "", 2}, {"x\"a\"", {}, 0},
      {R"("a\u00e9b")", "a\xC3\xA9" "b", 10}, {R"("\ud83d\uDE00")", "\xF0\x9F\x98\x80", 14},
      {R"("\ud83d")", "", 8}, {R"("\ude00\ud83d")", "", 14}, {R"("\ud83d\u0041")", "A", 14},
      {R"("\u0000")", std::string(1, 0), 8}, {R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t", 18},
      {"\"\x01\xC3\xA9\"", "\x01\xC3\xA9", 5}, {R"("\x")", {}, 3}, {R"("ab\u12G4")", {}, 5},
      {R"("\ud83d\uZZZZ")", {}, 9}, {R"("ab\u12")", {}, 5}, {R"("ab\)", {}, 4}, {R"("abc)", {}, 4},
      {"\"\xFF\"", {}, 3}, {"\"\xC3\\u00a9\"", {}, 9}, {"\"\xED\xA0\x80\"", {}, 5},
      // Each end of each hexadecimal range, each UTF-8 length, both ends of both surrogate ranges.
      {R"("\u0009\u007F\u0080\u07ff\u0800\uFFFF")", "\t\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF", 38},
      {R"("\uD800\uDC00\udbff\udfff\uaAfF")", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xEA\xAB\xBF", 32},
      {R"("\udbff\ue000\udfff\ud7ff")", "\xEE\x80\x80\xED\x9F\xBF", 26}, {R"("\u004/")", {}, 3},
      {R"("\udc00x")", "x", 9}, {R"("\ud800ABdc00")", "ABdc00", 14}, {"\"\xF5\x80\x80\x80\"", {}, 6},
      {R"("\u:000")", {}, 3}, {R"("\u00`0")", {}, 3}, {R"("\u00g0")", {}, 3}, {R"("\u@000")", {}, 3},
      {R"("\uG000")", {}, 3}, {R"("\u0041)", {}, 7}, {R"("\u004)", {}, 3}, {R"("\)", {}, 2},
      {R"("a\q")", {}, 4}, {"\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\\n\xC3\xA9\"",
       "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\n\xC3\xA9", 38},
      // Short strings in long lines, which one look at 32 bytes settles.
      {"\"\xFF\"                                ", {}, 3}, {"\"a\xFF\"                                ", {}, 4},
      {"\"\xC3\xA9\"                                ", "\xC3\xA9", 4}};
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
      {R"({"a\x":1})", {}, 5}, {"\f{\"a\":1}", {}, 0}, {"\xA0{}", {}, 0}, {"[{}]", {}, 0},
      {"{\"k\xFF\":1}                                        ", {}, 5}, {"{\"\xC3\xA9\":1}                                        ", {"\xC3\xA9"}, 8},
      {"{\"a\" : 1,\"ab:c\":2}                               ", {"a", "ab:c"}, 18},
      {R"({"k\u0065y")", {"key"}, 11},  // the line ends right after a key
      // A colon right after the 32 bytes that one look covers belongs to the key.
      {"{\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa:x\":1}                                ", {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa:x"}, 40}};
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

// Random lines of JSON pieces and junk, from every start, on both sides of every block boundary.
TEST(json_scanner, skip_value_follows_its_rules_from_every_start) {
  const std::string_view pieces[] = {"[",      "]",          "{",        "}",   "\"", "\\",
                                     ",",      ":",          " ",        "\n",  "a",  "1.5e3",
                                     "\"k\":", "\"x\\\"y\"", "\xC3\xA9", "true"};
  std::mt19937 rng(5);
  for (int round = 0; round < 3000; ++round) {
    std::string line;
    for (const std::size_t size = rng() % 140; line.size() < size;)
      line += pieces[rng() % (round % 2 == 0 ? 8 : std::size(pieces))];
    for (std::size_t at = 0; at <= line.size(); ++at) {
      const auto from = [at](JsonCursor& cursor) { return cursor.pos = at, skip_value(cursor), 0; };
      const auto general = [at](JsonCursor& c) { return c.pos = at, skip_value_general(c), 0; };
      ASSERT_EQ(scan(line, from).second, reference_skip(line, at)) << at << " in " << line;
      ASSERT_EQ(scan(line, general).second, reference_skip(line, at)) << at << " in " << line;
    }
  }
}
