#include "util/table.h"
#include "util/text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

TEST(table, pads_to_scalar_widths_and_trims_trailing_white_space) {
  // No-break and ideographic spaces are white space; an en dash is not.
  EXPECT_EQ(render_table({"H", "Wide"}, {Align::left, Align::left},
                         {{"a", "b\xC2\xA0\xE3\x80\x80"}, {"a"}, {"", "–"}}, {{"T", "1"}}, false),
            "H  Wide\n─  ────\na  b\na\n   –\n─  ────\nH  Wide\nT  1");
}

TEST(table, models_cell_shortens_ids_and_lists_what_fits) {
  const auto s = [](std::size_t n, char c = 'a') { return std::string(n, c); };
  // 40 and 34 wide fit exactly; the walk stops at the first misfit; widths count scalar values.
  // clang-format off
  const std::pair<std::set<std::string, std::less<>>, std::string> cases[] = {{{}, ""},
      {{"claude-opus-4-1-20250805", "claude-sonnet-4-5-20250929"}, "opus-4-1, sonnet-4-5"},
      {{"gpt-20250805"}, "gpt"}, {{"Claude-opus-4"}, "Claude-opus-4"}, {{"claude-"}, ""},
      {{"m-2025080", "n-202508051", "o-2025a805"}, "m-2025080, n-202508051, o-2025a805"},
      {{s(19), s(19, 'b')}, s(19) + ", " + s(19, 'b')}, {{s(19), s(20, 'b')}, s(19) + ", +1"},
      {{s(16), s(16, 'b'), s(5, 'c')}, s(16) + ", " + s(16, 'b') + ", +1"},
      {{s(30), s(10, 'b'), "c"}, s(30) + ", +2"}, {{s(35), s(4, 'b')}, ", +2"},
      {{"é" + s(18), "ü" + s(18)}, "é" + s(18) + ", ü" + s(18)},
      {{"é" + s(33), "ü" + s(4)}, "é" + s(33) + ", +1"}};
  // clang-format on
  for (const auto& [models, cell] : cases) EXPECT_EQ(models_cell(models), cell) << cell;
}

TEST(table, terminal_safe_replaces_each_control_character) {
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {{"plain – é 漢", "plain – é 漢"},
      {"\x1b[2J", "?[2J"}, {std::string("a\0b", 3), "a?b"}, {"\t\n\r\x7f", "????"},
      {"\xC2\x80|\xC2\x9B|\xC2\x9F", "?|?|?"}, {"\xC2\xA0\xC2\xBF", "\xC2\xA0\xC2\xBF"},
      {"\u202a\u202e\u2066\u2069|\u2029\u202f\u2065\u206a", "????|\u2029\u202f\u2065\u206a"},
      {"x\xC2", "x\xC2"}, {"x\xE2\x80", "x\xE2\x80"}};  // a cut-off sequence is left as it is
  // clang-format on
  for (const auto& [in, out] : cases) EXPECT_EQ(terminal_safe(in), out) << in;
}

TEST(text, trims_exactly_the_unicode_white_space_at_either_end) {
  // Each white-space range by its ends, and the neighbours just outside them.
  for (const char* space : {"\t", "\r", " ", "\u0085", "\u00a0", "\u1680", "\u2000", "\u200a",
                            "\u2028", "\u2029", "\u202f", "\u205f", "\u3000"}) {
    EXPECT_EQ(trim_unicode_space(std::string(space) + "x" + space + space), "x") << space;
  }
  for (const char* kept :
       {"\b", "\x0e", "!", "\u0084", "\u00a1", "\u167f", "\u1fff", "\u200b", "\u2027", "\u202a",
        "\u2060", "\u3001", "\U0001F600", "\u00e9", "\u0800"}) {
    EXPECT_EQ(trim_unicode_space(std::string(kept) + " " + kept + " "),
              std::string(kept) + " " + kept)
        << kept;
  }
  EXPECT_EQ(trim_unicode_space(" \u3000 "), "");
  // Bytes that are not UTF-8 end the trimming from the back; they are never cut.
  for (const char* bytes : {"a \xff", "a \xe3\x80", "\x80\x80\x80\x80", "a\xf0\x9f\x98"}) {
    EXPECT_EQ(trim_trailing_unicode_space(std::string(bytes) + "\u3000 "), bytes);
  }
}
