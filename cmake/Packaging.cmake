# Install rules and the Debian package (cpack -G DEB, see scripts/package.sh): the program
# and the bench emulator in bin, the menu entry, the icon and the AppStream metainfo.
# Only what running needs is a dependency: no compiler, no Xvfb, no database server.
include(GNUInstallDirs)
# Installing (and so cpack) needs the two programs only, not every test: scripts/package.sh
# builds those first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(BENCH_APP_ID ru.varnek.transformerbench)
install(TARGETS transformer-bench bench-emulator RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES packaging/${BENCH_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/${BENCH_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
configure_file(packaging/${BENCH_APP_ID}.metainfo.xml.in ${CMAKE_BINARY_DIR}/packaging/${BENCH_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${BENCH_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME transformer-bench)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Transformer bench maintainers <bench@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Test bench for power transformers, with the test protocol")
set(CPACK_PACKAGE_DESCRIPTION "The desktop program of a test bench for power transformers (Russian interface):
no-load, short-circuit, ratio and vector group, winding and insulation resistance, a
two-page test protocol and its archive. Includes bench-emulator, which plays the bench's
measuring unit on a pseudo-terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt and C++ libraries the binaries link, found by dpkg-shlibdeps; then what is loaded
# at run time: the SQL drivers, the platform plugins, the fonts the protocol prints in, and
# Qt's own Russian texts for the standard dialogs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, libqt6sql6-psql, qt6-qpa-plugins, fonts-liberation, qt6-translations-l10n")
include(CPack)
