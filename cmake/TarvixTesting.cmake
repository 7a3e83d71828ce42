# tarvix_add_test(<name> SOURCES ... LIBS ... LABELS ...)
#
# One GoogleTest executable. Labels: "core" for Qt-free tests (they also run under the sanitizers), "gui" for
# tests that need Qt (run on the offscreen platform), "interop" for tests that need the real wine.
function(tarvix_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if("interop" IN_LIST T_LABELS AND NOT TARVIX_INTEROP_TESTS)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  tarvix_warnings(${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(env "QT_QPA_PLATFORM=offscreen;TARVIX_SOURCE_DIR=${PROJECT_SOURCE_DIR};TARVIX_BINARY_DIR=${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
endfunction()
