# GaugeNames.cmake - the gauge's clip names and bitmap numbers, read from
# their one home, host/gauge_names.h, for the steps that build the resources:
#
#   VORNAK_CLIPS     PB1;PB2;...           the clips, in the gauge's order
#   VORNAK_BITMAPS   255:panel_face;...    each bitmap's number and file stem

set(vornak_names_header "${PROJECT_SOURCE_DIR}/host/gauge_names.h")
set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  "${vornak_names_header}")

file(STRINGS "${vornak_names_header}" clip_line REGEX "kClipNames\\[\\] = {")
string(REGEX MATCHALL "\"[A-Z0-9]+\"" VORNAK_CLIPS "${clip_line}")
string(REPLACE "\"" "" VORNAK_CLIPS "${VORNAK_CLIPS}")

set(VORNAK_BITMAPS "")
file(STRINGS "${vornak_names_header}" bitmap_lines REGEX "^ *kBitmap[A-Za-z]+ *= *[0-9xA-Fa-f]+, *// *[a-z_]+\\.bmp")
foreach(line IN LISTS bitmap_lines)
  string(REGEX MATCH "= *([0-9xA-Fa-f]+), *// *([a-z_]+)\\.bmp" unused "${line}")
  math(EXPR number "${CMAKE_MATCH_1}")
  list(APPEND VORNAK_BITMAPS "${number}:${CMAKE_MATCH_2}")
endforeach()

# A line reformatted out of these forms stops the build here, not later as
# a resource missing from the module.
file(STRINGS "${vornak_names_header}" bitmap_names REGEX "^ *kBitmap[A-Za-z]+ *=")
list(LENGTH bitmap_names bitmap_count)
list(LENGTH VORNAK_BITMAPS bitmap_read)
if(NOT VORNAK_CLIPS OR bitmap_read EQUAL 0 OR NOT bitmap_read EQUAL bitmap_count)
  message(FATAL_ERROR "host/gauge_names.h: cannot read the clip names or bitmap numbers; keep "
    "kClipNames on one line and each bitmap as 'kBitmapName = NUMBER,  // FILE.bmp'")
endif()
