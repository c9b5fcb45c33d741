# Install rules and the Debian package (cpack -G DEB, see scripts/package.sh): the program
# and the bench emulator in bin, the menu entry, the icon and the AppStream metainfo, the
# manual pages, and the documentation: copyright, changelog and the operator's manual.
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

# Debian's documentation as its policy has it: the folder named after the package, the
# changelog and the manual pages compressed with gzip -9n (no name or time inside, so the
# package is the same from the same sources).
set(BENCH_MAINTAINER "Transformer bench project <transformer-bench@varnek.ru>")
set(BENCH_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/transformer-bench)
set(BENCH_PACKAGE_DOCS)
foreach(doc changelog man/transformer-bench.1 man/bench-emulator.1)
  get_filename_component(name ${doc} NAME)
  if(doc STREQUAL changelog)
    configure_file(packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/${name} @ONLY)
  else()
    configure_file(packaging/${doc} ${CMAKE_BINARY_DIR}/packaging/${name} @ONLY)
  endif()
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/${name}.gz
    COMMAND gzip -9nc ${name} > ${name}.gz
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
  list(APPEND BENCH_PACKAGE_DOCS ${CMAKE_BINARY_DIR}/packaging/${name}.gz)
endforeach()
# scripts/package.sh builds it with the two programs.
add_custom_target(package-docs DEPENDS ${BENCH_PACKAGE_DOCS})
add_dependencies(package-docs manual)
install(FILES packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz ${BENCH_MANUAL_HTML}
        DESTINATION ${BENCH_DOC_DIR})
install(FILES ${CMAKE_BINARY_DIR}/packaging/transformer-bench.1.gz ${CMAKE_BINARY_DIR}/packaging/bench-emulator.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME transformer-bench)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${BENCH_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Test bench for power transformers, with the test protocol")
set(CPACK_PACKAGE_DESCRIPTION "The desktop program of a test bench for power transformers
(Russian interface): no-load, short-circuit, ratio and vector group, winding
and insulation resistance, a two-page test protocol and its archive. Includes
bench-emulator, which plays the bench's measuring unit on a pseudo-terminal.")
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
