#include "util/table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Models = std::set<std::string, std::less<>>;

std::string repeat(std::string_view piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out.append(piece);
  return out;
}

}  // namespace

TEST(table, trims_trailing_white_space_of_each_line) {
  struct Case {
    std::vector<std::string> row;
    std::string line;
  };
  const Case cases[] = {
      {{"a", ""}, "a"},
      {{"a", "b "}, "a  b"},
      {{"a", "b\xC2\xA0\xE3\x80\x80"}, "a  b"},      // NBSP and ideographic space
      {{"a", "b\xE2\x80\x93"}, "a  b\xE2\x80\x93"},  // en dash is not a space
      {{"a"}, "a"},                                  // a missing cell is empty
  };
  for (const Case& c : cases) {
    const std::string text =
        render_table({"H", "Wide"}, {Align::left, Align::left}, {c.row}, std::nullopt, false);
    const std::string last = text.substr(text.rfind('\n') + 1);
    EXPECT_EQ(last, c.line) << c.row[0];
  }
}

TEST(table, models_cell_shortens_and_limits) {
  struct Case {
    Models models;
    std::string cell;
  };
  const Case cases[] = {
      {{}, ""},
      {{"claude-opus-4-1-20250805"}, "opus-4-1"},
      {{"claude-sonnet-4-5"}, "sonnet-4-5"},
      {{"gpt-5-codex"}, "gpt-5-codex"},
      {{"gpt-20250805"}, "gpt"},
      {{"claude-3-5-sonnet-20241022"}, "3-5-sonnet"},
      {{"Claude-opus-4"}, "Claude-opus-4"},
      {{"claude-"}, ""},
      {{"m-2025080", "n-202508051", "o-2025a805"}, "m-2025080, n-202508051, o-2025a805"},
      {{"claude-opus-4-1-20250805", "claude-sonnet-4-5-20250929"}, "opus-4-1, sonnet-4-5"},
      // Exactly 40 wide stays whole; one more goes to the short list.
      {{repeat("a", 19), repeat("b", 19)}, repeat("a", 19) + ", " + repeat("b", 19)},
      {{repeat("a", 19), repeat("b", 20)}, repeat("a", 19) + ", +1"},
      // The short list may reach 34 exactly.
      {{repeat("a", 16), repeat("b", 16), repeat("c", 10)},
       repeat("a", 16) + ", " + repeat("b", 16) + ", +1"},
      // The walk stops at the first id that does not fit, even if a later one would.
      {{repeat("a", 30), repeat("b", 10), "c"}, repeat("a", 30) + ", +2"},
      {{repeat("a", 35), repeat("b", 5)}, ", +2"},
      // Widths count scalar values, not bytes.
      {{repeat("é", 19), repeat("ü", 19)}, repeat("é", 19) + ", " + repeat("ü", 19)},
      {{repeat("é", 20), repeat("ü", 21)}, repeat("é", 20) + ", +1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(models_cell(c.models), c.cell) << (c.models.empty() ? "" : *c.models.begin());
  }
}

TEST(table, terminal_safe_replaces_each_control_character) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"plain – é 漢", "plain – é 漢"},
      {"\x1b[2J", "?[2J"},
      {std::string("a\0b", 3), "a?b"},
      {"\t\n\r\x7f", "????"},
      {"\xC2\x80|\xC2\x9B|\xC2\x9F", "?|?|?"},
      {"\xC2\xA0\xC2\xBF", "\xC2\xA0\xC2\xBF"},
      {"x\xC2", "x\xC2"},  // a cut-off sequence is left as it is
  };
  for (const Case& c : cases) EXPECT_EQ(terminal_safe(c.in), c.out) << c.in;
}
