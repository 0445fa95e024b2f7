# macOS on Intel, for macOS 10.15 (Catalina) and later.
# Built with the pinned Zig toolchain that .ci/zig installs (clang, libc++, the macOS SDK headers).
#   cmake -B build/macos-x86_64 -G Ninja --toolchain cmake/toolchains/zig-x86_64-macos.cmake -DBUILD_TESTING=OFF
include(${CMAKE_CURRENT_LIST_DIR}/zig-common.cmake)
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
meterly_zig_target(x86_64-macos.10.15)
