// The compiled-in price catalogue and the cost of a turn.
#include "pricing/price.h"

#include <array>
#include <cstddef>
#include <string>

// The cost must be the same double on every build: no fused multiply-add may merge its steps.
#ifdef __clang__
#pragma STDC FP_CONTRACT OFF
#endif

namespace {

// Rows are scanned in this order: the first exact match wins, and of two equally long prefixes
// of an id, the later row.
constexpr std::array<PriceEntry, 47> kCatalogue{{
    {"claude-opus-5", 5, 25, 6.25, 10, 0.5},
    {"claude-opus-5-fast", 10, 50, 12.5, 20, 1},
    {"claude-opus-4-8", 5, 25, 6.25, 10, 0.5},
    {"claude-opus-4-7", 5, 25, 6.25, 10, 0.5},
    {"claude-opus-4-6", 5, 25, 6.25, 10, 0.5},
    {"claude-opus-4-5", 5, 25, 6.25, 10, 0.5},
    {"claude-opus-4-1", 15, 75, 18.75, 30, 1.5},
    {"claude-opus-4", 15, 75, 18.75, 30, 1.5},
    {"claude-fable-5-1", 10, 50, 12.5, 20, 0.25},
    {"claude-fable-5", 10, 50, 12.5, 20, 1},
    {"claude-sonnet-5", 2, 10, 2.5, 4, 0.2},
    // These cache-read prices were derived as a tenth of the input price in double arithmetic,
    // one unit in the last place above 0.3 and 0.08; costs depend on that exact value.
    {"claude-sonnet-4-6", 3, 15, 3.75, 6, 3 * 0.1},
    {"claude-sonnet-4-5", 3, 15, 3.75, 6, 3 * 0.1},
    {"claude-sonnet-4", 3, 15, 3.75, 6, 3 * 0.1},
    {"claude-3-5-sonnet", 3, 15, 3.75, 6, 3 * 0.1},
    {"claude-haiku-4-5", 1, 5, 1.25, 2, 0.1},
    {"claude-3-5-haiku", 0.8, 4, 1, 1.6, 0.8 * 0.1},
    {"claude-3-opus", 15, 75, 18.75, 30, 1.5},
    {"claude-3-haiku", 0.25, 1.25, 0.3125, 0.5, 0.025},
    {"gpt-5.6-sol", 4, 20, 0, 0, 0.4},
    {"gpt-5.6-sol-fast", 8, 40, 0, 0, 0.8},
    {"gpt-5.6-terra", 2, 12, 0, 0, 0.2},
    {"gpt-5.6-terra-fast", 4, 24, 0, 0, 0.4},
    {"gpt-5.6-luna", 0.2, 1.2, 0, 0, 0.02},
    {"gpt-5.6-luna-fast", 0.4, 2.4, 0, 0, 0.04},
    {"gpt-5.5", 5, 30, 0, 0, 0.5},
    {"gpt-5.5-fast", 12.5, 75, 0, 0, 1.25},
    {"gpt-5.4", 2.5, 15, 0, 0, 0.25},
    {"gpt-5.4-fast", 5, 30, 0, 0, 0.5},
    {"gpt-5.4-mini", 0.75, 4.5, 0, 0, 0.075},
    {"gpt-5.3-codex", 1.75, 14, 0, 0, 0.175},
    {"gpt-5.3-codex-fast", 3.5, 28, 0, 0, 0.35},
    {"gpt-5.3", 1.75, 14, 0, 0, 0.175},
    {"gpt-5.2-codex", 1.75, 14, 0, 0, 0.175},
    {"gpt-5.2", 1.75, 14, 0, 0, 0.175},
    {"gpt-5.1-codex-mini", 0.25, 2, 0, 0, 0.025},
    {"gpt-5.1-codex-max", 1.25, 10, 0, 0, 0.125},
    {"gpt-5.1-codex", 1.25, 10, 0, 0, 0.125},
    {"gpt-5.1", 1.25, 10, 0, 0, 0.125},
    {"gpt-5-codex", 1.25, 10, 0, 0, 0.125},
    {"gpt-5-mini", 0.25, 2, 0, 0, 0.025},
    {"gpt-5-nano", 0.05, 0.4, 0, 0, 0.005},
    {"gpt-5", 1.25, 10, 0, 0, 0.125},
    {"codex-mini-latest", 1.5, 6, 0, 0, 0.375},
    {"codex-mini", 1.5, 6, 0, 0, 0.375},
    {"o3", 2, 8, 0, 0, 0.5},
    {"o4-mini", 1.1, 4.4, 0, 0, 0.275},
}};

// A short id that names one row outright; the review model changed rows at one instant.
struct Alias {
  std::string_view key;
  std::string_view model;
  std::string_view model_from_switch;
};

constexpr std::int64_t kReviewModelSwitchMs = 1785369600000;  // 2026-07-30T00:00:00Z

constexpr std::array<Alias, 5> kAliases{{
    {"opus", "claude-opus-5", "claude-opus-5"},
    {"haiku", "claude-haiku-4-5", "claude-haiku-4-5"},
    {"sonnet", "claude-sonnet-5", "claude-sonnet-5"},
    {"gpt-5.6", "gpt-5.6-sol", "gpt-5.6-sol"},
    {"codex-auto-review", "gpt-5.5", "gpt-5.6-luna"},
}};

constexpr std::string_view kFastSuffix = "-fast";

const PriceEntry* find_exact(std::string_view model) {
  for (const PriceEntry& entry : kCatalogue) {
    if (entry.model == model) return &entry;
  }
  return nullptr;
}

void lower_ascii(std::string_view from, char* to) {
  for (const char c : from) *to++ = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c;
}

}  // namespace

