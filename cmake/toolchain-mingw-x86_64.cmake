# Cross toolchain: 64-bit Windows (x86_64) with Debian's mingw-w64, win32
# thread model. The 64-bit module and hosts run under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include("${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake")
