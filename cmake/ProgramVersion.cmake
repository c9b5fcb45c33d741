# Run at every build: writes the version header, touching it only when the text changes,
# so that a new commit is seen without a new configure and an unchanged one rebuilds nothing.
# Expects SOURCE_DIR, OUTPUT, VERSION.
set(BENCH_COMMIT "")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND "${GIT_EXECUTABLE}" describe --always --dirty --abbrev=7 --exclude=*
                  WORKING_DIRECTORY "${SOURCE_DIR}" OUTPUT_VARIABLE BENCH_COMMIT
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(BENCH_COMMIT STREQUAL "")
  set(BENCH_COMMIT "unknown")
endif()
set(BENCH_VERSION "${VERSION}")
configure_file("${SOURCE_DIR}/src/common/versioninfo.h.in" "${OUTPUT}" @ONLY)
