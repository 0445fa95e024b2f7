#include "util/table.h"
#include "util/text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

// The models column is pinned by the session_models_column end-to-end case.
TEST(table, pads_to_scalar_widths_and_trims_trailing_white_space) {
  // No-break and ideographic spaces are white space; an en dash is not.
  EXPECT_EQ(render_table({"H", "Wide"}, {Align::left, Align::left},
                         {{"a", "b\xC2\xA0\xE3\x80\x80"}, {"a"}, {"", "–"}}, {{"T", "1"}}, false),
            "H  Wide\n─  ────\na  b\na\n   –\n─  ────\nH  Wide\nT  1");
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
  for (const char* bytes : {"a \xff", "a \xe3\x80", "\x80\x80\x80\x80", "a\xf0\x9f\x98", "\x80"}) {
    EXPECT_EQ(trim_trailing_unicode_space(std::string(bytes) + "\u3000 "), bytes);
  }
}
