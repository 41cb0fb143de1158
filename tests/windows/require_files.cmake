# Fails, naming each one, when any of the |-separated FILES is missing:
# the Windows tests read trees that the win32 and win64 presets build.
string(REPLACE "|" ";" files "${FILES}")
set(missing "")
foreach(file IN LISTS files)
  if(EXISTS "${file}")
    message("ok   ${file}")
  else()
    message("FAIL ${file} is missing")
    list(APPEND missing "${file}")
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "Windows builds missing: build them with 'cmake --build --preset win32 "
    "--target package' and 'cmake --build --preset win64' (or point VORNAK_WIN32_BUILD and "
    "VORNAK_WIN64_BUILD at the trees)")
endif()
