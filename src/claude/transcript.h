// Reading one Claude Code transcript, and the session and project its path gives.
#pragma once

#include <string>
#include <string_view>

#include "claude/file_usage.h"
#include "sources/line_reader.h"

/// Reads one Claude Code transcript into its priced events, one per message and request id.
/// Never fails: a file that cannot be read gives an empty result. Safe on any thread.
FileUsage read_claude_transcript(const std::string& path, LineReader& reader);

/// The last non-empty "-" piece of the name of the directory holding the transcript (the whole
/// name when it has none); empty without such a name or when the name is not valid UTF-8.
std::string transcript_project_label(std::string_view path);

/// The transcript's file name without its last extension; empty when it is not valid UTF-8.
std::string transcript_file_stem(std::string_view path);
