#include "report/json_report.h"

#include <string>

#include "util/format.h"

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

void append_escaped(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out.append("\\\"");
        break;
      case '\\':
        out.append("\\\\");
        break;
      case '\n':
        out.append("\\n");
        break;
      case '\r':
        out.append("\\r");
        break;
      case '\t':
        out.append("\\t");
        break;
      default:
        if (byte < 0x20) {
          out.append("\\u00");
          out.push_back(kHex[byte >> 4]);
          out.push_back(kHex[byte & 0xF]);
        } else {
          out.push_back(c);
        }
    }
  }
}

void append_group(std::string& out, const ReportGroup& group) {
  out.append("    {\n      \"period\": \"");
  append_escaped(out, group.label);
  out.append("\",\n      \"agent\": \"");
  out.append(agent_name(group.agent));
  out.append("\",\n      \"project\": \"");
  append_escaped(out, group.project);
  out.append("\",\n      \"models\": [");
  bool first = true;
  for (const std::string& model : group.models) {
    if (!first) out.append(", ");
    first = false;
    out.push_back('"');
    append_escaped(out, model);
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
  append_escaped(out, text);
  return out;
}

std::string render_json_report(std::span<const ReportGroup* const> ordered, ReportView view) {
  std::string out = "{\n  \"command\": \"";
  out.append(view_name(view));
  out.append("\",\n  \"groups\": [\n");
  // A group object is about 300 bytes; one reservation keeps large reports to one allocation.
  out.reserve(out.size() + ordered.size() * 320 + 16);
  bool first = true;
  for (const ReportGroup* group : ordered) {
    if (!first) out.append(",\n");
    first = false;
    append_group(out, *group);
  }
  out.append("\n  ]\n}\n");
  return out;
}
