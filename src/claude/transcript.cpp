// Reads one Claude Code transcript into priced, de-duplicated events.
#include "claude/transcript.h"

#include <array>
#include <cstddef>
#include <optional>
#include <utility>

#include "claude/copies.h"
#include "claude/key_index.h"
#include "claude/transcript_line.h"
#include "pricing/price.h"
#include "time/calendar.h"
#include "util/path.h"
#include "util/text.h"

namespace {

constexpr std::string_view kUsageNeedle = "\"input_tokens\"";
constexpr std::string_view kFastSuffix = "-fast";

// Builds the file's events; one per file and thread, so nothing in it is shared.
class TranscriptFold {
 public:
  TranscriptFold(std::string_view path, PriceRows& prices)
      : project_label_(transcript_project_label(path)),
        file_stem_(transcript_file_stem(path)),
        prices_(prices) {}

  void add_line(std::string_view raw) {
    const std::optional<TranscriptLine> line = scan_transcript_line(raw, scratch_);
    if (!line || line->entry_type != "assistant" || !line->has_usage) return;
    if (!line->model || *line->model == "<synthetic>") return;

    const bool keyed = line->message_id && line->request_id;
    DedupHash key{};
    std::optional<std::uint32_t> stored;
    if (keyed) {
      key_.assign(*line->message_id).append("::").append(*line->request_id);
      key = hash_dedup_key(key_, message_id_hash(*line->message_id));
      stored = index_.find(index_hash(key),
                           [&](std::uint32_t id) { return usage_.keyed[id].key == key; });
      // A copy that does not beat the stored one is dropped before any work is spent on it.
      if (stored && line->output_tokens <= usage_.output(usage_.keyed[*stored])) return;
    }

    const std::optional<HeldEvent> event = make_event(*line, key);
    if (!event) return;
    if (!keyed) {
      if (line->message_id) {
        usage_.unkeyed_message_ids.push_back(
            UnkeyedMessageId{usage_.unkeyed.size(), message_id_hash(*line->message_id)});
      }
      usage_.unkeyed.push_back(*event);
    } else if (stored) {
      usage_.keyed[*stored] = *event;
    } else {
      index_.insert(index_hash(key), static_cast<std::uint32_t>(usage_.keyed.size()));
      usage_.keyed.push_back(*event);
    }
  }

  FileUsage finish() && {
    // The result waits for every other file to be read: give back the growth slack.
    usage_.shrink();
    return std::move(usage_);
  }

 private:
  static std::uint64_t index_hash(const DedupHash& key) {
    return static_cast<std::uint64_t>(key[1]) << 32 | key[0];
  }

  std::optional<HeldEvent> make_event(const TranscriptLine& line, const DedupHash& key) {
    std::string_view model = *line.model;
    if (line.speed == "fast" && !model.ends_with(kFastSuffix)) {
      model = model_.assign(model).append(kFastSuffix);
    }
    if (!line.timestamp) return std::nullopt;
    std::optional<TimestampParts> time = parse_timestamp(*line.timestamp, calendar_);
    if (!time) return std::nullopt;

    // The split counts, once either is given, are the whole truth about cache writes.
    const bool split = line.ephemeral_5m != 0 || line.ephemeral_1h != 0;
    const TokenCounts counts{line.input_tokens, line.output_tokens,
                             split ? line.ephemeral_5m : line.cache_creation_input_tokens,
                             line.ephemeral_1h, line.cache_read_input_tokens};
    const EventTexts texts{time->day_key, time->month_key,
                           line.session_id ? *line.session_id : file_stem_,
                           line.cwd ? path_tail(*line.cwd) : project_label_, model};
    const std::uint32_t context =
        usage_.context_for(texts, prices_.row(model, time->event_time_ms), time->event_time_ms);
    return usage_.hold(context, time->event_time_ms, counts, key);
  }

  std::string project_label_;
  std::string file_stem_;
  PriceRows& prices_;
  LineScratch scratch_;
  std::string key_;
  std::string model_;
  LocalCalendar calendar_;
  KeyIndex index_;
  FileUsage usage_;
};

}  // namespace

FileUsage read_claude_transcript(const std::string& path, LineReader& reader) {
  // A file holds a handful of models: one catalogue search each, per file, is cheap enough.
  PriceRows prices;
  TranscriptFold fold(path, prices);
  const std::array<std::string_view, 1> needles{kUsageNeedle};
  reader.read_matching_lines(path, needles, [&](std::string_view line) { fold.add_line(line); });
  return std::move(fold).finish();
}

std::string transcript_project_label(std::string_view path) {
  const std::optional<std::string_view> name = parent_name(path);
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
    end = dash;  // a trailing dash: the label comes before it
  }
  return std::string(label);
}

std::string transcript_file_stem(std::string_view path) {
  const std::optional<std::string_view> name = file_name(path);
  if (!name || !is_valid_utf8(*name) || *name == "..") return {};
  return std::string(*file_stem(path));
}
