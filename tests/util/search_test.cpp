#include "util/search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "util/cpu_features.h"

namespace {

std::size_t find_first(std::string_view hay, std::span<const std::string_view> needles) {
  std::size_t best = std::string_view::npos;
  for (const std::string_view needle : needles) best = std::min(best, hay.find(needle));
  return best;
}

const std::string_view kCodexNeedles[] = {"\"token_count\"", "\"turn_context\"",
                                          "\"thread_settings_applied\"", "\"session_meta\"",
                                          "review_mode\""};

}  // namespace

// Small alphabets and planted needles, some cut short by the end, put near misses everywhere.
TEST(util_search, agrees_with_string_view_find) {
  std::mt19937 rng(11);
  for (int round = 0; round < 6000; ++round) {
    const std::string_view alphabet = round % 2 == 0 ? "ab" : "\"_tokenasimdr ";
    std::string text(rng() % 201, ' ');
    for (char& c : text) c = alphabet[rng() % alphabet.size()];
    for (auto planted = rng() % 3; planted > 0 && !text.empty(); --planted) {
      const std::string_view needle = kCodexNeedles[rng() % std::size(kCodexNeedles)];
      const std::size_t at = rng() % text.size();
      text.replace(at, std::min(needle.size(), text.size() - at), needle);
    }
    const std::string needle =
        text.substr(rng() % (text.size() + 1), rng() % 21).append(rng() % 2, '"');
    // Every third round, a set of none to six needles cut from the text, empty ones included.
    std::vector<std::string> cut;
    for (auto k = round % 3 == 0 ? rng() % 7 : 0; k > 0; --k)
      cut.push_back(text.substr(rng() % (text.size() + 1), rng() % 21));
    std::vector<std::string_view> set(std::begin(kCodexNeedles), std::end(kCodexNeedles));
    if (round % 3 == 0) set.assign(cut.begin(), cut.end());
    const std::vector<char> bytes(text.begin(), text.end());  // exact size: ASan sees overreads
    const std::string_view hay(bytes.data(), bytes.size());
    ASSERT_EQ(NeedleSet(set).find_first(hay), find_first(hay, set)) << text;
    ASSERT_EQ(NeedleSet(set).find_first_portable(hay), find_first(hay, set)) << text;
    ASSERT_EQ(find_substring(hay, needle), hay.find(needle)) << needle << " in " << text;
  }
}

// A search looks first for a needle's bytes that are rarest in agent logs: control bytes, then
// UTF-8 bytes, then ASCII from the rarest; among equals the first, at two distinct offsets. A set
// is prefiltered by the rarest byte that all its needles share at one offset, if any.
TEST(util_search, probes_needles_and_sets_at_their_rarest_bytes) {
  using Shared = std::optional<std::pair<unsigned char, std::size_t>>;
  // clang-format off
  const std::tuple<std::string_view, std::uint32_t, std::uint32_t> cases[] = {{"x", 0, 0},
      {"eeeeeeeQeeee", 7, 0}, {"\x80\x01z", 1, 0}, {"e\xc3\xa9", 1, 2}, {"\"input_tokens\"", 9, 6}};
  const std::pair<std::vector<std::string>, Shared> sets[] = {
      {{"token_count\"", "urn_context\"", "ngs_applied\""}, {{'"', 11}}}, {{"ab", "cb"}, {{'b', 1}}},
      {{"xQyz", "zQy"}, {{'Q', 1}}}, {{"QaQ", "QbQ"}, {{'Q', 0}}}, {{"ab", "ba"}, std::nullopt},
      {{"QQ"}, std::nullopt}, {{std::string("x\0", 2), "y"}, std::nullopt}};
  // clang-format on
  for (const auto& [needle, first, second] : cases) {
    const NeedleSet::Probe probe = probe_of(needle);
    EXPECT_EQ(std::tuple(probe.first_offset, probe.second_offset, probe.first, probe.second),
              std::tuple(first, second, static_cast<unsigned char>(needle[first]),
                         static_cast<unsigned char>(needle[second])))
        << needle;
  }
  for (const auto& [needles, shared] : sets) EXPECT_EQ(shared_byte(needles), shared) << needles[0];
}

// A 256-bit instruction faults unless the processor has it and the system saves its registers.
TEST(cpu_features, avx2_needs_the_instructions_and_the_system) {
  constexpr unsigned kOsxsave = 1u << 27, kAvx = 1u << 28, kBoth = kOsxsave | kAvx;
  const std::pair<CpuidReadings, bool> rows[] = {
      {{7, kBoth, 6, 32}, true},    {{6, kBoth, 6, ~0u}, false}, {{13, kOsxsave, 6, 32}, false},
      {{13, kAvx, 6, 32}, false},   {{13, kBoth, 2, 32}, false}, {{13, kBoth, 4, 32}, false},
      {{13, kBoth, 7, ~32u}, false}};
  for (const auto& [cpu, usable] : rows) EXPECT_EQ(avx2_usable(cpu), usable) << cpu.leaf1_ecx;
#if (defined(__x86_64__) || defined(__i386__)) && !defined(METERLY_NO_SIMD) && \
    !defined(METERLY_NO_AVX2)
  // This processor, read right: the compiler's runtime, too unportable for the product, agrees.
  __builtin_cpu_init();
  EXPECT_EQ(cpu_features().avx2, __builtin_cpu_supports("avx2") != 0);
#endif
}
