# Runs SCRIPT through gauge-replay (REPLAY) and through panel-host (PANEL_HOST)
# with MODULE, and compares the traces once gauge-replay's clip lines
# ("N play NAME") are left out: panel-host's clips play on the module's own
# device instead.
include("${CMAKE_CURRENT_LIST_DIR}/../replay/trace_diff.cmake")
run_trace(expected gauge-replay "${REPLAY}" "${SCRIPT}")
run_trace(actual panel-host "${PANEL_HOST}" --module "${MODULE}" replay "${SCRIPT}")
string(REGEX REPLACE "[0-9]+ play [A-Z0-9]+\n" "" expected "${expected}")
string(LENGTH "${expected}" length)
if(length EQUAL 0)
  message(FATAL_ERROR "gauge-replay printed no trace for ${SCRIPT}")
endif()
compare_traces("${actual}" "${expected}" "panel-host's trace of ${SCRIPT} differs from gauge-replay's")
