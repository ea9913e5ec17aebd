# Cross-compiles for Windows with Debian's mingw-w64 (posix threads): 64-bit
# by default; tools/mingw-w64-i686.cmake sets the triple for 32-bit x86.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT DEFINED triple)
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
  set(triple x86_64-w64-mingw32)
endif()
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Tests and tools run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
