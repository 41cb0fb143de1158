# zip_dates.cmake - run by CPack on the staged release kit just before it is
# zipped: every file and folder gets one date, SOURCE_DATE_EPOCH when it is
# set, else the date of the last commit of the source tree (else the time
# of packaging). The ZIP then shows when its sources were made, the same for
# every build of a commit, rather than when each file happened to be copied.

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
  # The tree may belong to another user than the one packaging (CI as root).
  execute_process(COMMAND git -c safe.directory=* -C "${CPACK_VORNAK_SOURCE_DIR}" log -1 --format=%ct
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(failed)
    set(epoch "")
  endif()
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  string(TIMESTAMP epoch "%s" UTC)
endif()

file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
execute_process(COMMAND touch -h -d "@${epoch}" ${staged} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "Release kit: could not date the staged files")
endif()
