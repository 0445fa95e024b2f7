// Finding every log file of both agents below their configured roots.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sources/environment.h"

// Each function below sets `*unopened`, when given and still empty, to the first directory it
// could not open for want of a file descriptor: the list is then short.

/// Every Claude Code transcript below the configured and default roots, in discovery order.
std::vector<std::string> find_claude_files(const Environment& env, std::string* unopened = nullptr);

/// Every Codex rollout below the Codex home's sessions and archived_sessions, in discovery order.
std::vector<std::string> find_codex_files(const Environment& env, std::string* unopened = nullptr);

/// The .jsonl regular files below `root`, without following links inside it.
std::vector<std::string> collect_jsonl_files(const std::string& root,
                                             std::string* unopened = nullptr);
