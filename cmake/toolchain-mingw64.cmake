# Cross-compile for 64-bit Windows with MinGW-w64 (posix thread model, static runtime).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VU_MINGW_PREFIX x86_64-w64-mingw32)
set(VU_MINGW_PACKAGE x86-64)
include(${CMAKE_CURRENT_LIST_DIR}/MinGWToolchain.cmake)
