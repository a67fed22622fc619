# The manual pages velotan(1) and velotan-cli(1), written in scdoc
# (docs/man/*.scd) and turned into roff at build time into build/man. Only
# the Debian package installs them (cmake/DebStaging.cmake): a program
# folder stays as it was. Without scdoc (Debian package scdoc) there are no
# pages, and scripts/package says so.
find_program(VELOTAN_SCDOC scdoc)
set(VELOTAN_MAN_PAGES velotan.1 velotan-cli.1)
if(VELOTAN_SCDOC)
  set(pages "")
  foreach(page ${VELOTAN_MAN_PAGES})
    set(source ${PROJECT_SOURCE_DIR}/docs/man/${page}.scd)
    set(output ${CMAKE_BINARY_DIR}/man/${page})
    # scdoc reads standard input only: a script hands it the file, no shell.
    add_custom_command(
      OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -DSCDOC=${VELOTAN_SCDOC} -DSOURCE=${source} -DOUTPUT=${output}
              -P ${PROJECT_SOURCE_DIR}/cmake/Scdoc.cmake
      DEPENDS ${source} ${PROJECT_SOURCE_DIR}/cmake/Scdoc.cmake
      COMMENT "Writing the manual page ${page}"
      VERBATIM)
    list(APPEND pages ${output})
  endforeach()
  add_custom_target(velotan_man ALL DEPENDS ${pages})
endif()
