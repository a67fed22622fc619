# Shared helpers for the velotan targets.

# Our own code builds without warnings; developers, tests and CI make them
# errors, a plain configure (a distribution's build) does not.
function(velotan_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(VELOTAN_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# velotan_test(NAME name SOURCES ... LIBS ...)
# One GoogleTest program per library; every GUI test runs on the offscreen
# platform so that the suite needs no display.
function(velotan_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  velotan_warnings(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  target_compile_definitions(${T_NAME} PRIVATE
    VELOTAN_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    VELOTAN_DATA_DIR="${PROJECT_SOURCE_DIR}/data")
  if(VELOTAN_SANITIZE)
    target_sources(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common/LsanSuppressions.cpp)
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    # A test that skips itself (say, a write denial root cannot simulate)
    # shows as skipped, never as passed.
    PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen
               SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
endfunction()
