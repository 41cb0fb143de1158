# The part of the two mingw-w64 cross toolchains they share: Debian's
# compilers for the win32 thread model, windres, dlltool, and a find root
# that looks for libraries and headers only in the target's tree. Included
# by toolchain-mingw-i686.cmake and toolchain-mingw-x86_64.cmake after they
# name the target.
set(CMAKE_SYSTEM_NAME Windows)
set(VORNAK_MINGW_PREFIX ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)

set(CMAKE_C_COMPILER   ${VORNAK_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${VORNAK_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER  ${VORNAK_MINGW_PREFIX}-windres)
set(CMAKE_ASM_COMPILER ${VORNAK_MINGW_PREFIX}-gcc-win32)
set(VORNAK_DLLTOOL     ${VORNAK_MINGW_PREFIX}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${VORNAK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
