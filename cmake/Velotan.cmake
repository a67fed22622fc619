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

# The core stays free of Qt so that it builds for the command line, the web
# page and the tests without a screen. The configure fails when a file under
# src/core includes a Qt header or a core library links Qt, directly or
# through another library.
function(_velotan_links_qt target out)
  set(found "")
  foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
    get_target_property(libs ${target} ${property})
    if(NOT libs)
      continue()
    endif()
    foreach(lib ${libs})
      if(lib MATCHES "^Qt[0-9]*::" OR lib MATCHES "(^|/)libQt[0-9]")
        set(found "${lib}")
      elseif(TARGET ${lib})
        get_target_property(aliased ${lib} ALIASED_TARGET)
        if(aliased)
          set(lib ${aliased})
        endif()
        _velotan_links_qt(${lib} inner)
        if(inner)
          set(found "${lib} -> ${inner}")
        endif()
      endif()
      if(found)
        set(${out} "${found}" PARENT_SCOPE)
        return()
      endif()
    endforeach()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

function(velotan_check_core_is_qt_free)
  file(GLOB_RECURSE sources ${PROJECT_SOURCE_DIR}/src/core/*.h ${PROJECT_SOURCE_DIR}/src/core/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Qt[A-Za-z]*/|Q[A-Z])")
    if(includes)
      message(FATAL_ERROR "${source} includes Qt (${includes}); src/core stays free of Qt")
    endif()
  endforeach()
  get_property(dirs DIRECTORY ${PROJECT_SOURCE_DIR}/src/core PROPERTY SUBDIRECTORIES)
  foreach(dir ${dirs})
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
      _velotan_links_qt(${target} qt)
      if(qt)
        message(FATAL_ERROR "${target} (${dir}) links Qt through ${qt}; src/core stays free of Qt")
      endif()
    endforeach()
  endforeach()
endfunction()
