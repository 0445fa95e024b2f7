#include <cstddef>
#include <cstdint>
#include <string_view>

#include "codex/config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fast_default_from_config_text(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
