# Linux aarch64 (glibc) with Debian's cross compiler (g++-aarch64-linux-gnu). CI builds the whole
# test suite with it and runs it under qemu-aarch64-static; GoogleTest then comes from
# Debian's source package (/usr/src/googletest), built for aarch64 alongside.
#   cmake -B build/aarch64 -G Ninja --toolchain cmake/toolchains/gcc-aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Test binaries run on this machine through the emulator, with the target's loader and libraries.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static -L /usr/aarch64-linux-gnu)
