# bench_add_test(<name> SOURCES <files...> LIBS <targets...>)
# One small executable per unit, linking only what it tests, run offscreen by ctest.
function(bench_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
    TIMEOUT ${T_TIMEOUT})
endfunction()

# bench_add_russian_runs(<test>...): runs each test once more, as <test>_ru_RU, under the
# Russian regional settings of a workshop PC (scripts/deps.sh makes the locale).
function(bench_add_russian_runs)
  foreach(name ${ARGN})
    add_test(NAME ${name}_ru_RU COMMAND ${name} WORKING_DIRECTORY $<TARGET_FILE_DIR:${name}>)
    set_tests_properties(${name}_ru_RU PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=ru_RU.UTF-8;LC_ALL=ru_RU.UTF-8"
      TIMEOUT 300)
  endforeach()
endfunction()
