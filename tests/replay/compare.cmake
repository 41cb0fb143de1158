# Runs TOOL on SCRIPT and compares its standard output with EXPECTED, byte
# for byte; on a difference, shows the first lines that differ.
include("${CMAKE_CURRENT_LIST_DIR}/trace_diff.cmake")
run_trace(actual "${TOOL}" "${TOOL}" "${SCRIPT}")
file(READ "${EXPECTED}" expected)
compare_traces("${actual}" "${expected}" "trace differs from ${EXPECTED}")
