# tarvix_add_test(<name> SOURCES ... LIBS ... LABELS ...)
#
# One GoogleTest executable. Labels: "core" for Qt-free tests (they also run under the sanitizers), "gui" for
# tests that need Qt (run on the offscreen platform), "interop" for tests that need the real wine.
# Tests and their fixtures know the source and build folders through the macros TARVIX_SOURCE_DIR and
# TARVIX_BINARY_DIR (string literals).
function(tarvix_test_locations target)
  target_compile_definitions(${target} PRIVATE
    TARVIX_SOURCE_DIR="${PROJECT_SOURCE_DIR}" TARVIX_BINARY_DIR="${PROJECT_BINARY_DIR}")
endfunction()

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
  tarvix_test_locations(${name})
  # One variable only: gtest_discover_tests flattens a list given as a property value.
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# Tests whose simulated IDEs compile with the simulated compiler of the build: its path as TARVIX_SIM_DCC32_HOST.
function(tarvix_use_simulated_compiler target)
  if(TARGET ${target})
    target_compile_definitions(${target} PRIVATE TARVIX_SIM_DCC32_HOST="$<TARGET_FILE:tarvix-sim-dcc32>")
    add_dependencies(${target} tarvix-sim-dcc32)
  endif()
endfunction()
