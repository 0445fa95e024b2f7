# --- install: the binary, the manual page and shell completions
# GNUInstallDirs lets packagers move each part (`-DCMAKE_INSTALL_MANDIR=...`); the completion
# folders are the ones each shell searches by default under a prefix, so a plain
# `cmake --install build/release --prefix /usr/local` makes completion work without any shell
# configuration.
include(GNUInstallDirs)
install(TARGETS meterly RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/doc/meterly.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/completions/meterly.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME meterly)
install(FILES ${PROJECT_SOURCE_DIR}/completions/_meterly
  DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/site-functions)
install(FILES ${PROJECT_SOURCE_DIR}/completions/meterly.fish
  DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)

# Packages (the tarballs, the .deb and the npm packages) are built by scripts/release from
# statically linked binaries, so that they start on any Linux, old glibc or musl.
