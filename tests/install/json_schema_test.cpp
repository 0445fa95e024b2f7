#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/process.h"

namespace {

// A JSON value as a strict reader sees it. Numbers keep their text, because the form of the
// text (digits only, exactly six decimals) is what the report promises.
struct Json {
  enum class Kind { null, boolean, number, string, array, object };
  Kind kind = Kind::null;
  std::string text;                // number text or decoded string
  std::vector<Json> items;         // array elements, or object member values
  std::vector<std::string> names;  // object member names, in document order, beside `items`
};

// Strict RFC 8259 reader: anything it does not accept is a fault in the document.
class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : text_(text) {}

  /// The one value of the document, or nothing when the text is not exactly one JSON value.
  std::optional<Json> document() {
    auto value = parse_value();
    skip_space();
    if (!value || pos_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  void skip_space() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' ||
                                   text_[pos_] == '\r' || text_[pos_] == '\t')) {
      ++pos_;
    }
  }

  bool take(char c) {
    skip_space();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  bool take_word(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  std::optional<Json> parse_value() {
    skip_space();
    if (pos_ >= text_.size()) return std::nullopt;
    Json value;
    const char c = text_[pos_];
    if (c == '{') return parse_object();
    if (c == '[') return parse_array();
    if (c == '"') {
      auto text = parse_string();
      if (!text) return std::nullopt;
      value.kind = Json::Kind::string;
      value.text = std::move(*text);
      return value;
    }
    if (take_word("null")) return value;
    if (take_word("true") || take_word("false")) {
      value.kind = Json::Kind::boolean;
      return value;
    }
    return parse_number();
  }

  std::optional<Json> parse_number() {
    static const std::regex number(R"(-?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][-+]?[0-9]+)?)");
    std::size_t end = pos_;
    while (end < text_.size() &&
           std::string_view("+-.0123456789eE").find(text_[end]) != std::string_view::npos) {
      ++end;
    }
    const std::string candidate(text_.substr(pos_, end - pos_));
    if (candidate.empty() || !std::regex_match(candidate, number)) return std::nullopt;
    pos_ = end;
    Json value;
    value.kind = Json::Kind::number;
    value.text = candidate;
    return value;
  }

  std::optional<std::string> parse_string() {
    ++pos_;  // opening quotation mark
    std::string out;
    while (pos_ < text_.size()) {
      const auto c = static_cast<unsigned char>(text_[pos_++]);
      if (c == '"') return out;
      if (c < 0x20) return std::nullopt;
      if (c != '\\') {
        out.push_back(static_cast<char>(c));
        continue;
      }
      if (pos_ >= text_.size()) return std::nullopt;
      const char e = text_[pos_++];
      switch (e) {
        case '"':
          out.push_back('"');
          break;
        case '\\':
          out.push_back('\\');
          break;
        case '/':
          out.push_back('/');
          break;
        case 'b':
          out.push_back('\b');
          break;
        case 'f':
          out.push_back('\f');
          break;
        case 'n':
          out.push_back('\n');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'u': {
          if (pos_ + 4 > text_.size()) return std::nullopt;
          unsigned code = 0;
          for (int k = 0; k < 4; ++k) {
            const char h = text_[pos_++];
            const auto digit =
                std::string_view("0123456789abcdef").find(static_cast<char>(h | 0x20));
            if (digit == std::string_view::npos) return std::nullopt;
            code = code * 16 + static_cast<unsigned>(digit);
          }
          // The report escapes only control characters, so one byte is all that arrives here.
          if (code >= 0x80) return std::nullopt;
          out.push_back(static_cast<char>(code));
          break;
        }
        default:
          return std::nullopt;
      }
    }
    return std::nullopt;
  }

  std::optional<Json> parse_array() {
    ++pos_;
    Json value;
    value.kind = Json::Kind::array;
    if (take(']')) return value;
    do {
      auto item = parse_value();
      if (!item) return std::nullopt;
      value.items.push_back(std::move(*item));
    } while (take(','));
    if (!take(']')) return std::nullopt;
    return value;
  }

  std::optional<Json> parse_object() {
    ++pos_;
    Json value;
    value.kind = Json::Kind::object;
    if (take('}')) return value;
    do {
      skip_space();
      if (pos_ >= text_.size() || text_[pos_] != '"') return std::nullopt;
      auto key = parse_string();
      if (!key || !take(':')) return std::nullopt;
      auto member = parse_value();
      if (!member) return std::nullopt;
      value.names.push_back(std::move(*key));
      value.items.push_back(std::move(*member));
    } while (take(','));
    if (!take('}')) return std::nullopt;
    return value;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

TEST(json_reader, accepts_json_and_rejects_the_rest) {
  const struct {
    const char* text;
    bool valid;
  } cases[] = {
      {R"({"a": [1, 2.5, -3e2], "b": null, "c": "x\"\\\n\u001b"})", true},
      {"  [ ]\n", true},
      {R"({"a": 1,})", false},
      {R"([1 2])", false},
      {R"({"a" 1})", false},
      {"\"tab\tinside\"", false},
      {R"(01)", false},
      {R"(1.)", false},
      {R"("\x")", false},
      {R"({"a": 1} {})", false},
      {"", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(JsonReader(c.text).document().has_value(), c.valid) << c.text;
}

// What every group of every view must look like, member by member and in this order.
void expect_group_shape(const Json& group, const std::string& view) {
  static const std::vector<std::string> kMembers = {
      "period", "agent", "project", "models", "input", "output", "cache", "cost", "lastActive"};
  static const std::map<std::string, std::regex> kPeriod = {
      {"daily", std::regex(R"([0-9]{4}-[0-9]{2}-[0-9]{2})")},
      {"monthly", std::regex(R"([0-9]{4}-[0-9]{2})")},
      {"session", std::regex(R"(.+)")},
  };
  static const std::regex kUnsigned(R"(0|[1-9][0-9]{0,19})");
  static const std::regex kCost(R"((0|[1-9][0-9]*)\.[0-9]{6})");
  static const std::regex kInstant(
      R"([0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}Z)");

  ASSERT_EQ(group.kind, Json::Kind::object);
  ASSERT_EQ(group.names, kMembers);
  const auto member = [&](std::size_t i) -> const Json& { return group.items[i]; };

  EXPECT_EQ(member(0).kind, Json::Kind::string);
  EXPECT_TRUE(std::regex_match(member(0).text, kPeriod.at(view))) << member(0).text;
  EXPECT_EQ(member(1).kind, Json::Kind::string);
  EXPECT_TRUE(member(1).text == "claude" || member(1).text == "codex") << member(1).text;
  EXPECT_EQ(member(2).kind, Json::Kind::string);

  const Json& models = member(3);
  ASSERT_EQ(models.kind, Json::Kind::array);
  EXPECT_FALSE(models.items.empty());
  if (view != "session") {
    EXPECT_EQ(models.items.size(), 1u);
  }
  for (std::size_t i = 0; i < models.items.size(); ++i) {
    EXPECT_EQ(models.items[i].kind, Json::Kind::string);
    if (i > 0) {
      EXPECT_LT(models.items[i - 1].text, models.items[i].text) << "ascending, distinct";
    }
  }

  for (std::size_t i = 4; i <= 6; ++i) {
    EXPECT_EQ(member(i).kind, Json::Kind::number) << kMembers[i];
    EXPECT_TRUE(std::regex_match(member(i).text, kUnsigned)) << kMembers[i] << member(i).text;
  }
  EXPECT_EQ(member(7).kind, Json::Kind::number);
  EXPECT_TRUE(std::regex_match(member(7).text, kCost)) << member(7).text;

  const Json& last_active = member(8);
  if (last_active.kind != Json::Kind::null) {
    EXPECT_EQ(last_active.kind, Json::Kind::string);
    EXPECT_TRUE(std::regex_match(last_active.text, kInstant)) << last_active.text;
  }
}

struct Totals {
  std::uint64_t input = 0, output = 0, cache = 0;
  bool operator==(const Totals&) const = default;
};

TEST(json_schema, every_view_prints_the_documented_members) {
  std::map<std::string, Totals> totals;
  for (const std::string view : {"daily", "monthly", "session"}) {
    RunSpec spec;
    spec.args = {view, "--json"};
    spec.env = {{"HOME", METERLY_SOURCE_DIR "/tests/e2e/cases/daily_table/home"}, {"TZ", "UTC"}};
    const ProcessResult result = run_meterly(spec);
    ASSERT_EQ(result.status, 0) << view << result.err;
    EXPECT_EQ(result.err, "") << view;
    ASSERT_TRUE(result.out.ends_with("}\n")) << view << result.out;

    const std::optional<Json> document = JsonReader(result.out).document();
    ASSERT_TRUE(document.has_value()) << view << ": not JSON:\n" << result.out;
    ASSERT_EQ(document->kind, Json::Kind::object);
    ASSERT_EQ(document->names, (std::vector<std::string>{"command", "groups"}));
    EXPECT_EQ(document->items[0].kind, Json::Kind::string);
    EXPECT_EQ(document->items[0].text, view);
    const Json& groups = document->items[1];
    ASSERT_EQ(groups.kind, Json::Kind::array);
    ASSERT_FALSE(groups.items.empty()) << view;

    for (const Json& group : groups.items) {
      SCOPED_TRACE(view);
      expect_group_shape(group, view);
      if (HasFatalFailure()) return;
      Totals& sum = totals[view];
      sum.input += std::stoull(group.items[4].text);
      sum.output += std::stoull(group.items[5].text);
      sum.cache += std::stoull(group.items[6].text);
    }
  }
  // The views only regroup the same calls, so no token may be lost or counted twice.
  EXPECT_EQ(totals["daily"], totals["monthly"]);
  EXPECT_EQ(totals["daily"], totals["session"]);
}

}  // namespace
