# Cross toolchain: 32-bit Windows (i686) with Debian's mingw-w64, win32
# thread model. This is the target of the module the simulator loads.
set(CMAKE_SYSTEM_PROCESSOR i686)
include("${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake")
