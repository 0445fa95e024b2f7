// The fast-tier default that the Codex configuration file sets.
#pragma once

#include <string_view>

#include "sources/environment.h"

/// Whether Codex events start in the fast tier: the top-level "service_tier" of
/// `codex_home`/config.toml is "priority" or "fast". False when there is no such file; then
/// `*unopened`, when given, tells whether the open found every file descriptor taken.
bool read_codex_fast_default(const Environment& env, bool* unopened = nullptr);

/// The fast-tier default that a configuration text gives; false for text that is not UTF-8.
bool fast_default_from_config_text(std::string_view text);
