// Model prices: the catalogue, lookups by model and instant, and cost arithmetic.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/// One catalogue row; prices in US dollars per million tokens.
struct PriceEntry {
  std::string_view model;
  double input;
  double output;
  double cache_write_5m;
  double cache_write_1h;
  double cache_read;
};

/// The compiled-in catalogue, in lookup order.
std::span<const PriceEntry> price_catalogue();

/// The row for an already lower-cased id at an instant: exact, then alias, then longest prefix.
const PriceEntry* find_price(std::string_view lowered_id, std::int64_t event_time_ms);

/// Whether the model was found, and the cost in US dollars (0.0 when it was not).
struct PriceResult {
  bool priced = false;
  double cost_usd = 0.0;
};

/// Prices one event's five counts for a model id as logged (fast suffix already applied).
PriceResult price_usage(std::string_view model, std::uint64_t input, std::uint64_t output,
                        std::uint64_t cache_write_5m, std::uint64_t cache_write_1h,
                        std::uint64_t cache_read, std::int64_t event_time_ms);

/// The row that prices a model id as logged (fast suffix already applied) at an instant, or null.
const PriceEntry* price_row(std::string_view model, std::int64_t event_time_ms);

/// The cost in US dollars of five counts at a row's prices; price_usage gives the same double.
double cost_of(const PriceEntry& row, std::uint64_t input, std::uint64_t output,
               std::uint64_t cache_write_5m, std::uint64_t cache_write_1h,
               std::uint64_t cache_read);

/// Remembers the row of every model id it was asked about, so a reader, which sees a handful
/// of ids over and over, looks each up once. One per thread.
class PriceRows {
 public:
  /// The same row as price_row(model, event_time_ms).
  const PriceEntry* row(std::string_view model, std::int64_t event_time_ms);

 private:
  struct Known {
    std::string model;
    bool late;  // the instant is on or after the catalogue's one change of rows
    const PriceEntry* row = nullptr;
  };
  std::vector<Known> known_;
  std::size_t last_ = 0;
};
