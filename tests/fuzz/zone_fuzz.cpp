// Zone files and TZ rules of any bytes: no crash, and stretches that hold their instant and no
// change read from the input.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "time/zone.h"

#define CHECK(condition) ((condition) ? void() : std::abort())

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ZoneChanges changes;
  if (!read_zone_file(bytes, changes)) changes = ZoneChanges{};
  if (const auto rule = parse_zone_rule(bytes)) changes.rules.push_back(*rule);
  CHECK(std::adjacent_find(changes.instants.begin(), changes.instants.end(),
                           std::greater_equal<>()) == changes.instants.end());
  std::vector<std::int64_t> probes = {0, -1, kZoneReach, -kZoneReach, 1744261200};
  for (const std::int64_t instant : changes.instants) {
    if (instant >= -kZoneReach && instant <= kZoneReach) probes.push_back(instant);
    if (probes.size() > 64) break;
  }
  for (const std::int64_t s : probes) {
    const ChangeFreeStretch stretch = change_free_stretch(changes, s);
    CHECK(stretch.first <= s && s <= stretch.last);
    const auto inside =
        std::upper_bound(changes.instants.begin(), changes.instants.end(), stretch.first);
    CHECK(inside == changes.instants.end() || *inside > stretch.last);
  }
  return 0;
}
