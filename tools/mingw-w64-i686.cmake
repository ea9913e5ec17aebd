# Cross-compiles for 32-bit x86 Windows (which ARM64 Windows also runs).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
