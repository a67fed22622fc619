# Run by CPack after the package is made. CPack gives every package with a
# shared library anywhere below /usr/lib a postinst and a postrm that only
# call ldconfig; ours is a private library beside the programs, which
# ldconfig never looks at, and Debian wants no such calls (lintian
# maintscript-calls-ldconfig). The package is rebuilt without the two scripts
# when they hold nothing but that call.

if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

foreach(deb ${CPACK_PACKAGE_FILES})
  set(tree "${deb}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb -R "${deb}" "${tree}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -R ${deb}: ${result}")
  endif()
  foreach(script postinst postrm)
    set(path "${tree}/DEBIAN/${script}")
    if(NOT EXISTS "${path}")
      continue()
    endif()
    file(STRINGS "${path}" lines)
    list(FILTER lines EXCLUDE REGEX "^(#!/bin/sh|set -e|if \\[ \"\\$1\" = \"(configure|remove)\" \\]; then|[ \t]*ldconfig|fi|)$")
    if(lines)
      message(FATAL_ERROR "${script} does more than call ldconfig: ${lines}")
    endif()
    file(REMOVE "${path}")
  endforeach()
  execute_process(COMMAND dpkg-deb --root-owner-group -b "${tree}" "${deb}"
                  OUTPUT_QUIET RESULT_VARIABLE result)
  file(REMOVE_RECURSE "${tree}")
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -b ${deb}: ${result}")
  endif()
endforeach()
