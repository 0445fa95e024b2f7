// Table drawing, the models cell, terminal-safe text and colour.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

enum class Align { left, right };

/// Column-aligned text of a header, rows and an optional footer, without a trailing newline.
std::string render_table(const std::vector<std::string>& headers, const std::vector<Align>& aligns,
                         const std::vector<std::vector<std::string>>& rows,
                         const std::optional<std::vector<std::string>>& footer, bool colour);

/// The short list of models shown in a table cell.
std::string models_cell(const std::set<std::string, std::less<>>& models);

/// `text` with every control character (C0, DEL, C1) and bidirectional control replaced by "?",
/// so that text taken from logs and directory names cannot drive or reorder a terminal.
std::string terminal_safe(std::string_view text);

/// The length in bytes of the character at `text[i]` if terminal_safe replaces it, else 0.
std::size_t terminal_control_at(std::string_view text, std::size_t i);

/// `text` wrapped in the SGR code `code` when `colour` is on, else unchanged.
std::string paint(std::string_view text, std::string_view code, bool colour);
