# Linux x86_64, one fully static binary (musl): no dynamic dependencies, runs on any kernel >= 3.2.
# Built with the pinned Zig toolchain that .ci/zig installs (clang, libc++, musl).
#   cmake -B build/musl-x86_64 -G Ninja --toolchain cmake/toolchains/zig-x86_64-linux-musl.cmake -DBUILD_TESTING=OFF -DMETERLY_STATIC=ON
include(${CMAKE_CURRENT_LIST_DIR}/zig-common.cmake)
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
meterly_zig_target(x86_64-linux-musl)
