#include "util/search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t npos = std::string_view::npos;

std::size_t naive_find(std::string_view hay, std::string_view needle) {
  if (needle.size() > hay.size()) return npos;
  for (std::size_t i = 0; i + needle.size() <= hay.size(); ++i) {
    if (hay.substr(i, needle.size()) == needle) return i;
  }
  return npos;
}

std::size_t naive_find_first(std::string_view hay, const std::vector<std::string_view>& needles) {
  std::size_t best = npos;
  for (const std::string_view needle : needles) best = std::min(best, naive_find(hay, needle));
  return best;
}

// Haystack bytes in an exact-size heap block, so reading past the end is caught under ASan.
struct Hay {
  explicit Hay(std::string_view text)
      : bytes(std::make_unique<char[]>(text.size())), view(bytes.get(), text.size()) {
    std::copy(text.begin(), text.end(), bytes.get());
  }
  std::unique_ptr<char[]> bytes;
  std::string_view view;
};

std::string random_text(std::mt19937& rng, std::size_t size, std::string_view alphabet) {
  std::string text(size, ' ');
  for (char& c : text) c = alphabet[rng() % alphabet.size()];
  return text;
}

const std::vector<std::string_view> kCodexNeedles = {
    "\"token_count\"", "\"turn_context\"", "\"thread_settings_applied\"", "\"session_meta\""};

}  // namespace

TEST(util_search, find_substring_matches_naive_search_on_small_alphabets) {
  std::mt19937 rng(11);
  for (int round = 0; round < 3000; ++round) {
    // Two or three letters give near-misses everywhere; needles are cut from the haystack or
    // made up, and their two compared bytes end up in every lane of a block.
    const std::string_view alphabet = round % 2 == 0 ? "ab" : "ab\"_k";
    const Hay hay(random_text(rng, rng() % 201, alphabet));
    std::string needle;
    if (rng() % 2 == 0 && !hay.view.empty()) {
      const std::size_t at = rng() % hay.view.size();
      needle = hay.view.substr(at, 1 + rng() % 20);
    } else {
      needle = random_text(rng, rng() % 21, alphabet);
    }
    ASSERT_EQ(find_substring(hay.view, needle), naive_find(hay.view, needle))
        << "needle " << needle << " in " << hay.view;
  }
}

TEST(util_search, needle_is_found_at_every_position_of_every_length) {
  const std::string_view needle = "\"input_tokens\"";
  for (std::size_t size = 0; size <= 200; ++size) {
    const std::string filler(size, 'x');
    EXPECT_EQ(find_substring(Hay(filler).view, needle), npos);
    for (std::size_t at = 0; at + needle.size() <= size; ++at) {
      std::string text = filler;
      text.replace(at, needle.size(), needle);
      ASSERT_EQ(find_substring(Hay(text).view, needle), at) << size;
      // A near miss just before must not hide the real match.
      if (at > 0) text[at - 1] = 'k';
      ASSERT_EQ(find_substring(Hay(text).view, needle), at) << size;
    }
  }
}

TEST(util_search, needle_set_finds_earliest_of_codex_needles) {
  const NeedleSet set(kCodexNeedles);
  std::mt19937 rng(5);
  for (int round = 0; round < 3000; ++round) {
    std::string text = random_text(rng, rng() % 201, "\"_tokenasi ");
    // Plant up to two needles, possibly overlapping or cut short by the end.
    for (int planted = rng() % 3; planted > 0 && !text.empty(); --planted) {
      const std::string_view needle = kCodexNeedles[rng() % kCodexNeedles.size()];
      const std::size_t at = rng() % text.size();
      text.replace(at, std::min(needle.size(), text.size() - at), needle);
    }
    const Hay hay(text);
    ASSERT_EQ(set.find_first(hay.view), naive_find_first(hay.view, kCodexNeedles)) << text;
  }
}

TEST(util_search, needle_set_handles_odd_sets) {
  const Hay hay("xxxx\"session_meta\"yy\"token_count\"zz");
  const std::vector<std::vector<std::string_view>> sets = {
      {"z", "yy"}, {"zz", "xxxxx"}, {"a", "b", "c", "d", "e", "\"t"},
      {},          {"q", ""},       {"meta\"", "\"session_meta\"yy", "xxx"}};
  for (const std::vector<std::string_view>& needles : sets) {
    const std::size_t expected = needles.empty() ? npos : naive_find_first(hay.view, needles);
    EXPECT_EQ(NeedleSet(needles).find_first(hay.view), expected);
  }
}

TEST(util_search, large_buffer_match_near_the_end) {
  std::string text(1 << 20, 'a');
  const NeedleSet set(kCodexNeedles);
  EXPECT_EQ(set.find_first(text), npos);
  for (const std::size_t back : {13, 14, 20, 64, 65, 100}) {
    std::string with = text;
    with.replace(with.size() - back, 13, "\"token_count\"");
    EXPECT_EQ(set.find_first(with), with.size() - back);
    EXPECT_EQ(find_substring(with, "\"token_count\""), with.size() - back);
  }
}
