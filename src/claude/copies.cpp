// Finds the answers a rewritten conversation copied without a request id, and folds the rest.
#include "claude/copies.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

std::uint64_t load_little_endian(const char* bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

}  // namespace

std::uint64_t message_id_hash(std::string_view id) {
  constexpr std::uint64_t c1 = 0x87c37b91114253d5, c2 = 0x4cf5ad432745937f;
  std::uint64_t hash = id.size();
  const auto mix = [&](std::uint64_t word) {
    hash ^= std::rotl(word * c1, 31) * c2;
    hash = std::rotl(hash, 27) * 5 + 0x52dce729;
  };
  std::size_t at = 0;
  for (; at + 8 <= id.size(); at += 8) mix(load_little_endian(id.data() + at));
  if (at < id.size()) {
    std::uint64_t word = 0;
    for (std::size_t b = 0; at + b < id.size(); ++b) {
      word |= std::uint64_t{static_cast<unsigned char>(id[at + b])} << (8 * b);
    }
    mix(word);
  }
  hash = (hash ^ (hash >> 33)) * 0xff51afd7ed558ccd;
  hash = (hash ^ (hash >> 33)) * 0xc4ceb9fe1a85ec53;
  return hash ^ (hash >> 33);
}

KeyedMessageIds::KeyedMessageIds(const std::vector<FileUsage>& files) {
  // Logs whose every message has a request id leave nothing to test: no set, no cost.
  const bool any_to_test = std::any_of(files.begin(), files.end(), [](const FileUsage& file) {
    return !file.unkeyed_message_ids.empty();
  });
  if (any_to_test) {
    std::size_t total = 0;
    for (const FileUsage& file : files) total += file.keyed.size();
    sorted_.reserve(total);
    for (const FileUsage& file : files) {
      for (const HeldEvent& event : file.keyed) sorted_.push_back(message_id_part(event.key));
    }
    std::sort(sorted_.begin(), sorted_.end());
    sorted_.erase(std::unique(sorted_.begin(), sorted_.end()), sorted_.end());
  }
}

bool KeyedMessageIds::contains(std::uint64_t id_hash) const {
  return std::binary_search(sorted_.begin(), sorted_.end(), id_hash);
}

void fold_unkeyed_events(FileUsage& file, const KeyedMessageIds& keyed_ids,
                         const RunOptions& options, ReportState& state) {
  auto with_id = file.unkeyed_message_ids.cbegin();
  for (std::size_t i = 0; i < file.unkeyed.size(); ++i) {
    if (with_id != file.unkeyed_message_ids.cend() && with_id->index == i) {
      if (keyed_ids.contains((with_id++)->id_hash)) continue;
    }
    add_event(state, options, file.event(file.unkeyed[i]));
  }
  std::vector<HeldEvent>().swap(file.unkeyed);
  std::vector<UnkeyedMessageId>().swap(file.unkeyed_message_ids);
}
