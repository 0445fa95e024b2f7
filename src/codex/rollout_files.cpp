// Session keys from rollout file names, and the order and de-duplication of rollouts.
#include "codex/rollout_files.h"

#include <algorithm>
#include <unordered_set>

#include "util/path.h"
#include "util/text.h"

namespace {

// The file's stem when it is UTF-8.
std::optional<std::string_view> text_stem(std::string_view path) {
  const std::optional<std::string_view> stem = file_stem(path);
  if (!stem || !is_valid_utf8(*stem)) return std::nullopt;
  return stem;
}

bool all_hex(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return is_ascii_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  });
}

// Component order: a separator ranks below every byte, so a component that is a prefix of
// another, and a path whose components lead another's, sort first (a/b before a-b).
bool component_less(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;
    if (a[i] == '/') return true;
    if (b[i] == '/') return false;
    return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
  }
  return a.size() < b.size();
}

}  // namespace

std::optional<std::string> session_id_from_file_name(std::string_view path) {
  const std::optional<std::string_view> stem = text_stem(path);
  constexpr std::size_t kUuidLength = 36;
  if (!stem || stem->size() < kUuidLength) return std::nullopt;
  // The UUID must be five whole '-'-separated pieces: either the stem starts with it or a '-'
  // stands right before it.
  const std::size_t start = stem->size() - kUuidLength;
  if (start > 0 && (*stem)[start - 1] != '-') return std::nullopt;
  const std::string_view uuid = stem->substr(start);
  static constexpr std::size_t kPieceLengths[] = {8, 4, 4, 4, 12};
  std::size_t at = 0;
  for (const std::size_t length : kPieceLengths) {
    if (!all_hex(uuid.substr(at, length))) return std::nullopt;
    at += length;
    if (at < kUuidLength && uuid[at++] != '-') return std::nullopt;
  }
  return std::string(uuid);
}

std::string file_session_key(std::string_view path) {
  if (std::optional<std::string> id = session_id_from_file_name(path)) return std::move(*id);
  const std::optional<std::string_view> stem = text_stem(path);
  return stem ? std::string(*stem) : std::string();
}

std::vector<std::string> order_rollout_files(std::vector<std::string> paths) {
  struct Entry {
    std::string key;
    std::size_t index;
  };
  std::vector<Entry> entries;
  entries.reserve(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) entries.push_back({normalized_path(paths[i]), i});
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return component_less(a.key, b.key); });

  std::unordered_set<std::string> seen;
  std::vector<std::string> ordered;
  ordered.reserve(paths.size());
  for (const Entry& entry : entries) {
    if (seen.insert(file_session_key(paths[entry.index])).second) {
      ordered.push_back(std::move(paths[entry.index]));
    }
  }
  return ordered;
}
