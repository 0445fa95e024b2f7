# Linux aarch64, one fully static binary (musl): no dynamic dependencies, runs on any kernel >= 3.7.
# Built with the pinned Zig toolchain that .ci/zig installs (clang, libc++, musl).
#   cmake -B build/musl-aarch64 -G Ninja --toolchain cmake/toolchains/zig-aarch64-linux-musl.cmake -DBUILD_TESTING=OFF -DMETERLY_STATIC=ON
include(${CMAKE_CURRENT_LIST_DIR}/zig-common.cmake)
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
meterly_zig_target(aarch64-linux-musl)
