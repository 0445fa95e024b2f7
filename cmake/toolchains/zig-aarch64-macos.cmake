# macOS on Apple Silicon, for macOS 11.0 (Big Sur, the first for arm64) and later.
# Built with the pinned Zig toolchain that .ci/zig installs (clang, libc++, the macOS SDK headers).
#   cmake -B build/macos-arm64 -G Ninja --toolchain cmake/toolchains/zig-aarch64-macos.cmake -DBUILD_TESTING=OFF
include(${CMAKE_CURRENT_LIST_DIR}/zig-common.cmake)
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR arm64)
meterly_zig_target(aarch64-macos.11.0)
