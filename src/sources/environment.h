// The environment variables that steer discovery, taken once.
#pragma once

#include <optional>
#include <string>

/// The environment variables that steer discovery, taken once as raw bytes.
struct Environment {
  std::optional<std::string> home;
  std::optional<std::string> claude_config_dir;
  std::optional<std::string> codex_home;

  /// Reads HOME, CLAUDE_CONFIG_DIR and CODEX_HOME from the process environment.
  static Environment from_process();
};

/// CODEX_HOME when set (even empty), else HOME/.codex, else nothing.
std::optional<std::string> codex_home(const Environment& env);
