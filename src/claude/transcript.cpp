#include "claude/transcript.h"

#include <array>
#include <cstddef>
#include <optional>
#include <utility>

#include "claude/copies.h"
#include "claude/key_index.h"
#include "claude/transcript_line.h"
#include "pricing/price.h"
#include "time/timestamp.h"
#include "util/text.h"

namespace {

constexpr std::string_view kUsageNeedle = "\"input_tokens\"";
constexpr std::string_view kFastSuffix = "-fast";

std::string_view file_name_of(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The name of the directory that holds the file; "." steps are no names of their own.
std::optional<std::string_view> parent_name_of(std::string_view path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return std::nullopt;
  std::string_view dir = path.substr(0, slash);
  for (;;) {
    while (!dir.empty() && dir.back() == '/') dir.remove_suffix(1);
    slash = dir.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? dir : dir.substr(slash + 1);
    if (name != ".") {
      if (name.empty() || name == "..") return std::nullopt;
      return name;
    }
    if (slash == std::string_view::npos) return std::nullopt;
    dir = dir.substr(0, slash);
  }
}

// Builds the file's events; one per file and thread, so nothing in it is shared.
class TranscriptFold {
 public:
  explicit TranscriptFold(std::string_view path)
      : project_label_(transcript_project_label(path)), file_stem_(transcript_file_stem(path)) {}

  void add_line(std::string_view raw) {
    const std::optional<TranscriptLine> line = scan_transcript_line(raw, scratch_);
    if (!line || line->entry_type != "assistant" || !line->has_usage) return;
    if (!line->model || *line->model == "<synthetic>") return;

    const bool keyed = line->message_id && line->request_id;
    std::size_t hash = 0;
    std::optional<std::size_t> stored;
    if (keyed) {
      key_.assign(*line->message_id).append("::").append(*line->request_id);
      hash = KeyIndex::hash(key_);
      stored = index_.find(key_, hash, [&](std::size_t id) -> std::string_view {
        return usage_.keyed[id].dedup_key;
      });
      // A copy that does not beat the stored one is dropped before any work is spent on it.
      if (stored && line->output_tokens <= usage_.keyed[*stored].event.output) return;
    }

    std::optional<UsageEvent> event = make_event(*line);
    if (!event) return;
    if (!keyed) {
      if (line->message_id) {
        usage_.unkeyed_message_ids.push_back(
            UnkeyedMessageId{usage_.unkeyed.size(), message_id_hash(*line->message_id)});
      }
      usage_.unkeyed.push_back(std::move(*event));
    } else if (stored) {
      usage_.keyed[*stored].event = std::move(*event);
    } else {
      index_.insert(hash, usage_.keyed.size());
      usage_.keyed.push_back(KeyedEvent{key_, std::move(*event)});
      usage_.keyed_message_ids.push_back(message_id_hash(*line->message_id));
    }
  }

  FileUsage finish() && {
    // The result waits for every other file to be read: give back the growth slack.
    const auto trim = [](auto& list) {
      if (list.capacity() > list.size() + list.size() / 4) list.shrink_to_fit();
    };
    trim(usage_.keyed);
    trim(usage_.unkeyed);
    trim(usage_.keyed_message_ids);
    trim(usage_.unkeyed_message_ids);
    return std::move(usage_);
  }

 private:
  std::optional<UsageEvent> make_event(const TranscriptLine& line) {
    std::string model(*line.model);
    if (line.speed == "fast" && !model.ends_with(kFastSuffix)) model.append(kFastSuffix);
    if (!line.timestamp) return std::nullopt;
    std::optional<TimestampParts> time = parse_timestamp(*line.timestamp, calendar_);
    if (!time) return std::nullopt;

    UsageEvent event;
    event.day_key = std::move(time->day_key);
    event.month_key = std::move(time->month_key);
    event.event_time_ms = time->event_time_ms;
    event.input = line.input_tokens;
    event.output = line.output_tokens;
    event.cache_read = line.cache_read_input_tokens;
    event.cache_write_1h = line.ephemeral_1h;
    // The split counts, once either is given, are the whole truth about cache writes.
    const bool split = line.ephemeral_5m != 0 || line.ephemeral_1h != 0;
    event.cache_write_5m = split ? line.ephemeral_5m : line.cache_creation_input_tokens;
    const PriceResult price =
        price_usage(model, event.input, event.output, event.cache_write_5m, event.cache_write_1h,
                    event.cache_read, event.event_time_ms);
    event.priced = price.priced;
    event.cost_usd = price.cost_usd;
    event.session_id = line.session_id ? std::string(*line.session_id) : file_stem_;
    event.project = line.cwd ? std::string(path_tail(*line.cwd)) : project_label_;
    event.model = std::move(model);
    event.agent = AgentKind::claude;
    return event;
  }

  std::string project_label_;
  std::string file_stem_;
  LineScratch scratch_;
  std::string key_;
  LocalCalendar calendar_;
  KeyIndex index_;
  FileUsage usage_;
};

}  // namespace

FileUsage read_claude_transcript(const std::string& path, LineReader& reader) {
  TranscriptFold fold(path);
  const std::array<std::string_view, 1> needles{kUsageNeedle};
  reader.read_matching_lines(path, needles, [&](std::string_view line) { fold.add_line(line); });
  return std::move(fold).finish();
}

std::string transcript_project_label(std::string_view path) {
  const std::optional<std::string_view> name = parent_name_of(path);
  if (!name || !is_valid_utf8(*name)) return {};
  std::string_view label = *name;
  std::size_t end = name->size();
  while (end > 0) {
    const std::size_t dash = name->rfind('-', end - 1);
    const std::size_t begin = dash == std::string_view::npos ? 0 : dash + 1;
    if (begin < end) {
      label = name->substr(begin, end - begin);
      break;
    }
    if (dash == std::string_view::npos) break;
    end = dash;
  }
  return std::string(label);
}

std::string transcript_file_stem(std::string_view path) {
  const std::string_view name = file_name_of(path);
  if (!is_valid_utf8(name) || name == "..") return {};
  const std::size_t dot = name.rfind('.');
  return std::string(dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot));
}
