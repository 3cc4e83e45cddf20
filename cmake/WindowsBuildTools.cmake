# The host tools and files the Windows flavours build and test with, found where
# Debian installs them (HINTS) or anywhere on the search path; a missing one stops
# the configure step naming the package to install. These are Linux files, so
# the MinGW find root does not apply (NO_CMAKE_FIND_ROOT_PATH).
#   VU_WIDL, VU_WIDL_ARCH       the IDL compiler for this target and its target switch
#   VU_WIDL_IDL_DIR             the system IDL files (oaidl.idl, ocidl.idl)
#   VU_WIDL_TLB_DIR             the standard OLE type library (stdole2.tlb)
#   VU_GOOGLETEST_SOURCE_DIR    GoogleTest sources, built with the MinGW compiler
#   VU_WINE, VU_WINEBOOT, VU_WINESERVER   the Wine that runs the tests: the host's
#                               for win64; for win32 the i386 root's, named as the
#                               root sees them (scripts/i386-root.sh makes the root)
include_guard(GLOBAL)

# Stops with what is missing and where it comes from, unless `variable` is set.
function(vu_require variable what package)
  if(NOT ${variable})
    message(FATAL_ERROR "${what} not found. Install ${package} (scripts/install-deps.sh "
      "installs every package of the build), or point ${variable} at it.")
  endif()
endfunction()

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(_vu_widl_names i686-w64-mingw32-widl widl)
  set(VU_WIDL_ARCH --win32)
else()
  set(_vu_widl_names x86_64-w64-mingw32-widl widl)
  set(VU_WIDL_ARCH --win64)
endif()
find_program(VU_WIDL NAMES ${_vu_widl_names} HINTS /usr/bin)
list(JOIN _vu_widl_names " or " _vu_widl_text)
vu_require(VU_WIDL "The IDL compiler (${_vu_widl_text})" mingw-w64-tools)

find_path(VU_WIDL_IDL_DIR NAMES ocidl.idl
  HINTS /usr/include/wine/wine/windows /usr/include/wine/windows NO_CMAKE_FIND_ROOT_PATH)
vu_require(VU_WIDL_IDL_DIR "The system IDL files (ocidl.idl)" libwine-dev)

# The 64-bit library serves both targets, as widl only reads its type descriptions.
find_path(VU_WIDL_TLB_DIR NAMES stdole2.tlb
  HINTS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib64/wine/x86_64-windows
        /usr/lib/wine/x86_64-windows NO_CMAKE_FIND_ROOT_PATH)
vu_require(VU_WIDL_TLB_DIR "The type library stdole2.tlb" "wine64 and libwine")

find_path(VU_GOOGLETEST_SOURCE_DIR NAMES googlemock/CMakeLists.txt
  HINTS /usr/src/googletest NO_CMAKE_FIND_ROOT_PATH)
vu_require(VU_GOOGLETEST_SOURCE_DIR "The GoogleTest sources (googlemock/CMakeLists.txt)" googletest)

if(VU_WINE_WORD_SIZE EQUAL 32)
  set(VU_WINE /usr/bin/wine)
  set(VU_WINEBOOT /usr/bin/wineboot)
  set(VU_WINESERVER /usr/bin/wineserver)
  set(VU_WINE_RUNNER "${PROJECT_SOURCE_DIR}/scripts/i386-root.sh run --")
elseif(VU_RUN_TESTS)
  set(VU_WINE_RUNNER "")
  find_program(VU_WINE NAMES wine HINTS /usr/bin)
  vu_require(VU_WINE "Wine (wine), which runs the Windows tests" "wine and wine64")
  find_program(VU_WINEBOOT NAMES wineboot HINTS /usr/bin)
  vu_require(VU_WINEBOOT "wineboot" wine)
  find_program(VU_WINESERVER NAMES wineserver HINTS /usr/bin)
  vu_require(VU_WINESERVER "wineserver" wine)
endif()
