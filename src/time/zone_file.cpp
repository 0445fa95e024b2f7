#include <algorithm>
#include <array>

#include "time/zone.h"

namespace {

constexpr std::size_t kHeaderSize = 44;

// Reads the file front to back; every take is checked against what is left.
class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : rest_(bytes) {}

  bool take(std::uint64_t size, std::string_view& out) {
    if (size > rest_.size()) return false;
    out = rest_.substr(0, static_cast<std::size_t>(size));
    rest_.remove_prefix(static_cast<std::size_t>(size));
    return true;
  }
  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};

std::uint64_t read_big_endian(std::string_view bytes) {
  std::uint64_t value = 0;
  for (const char c : bytes) value = value << 8 | static_cast<unsigned char>(c);
  return value;
}

struct Header {
  char version = 0;
  std::uint64_t is_ut_count = 0;
  std::uint64_t is_std_count = 0;
  std::uint64_t leap_count = 0;
  std::uint64_t time_count = 0;
  std::uint64_t type_count = 0;
  std::uint64_t char_count = 0;
};

bool read_header(ByteReader& reader, Header& header) {
  std::string_view bytes;
  if (!reader.take(kHeaderSize, bytes) || bytes.substr(0, 4) != "TZif") return false;
  header.version = bytes[4];
  std::array<std::uint64_t*, 6> counts = {&header.is_ut_count, &header.is_std_count,
                                          &header.leap_count,  &header.time_count,
                                          &header.type_count,  &header.char_count};
  for (std::size_t i = 0; i < counts.size(); ++i) {
    *counts[i] = read_big_endian(bytes.substr(20 + 4 * i, 4));
  }
  // Leap seconds make the clock read second 60, which no offset describes.
  return header.leap_count == 0 && header.type_count > 0 &&
         (header.is_ut_count == 0 || header.is_ut_count == header.type_count) &&
         (header.is_std_count == 0 || header.is_std_count == header.type_count);
}

// Reads one data block with times of `time_size` bytes; appends its transitions.
bool read_block(ByteReader& reader, const Header& header, std::size_t time_size,
                std::vector<std::int64_t>& instants) {
  std::string_view times, types, rest;
  const std::uint64_t rest_size =
      header.type_count * 6 + header.char_count + header.is_std_count + header.is_ut_count;
  if (!reader.take(header.time_count * time_size, times) ||
      !reader.take(header.time_count, types) || !reader.take(rest_size, rest)) {
    return false;
  }
  const std::size_t first = instants.size();
  for (std::size_t i = 0; i < header.time_count; ++i) {
    const std::uint64_t raw = read_big_endian(times.substr(i * time_size, time_size));
    const std::int64_t instant = time_size == 4 ? std::int64_t{static_cast<std::int32_t>(raw)}
                                                : static_cast<std::int64_t>(raw);
    if (static_cast<unsigned char>(types[i]) >= header.type_count) return false;
    if (instants.size() > first && instant <= instants.back()) return false;
    instants.push_back(instant);
  }
  return true;
}

}  // namespace

bool read_zone_file(std::string_view bytes, ZoneChanges& changes) {
  ByteReader reader(bytes);
  Header header;
  std::vector<std::int64_t> instants;
  if (!read_header(reader, header) || !read_block(reader, header, 4, instants)) return false;
  if (header.version != '\0') {
    // A 64-bit library reads the second block, written with 64-bit times, and its closing rule.
    instants.clear();
    if (!read_header(reader, header) || !read_block(reader, header, 8, instants)) return false;
    const std::string_view footer = reader.rest();
    const std::size_t end = footer.find('\n', 1);
    if (footer.empty() || footer.front() != '\n' || end == std::string_view::npos) return false;
    const std::string_view text = footer.substr(1, end - 1);
    if (!text.empty()) {
      const std::optional<ZoneRule> rule = parse_zone_rule(text);
      if (!rule) return false;
      changes.rules.push_back(*rule);
    }
  }
  const auto middle =
      changes.instants.insert(changes.instants.end(), instants.begin(), instants.end());
  std::inplace_merge(changes.instants.begin(), middle, changes.instants.end());
  changes.instants.erase(std::unique(changes.instants.begin(), changes.instants.end()),
                         changes.instants.end());
  return true;
}