std::span<const PriceEntry> price_catalogue() {
  return kCatalogue;
}

const PriceEntry* find_price(std::string_view lowered_id, std::int64_t event_time_ms) {
  if (const PriceEntry* exact = find_exact(lowered_id)) return exact;
  for (const Alias& alias : kAliases) {
    if (alias.key == lowered_id) {
      return find_exact(event_time_ms < kReviewModelSwitchMs ? alias.model
                                                             : alias.model_from_switch);
    }
  }
  const PriceEntry* longest = nullptr;
  for (const PriceEntry& entry : kCatalogue) {
    if (lowered_id.starts_with(entry.model) &&
        (longest == nullptr || entry.model.size() > longest->model.size())) {
      longest = &entry;
    }
  }
  return longest;
}

const PriceEntry* price_row(std::string_view model, std::int64_t event_time_ms) {
  // Model ids are short: lower-case on the stack, and only on the heap for an odd long one.
  std::array<char, 128> small;
  std::string large;
  char* lowered_data = small.data();
  if (model.size() > small.size()) {
    large.resize(model.size());
    lowered_data = large.data();
  }
  lower_ascii(model, lowered_data);
  const std::string_view lowered(lowered_data, model.size());

  const PriceEntry* entry = find_price(lowered, event_time_ms);
  if (entry == nullptr && lowered.ends_with(kFastSuffix)) {
    entry = find_price(lowered.substr(0, lowered.size() - kFastSuffix.size()), event_time_ms);
  }
  return entry;
}

double cost_of(const PriceEntry& row, std::uint64_t input, std::uint64_t output,
               std::uint64_t cache_write_5m, std::uint64_t cache_write_1h,
               std::uint64_t cache_read) {
  double sum = row.input * static_cast<double>(input);
  sum += row.output * static_cast<double>(output);
  sum += row.cache_write_5m * static_cast<double>(cache_write_5m);
  sum += row.cache_write_1h * static_cast<double>(cache_write_1h);
  sum += row.cache_read * static_cast<double>(cache_read);
  return sum / 1000000.0;
}

PriceResult price_usage(std::string_view model, std::uint64_t input, std::uint64_t output,
                        std::uint64_t cache_write_5m, std::uint64_t cache_write_1h,
                        std::uint64_t cache_read, std::int64_t event_time_ms) {
  const PriceEntry* entry = price_row(model, event_time_ms);
  if (entry == nullptr) return {};
  return {true, cost_of(*entry, input, output, cache_write_5m, cache_write_1h, cache_read)};
}

const PriceEntry* PriceRows::row(std::string_view model, std::int64_t event_time_ms) {
  // The instant matters only through the one switch of rows, so it is one bit of the key.
  const bool late = event_time_ms >= kReviewModelSwitchMs;
  if (last_ < known_.size() && known_[last_].late == late && known_[last_].model == model) {
    return known_[last_].row;
  }
  for (last_ = 0; last_ < known_.size(); ++last_) {
    if (known_[last_].late == late && known_[last_].model == model) return known_[last_].row;
  }
  const PriceEntry* row = price_row(model, event_time_ms);
  // Logs with endless distinct ids would make the list a slow way to save nothing.
  if (known_.size() < 64) known_.push_back(Known{std::string(model), late, row});
  last_ = known_.size() - 1;
  return row;
}
