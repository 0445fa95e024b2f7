// Renders the ordered groups as the JSON report.
#include "report/json_report.h"

#include <string>

#include "util/format.h"
#include "util/table.h"

namespace {

std::string_view view_name(ReportView view) {
  switch (view) {
    case ReportView::daily:
      return "daily";
    case ReportView::monthly:
      return "monthly";
    case ReportView::session:
      break;
  }
  return "session";
}

// `\u` and four hex digits for a code point below U+10000.
void append_unicode_escape(std::string& out, unsigned code) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.append("\\u");
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(code >> shift) & 0xF]);
}

// The code point of the UTF-8 sequence of `length` bytes at `p`.
unsigned decode_utf8(const char* p, std::size_t length) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(p[k]); };
  if (length == 1) return byte(0);
  if (length == 2) return (byte(0) & 0x1Fu) << 6 | (byte(1) & 0x3Fu);
  return (byte(0) & 0x0Fu) << 12 | (byte(1) & 0x3Fu) << 6 | (byte(2) & 0x3Fu);
}

// The two-character escape of `c`, or nullptr when it has none.
const char* short_escape(char c) {
  switch (c) {
    case '"':
      return "\\\"";
    case '\\':
      return "\\\\";
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
    case '\t':
      return "\\t";
    default:
      return nullptr;
  }
}

// On a terminal, the characters the table defuses are escaped too: any JSON reader gets the same
// text, and the terminal never sees them raw.
void append_escaped(std::string& out, std::string_view text, bool terminal) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (const char* escape = short_escape(c)) {
      out.append(escape);
    } else if (static_cast<unsigned char>(c) < 0x20) {
      append_unicode_escape(out, static_cast<unsigned char>(c));
    } else if (const std::size_t control = terminal ? terminal_control_at(text, i) : 0) {
      append_unicode_escape(out, decode_utf8(text.data() + i, control));
      i += control - 1;
    } else {
      out.push_back(c);
    }
  }
}

void append_group(std::string& out, const ReportGroup& group, bool terminal) {
  out.append("    {\n      \"period\": \"");
  append_escaped(out, group.label, terminal);
  out.append("\",\n      \"agent\": \"");
  out.append(agent_name(group.agent));
  out.append("\",\n      \"project\": \"");
  append_escaped(out, group.project, terminal);
  out.append("\",\n      \"models\": [");
  bool first = true;
  for (const std::string& model : group.models) {
    if (!first) out.append(", ");
    first = false;
    out.push_back('"');
    append_escaped(out, model, terminal);
    out.push_back('"');
  }
  out.append("],\n      \"input\": ");
  out.append(std::to_string(group.input));
  out.append(",\n      \"output\": ");
  out.append(std::to_string(group.output));
  out.append(",\n      \"cache\": ");
  out.append(std::to_string(group.cache));
  out.append(",\n      \"cost\": ");
  out.append(format_fixed(group.cost_usd, 6));
  out.append(",\n      \"lastActive\": ");
  if (group.last_active_ms == 0) {
    out.append("null");
  } else {
    out.push_back('"');
    out.append(format_utc_timestamp(group.last_active_ms));
    out.push_back('"');
  }
  out.append("\n    }");
}

}  // namespace

std::string json_escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  append_escaped(out, text, false);
  return out;
}

std::string render_json_report(std::span<const ReportGroup* const> ordered, ReportView view,
                               bool terminal) {
  std::string out = "{\n  \"command\": \"";
  out.append(view_name(view));
  out.append("\",\n  \"groups\": [\n");
  // A group object is about 300 bytes; one reservation keeps large reports to one allocation.
  out.reserve(out.size() + ordered.size() * 320 + 16);
  bool first = true;
  for (const ReportGroup* group : ordered) {
    if (!first) out.append(",\n");
    first = false;
    append_group(out, *group, terminal);
  }
  out.append("\n  ]\n}\n");
  return out;
}
