# cmake -DSCDOC=scdoc -DSOURCE=page.scd -DOUTPUT=page -P Scdoc.cmake
get_filename_component(folder "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${folder}")
execute_process(COMMAND "${SCDOC}" INPUT_FILE "${SOURCE}" OUTPUT_FILE "${OUTPUT}.part"
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE "${OUTPUT}.part")
  message(FATAL_ERROR "scdoc failed on ${SOURCE}: ${result}")
endif()
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
