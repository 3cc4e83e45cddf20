# Cross-compile for 32-bit Windows with MinGW-w64 (posix thread model, static runtime).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VU_MINGW_PREFIX i686-w64-mingw32)
set(VU_MINGW_PACKAGE i686)
include(${CMAKE_CURRENT_LIST_DIR}/MinGWToolchain.cmake)
