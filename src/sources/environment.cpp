// Reads the environment variables that steer discovery.
#include "sources/environment.h"

#include <cstdlib>

#include "util/path.h"

namespace {

std::optional<std::string> variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

}  // namespace

Environment Environment::from_process() {
  Environment env;
  env.home = variable("HOME");
  env.claude_config_dir = variable("CLAUDE_CONFIG_DIR");
  env.codex_home = variable("CODEX_HOME");
  return env;
}

std::optional<std::string> codex_home(const Environment& env) {
  // An empty CODEX_HOME is taken at its word: the working directory is the Codex home.
  if (env.codex_home) return *env.codex_home;
  if (env.home) return join_path(*env.home, ".codex");
  return std::nullopt;
}
