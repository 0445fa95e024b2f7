# Shared by the zig-*.cmake toolchain files: "zig c++" as the compiler, "zig ar" and "zig ranlib"
# for static libraries, all through .ci/zig, which installs the pinned toolchain on first use.
get_filename_component(METERLY_ZIG "${CMAKE_CURRENT_LIST_DIR}/../../.ci/zig" ABSOLUTE)

macro(meterly_zig_target target)
  set(CMAKE_CXX_COMPILER "${METERLY_ZIG}" c++ -target ${target})
  set(CMAKE_AR "${METERLY_ZIG}" CACHE FILEPATH "" FORCE)
  set(CMAKE_RANLIB "${METERLY_ZIG}" CACHE FILEPATH "" FORCE)
  set(CMAKE_CXX_ARCHIVE_CREATE "<CMAKE_AR> ar qc <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_CXX_ARCHIVE_APPEND "<CMAKE_AR> ar q <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_CXX_ARCHIVE_FINISH "<CMAKE_RANLIB> ranlib <TARGET>")
  # Nothing of the build machine's own libraries may leak into a cross build.
  set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
  set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
endmacro()
