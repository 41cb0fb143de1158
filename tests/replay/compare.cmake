# Runs TOOL on SCRIPT and compares its standard output with EXPECTED, byte
# for byte; on a difference, shows the first lines that differ.
include("${CMAKE_CURRENT_LIST_DIR}/trace_diff.cmake")
execute_process(COMMAND "${TOOL}" "${SCRIPT}"
  OUTPUT_VARIABLE actual ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TOOL} exited with ${status}: ${errors}")
endif()
file(READ "${EXPECTED}" expected)
compare_traces("${actual}" "${expected}" "trace differs from ${EXPECTED}")
