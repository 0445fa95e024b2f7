// Draws column-aligned tables and makes log text safe for a terminal.
#include "util/table.h"

#include <algorithm>
#include <cstddef>

#include "util/text.h"

namespace {

constexpr std::string_view kRuleChar = "─";
constexpr std::string_view kColumnGap = "  ";
constexpr std::size_t kModelsCellWidth = 40;
constexpr std::size_t kModelsListWidth = 34;

void append_padded(std::string& out, std::string_view cell, std::size_t width, Align align) {
  const std::size_t used = display_width(cell);
  const std::size_t pad = width - std::min(width, used);
  if (align == Align::right) out.append(pad, ' ');
  out.append(cell);
  if (align == Align::left) out.append(pad, ' ');
}

std::string cells_line(const std::vector<std::string>& cells,
                       const std::vector<std::size_t>& widths, const std::vector<Align>& aligns) {
  std::string line;
  for (std::size_t col = 0; col < widths.size(); ++col) {
    if (col > 0) line.append(kColumnGap);
    const std::string_view cell = col < cells.size() ? std::string_view(cells[col]) : "";
    append_padded(line, cell, widths[col], col < aligns.size() ? aligns[col] : Align::left);
  }
  line.resize(trim_trailing_unicode_space(line).size());
  return line;
}

std::string rule_line(const std::vector<std::size_t>& widths) {
  std::string line;
  for (std::size_t col = 0; col < widths.size(); ++col) {
    if (col > 0) line.append(kColumnGap);
    for (std::size_t i = 0; i < widths[col]; ++i) line.append(kRuleChar);
  }
  return line;
}

void widen(std::vector<std::size_t>& widths, const std::vector<std::string>& cells) {
  if (widths.size() < cells.size()) widths.resize(cells.size(), 0);
  for (std::size_t col = 0; col < cells.size(); ++col) {
    widths[col] = std::max(widths[col], display_width(cells[col]));
  }
}

// Drops the "claude-" prefix and a trailing "-YYYYMMDD" release date.
std::string_view short_model(std::string_view id) {
  if (id.starts_with("claude-")) id.remove_prefix(7);
  const std::size_t dash = id.rfind('-');
  if (dash != std::string_view::npos && id.size() - dash - 1 == 8 &&
      std::all_of(id.begin() + static_cast<std::ptrdiff_t>(dash) + 1, id.end(), is_ascii_digit)) {
    id = id.substr(0, dash);
  }
  return id;
}

}  // namespace

std::size_t terminal_control_at(std::string_view text, std::size_t i) {
  const auto at = [&](std::size_t k) -> unsigned char {
    return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
  };
  const unsigned char byte = at(0);
  if (byte < 0x20 || byte == 0x7F) return 1;
  if (byte == 0xC2) return at(1) >= 0x80 && at(1) <= 0x9F ? 2 : 0;
  // Bidirectional embeddings, overrides and isolates reorder what the user sees.
  if (byte != 0xE2) return 0;
  const bool bidi = (at(1) == 0x80 && at(2) >= 0xAA && at(2) <= 0xAE) ||
                    (at(1) == 0x81 && at(2) >= 0xA6 && at(2) <= 0xA9);
  return bidi ? 3 : 0;
}

std::string render_table(const std::vector<std::string>& headers, const std::vector<Align>& aligns,
                         const std::vector<std::vector<std::string>>& rows,
                         const std::optional<std::vector<std::string>>& footer, bool colour) {
  // A row or footer with more cells than headers widens the table rather than losing cells.
  std::vector<std::size_t> widths;
  widen(widths, headers);
  for (const auto& row : rows) widen(widths, row);
  if (footer) widen(widths, *footer);

  const std::string header = cells_line(headers, widths, aligns);
  const std::string rule = rule_line(widths);

  std::string out = paint(header, "1", colour);
  out.push_back('\n');
  out.append(paint(rule, "2", colour));
  for (const auto& row : rows) {
    out.push_back('\n');
    out.append(cells_line(row, widths, aligns));
  }
  if (footer) {
    out.push_back('\n');
    out.append(paint(rule, "2", colour));
    out.push_back('\n');
    out.append(paint(header, "2", colour));
    out.push_back('\n');
    out.append(paint(cells_line(*footer, widths, aligns), "1", colour));
  }
  return out;
}

std::string models_cell(const std::set<std::string, std::less<>>& models) {
  // An empty id is a model like any other, so the separator depends on the position, not on
  // whether the text so far is empty.
  std::string joined;
  for (auto it = models.begin(); it != models.end(); ++it) {
    if (it != models.begin()) joined.append(", ");
    joined.append(short_model(*it));
  }
  if (display_width(joined) <= kModelsCellWidth) return joined;

  std::string running;
  std::size_t running_width = 0;
  std::size_t appended = 0;
  for (const std::string& id : models) {
    const std::string_view shown = short_model(id);
    const std::size_t gap = running.empty() ? 0 : 2;
    const std::size_t width = display_width(shown);
    if (gap + running_width + width > kModelsListWidth) break;
    if (gap != 0) running.append(", ");
    running.append(shown);
    running_width += gap + width;
    ++appended;
  }
  return running + ", +" + std::to_string(models.size() - appended);
}

std::string terminal_safe(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t control = terminal_control_at(text, i);
    if (control == 0) {
      out.push_back(text[i++]);
    } else {
      out.push_back('?');
      i += control;
    }
  }
  return out;
}

std::string paint(std::string_view text, std::string_view code, bool colour) {
  if (!colour) return std::string(text);
  std::string out;
  out.reserve(text.size() + code.size() + 7);
  out.append("\x1b[").append(code).append("m").append(text).append("\x1b[0m");
  return out;
}
