# --- install: the manual page and shell completions beside the binary
# Paths are the ones each shell searches by default under a prefix, so a plain
# `cmake --install build/release --prefix /usr/local` makes completion work without
# any shell configuration.
install(FILES ${PROJECT_SOURCE_DIR}/doc/meterly.1 DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/completions/meterly.bash
  DESTINATION share/bash-completion/completions RENAME meterly)
install(FILES ${PROJECT_SOURCE_DIR}/completions/_meterly DESTINATION share/zsh/site-functions)
install(FILES ${PROJECT_SOURCE_DIR}/completions/meterly.fish
  DESTINATION share/fish/vendor_completions.d)

# The install test installs this very build tree into a temporary prefix.
if(TARGET install_tests)
  target_compile_definitions(install_tests PRIVATE
    METERLY_BUILD_DIR="${PROJECT_BINARY_DIR}"
    METERLY_CMAKE_COMMAND="${CMAKE_COMMAND}")
endif()

# --- packages: `cpack -G DEB` or `cpack -G TGZ` from the build directory
set(METERLY_PACKAGE_MAINTAINER "meterly maintainers" CACHE STRING
  "Maintainer named in the Debian package")

set(CPACK_PACKAGE_NAME meterly)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "meterly")
set(CPACK_PACKAGE_CONTACT "${METERLY_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "token usage and cost of Claude Code and Codex from their local logs")
set(CPACK_PACKAGE_DESCRIPTION
  "meterly reads the JSON Lines logs that Claude Code and Codex keep in the home
directory, prices every model call from a built-in catalogue and prints the
usage per day, month or session as a table or as JSON.")
set(CPACK_GENERATOR "DEB;TGZ")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${METERLY_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
find_program(METERLY_DPKG_SHLIBDEPS dpkg-shlibdeps)
mark_as_advanced(METERLY_DPKG_SHLIBDEPS)
if(METERLY_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6")
endif()

include(CPack)
