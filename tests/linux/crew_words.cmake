# The crew's words are kept once, in resources/crew_words.txt: panel-host
# shows them as captions and the voice tool speaks the clips from them. The
# README quotes them too, so every call's words must appear there as they
# are in the file.
file(STRINGS "${ROOT}/resources/crew_words.txt" lines REGEX "^[A-Z0-9]+\t")
list(LENGTH lines count)
if(count LESS 4)
  message(FATAL_ERROR "resources/crew_words.txt holds ${count} calls, not the four of PB1 to PB4")
endif()
file(READ "${ROOT}/README.md" text)
foreach(line IN LISTS lines)
  string(REGEX MATCH "^([A-Z0-9]+)\t(.*)$" unused "${line}")
  string(FIND "${text}" "${CMAKE_MATCH_2}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "README.md does not say ${CMAKE_MATCH_1}'s words as resources/crew_words.txt has them: \"${CMAKE_MATCH_2}\"")
  endif()
endforeach()
