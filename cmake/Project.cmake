# Shared build settings and the helpers every folder uses to declare libraries,
# programs and tests. One source tree; the flavours are the presets of
# CMakePresets.json:
#   native, native-release - Linux, the portable core and its tests (sanitizers via
#                            VU_SANITIZE), the benchmarks
#   win64   - MinGW-w64 x86_64, tests run under the host's 64-bit Wine
#             (CMAKE_CROSSCOMPILING_EMULATOR)
#   win32   - MinGW-w64 i686, the product that ships; the same tests run under
#             32-bit Wine inside the i386 root (scripts/i386-root.sh)
#   fuzz    - clang, the libFuzzer targets only (VU_FUZZ)
include_guard(GLOBAL)

if(WIN32)
  set(VU_WINDOWS ON)
else()
  set(VU_WINDOWS OFF)
endif()

# Every flavour registers its tests with CTest. The 32-bit Windows programs run
# under the 32-bit Wine of the i386 root, the 64-bit ones under the host's Wine.
set(VU_RUN_TESTS ON)
if(VU_WINDOWS AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(VU_WINE_WORD_SIZE 32)
elseif(VU_WINDOWS)
  set(VU_WINE_WORD_SIZE 64)
endif()

if(VU_WINDOWS)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsBuildTools.cmake)
endif()

add_library(vu_flags INTERFACE)
target_compile_features(vu_flags INTERFACE cxx_std_17)
target_include_directories(vu_flags INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_options(vu_flags INTERFACE -Wall -Wextra -Wno-unused-parameter)
if(VU_WINDOWS)
  target_compile_definitions(vu_flags INTERFACE UNICODE _UNICODE NOMINMAX
    _WIN32_WINNT=0x0601 WINVER=0x0601)
  target_link_options(vu_flags INTERFACE -static)
endif()

if(NOT VU_WINDOWS AND VU_SANITIZE)
  set(_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_compile_options(vu_flags INTERFACE ${_san})
  target_link_options(vu_flags INTERFACE ${_san})
endif()

# GoogleTest: the system's prebuilt libraries natively, built from source for MinGW.
if(VU_WINDOWS)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${VU_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(lib gtest gtest_main gmock)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
else()
  find_package(GTest REQUIRED)
  if(NOT TARGET GTest::gmock)
    find_library(VU_GMOCK_LIB gmock REQUIRED)
    add_library(GTest::gmock UNKNOWN IMPORTED)
    set_target_properties(GTest::gmock PROPERTIES IMPORTED_LOCATION ${VU_GMOCK_LIB})
  endif()
  include(GoogleTest)
endif()

# The Wine prefix of this build tree; created on first use by the emulator script.
if(VU_WINDOWS AND VU_RUN_TESTS)
  set(VU_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
    @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
  # Fixtures: create the prefix and keep its wineserver up for the run, end it afterwards.
  add_test(NAME wine_prefix_start COMMAND ${CMAKE_BINARY_DIR}/wine-run.sh --start)
  set_tests_properties(wine_prefix_start PROPERTIES FIXTURES_SETUP wine_prefix LABELS wine)
  add_test(NAME wine_prefix_stop COMMAND ${CMAKE_BINARY_DIR}/wine-run.sh --stop)
  set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP wine_prefix LABELS wine)
endif()

# vu_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>] [WINDOWS_ONLY] [NATIVE_ONLY]
#             [TIMEOUT <s>] [RUN_SERIAL] [DEPENDS <targets...>])
# Builds a GoogleTest program. Natively each test case becomes a CTest test (label
# "native"); under Wine the whole program is one CTest test (label "wine"), so each
# program costs one Wine process start.
function(vu_add_test)
  cmake_parse_arguments(T "WINDOWS_ONLY;NATIVE_ONLY;RUN_SERIAL" "NAME;TIMEOUT" "SOURCES;LIBS;DEPENDS" ${ARGN})
  if(T_WINDOWS_ONLY AND NOT VU_WINDOWS)
    return()
  endif()
  if(T_NATIVE_ONLY AND VU_WINDOWS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE vu_flags ${T_LIBS} GTest::gmock GTest::gtest_main)
  if(T_DEPENDS)
    add_dependencies(${T_NAME} ${T_DEPENDS})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  if(NOT VU_RUN_TESTS)
    return()
  endif()
  if(VU_WINDOWS)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES LABELS wine TIMEOUT ${T_TIMEOUT}
      FIXTURES_REQUIRED wine_prefix)
    if(T_RUN_SERIAL)
      set_tests_properties(${T_NAME} PROPERTIES RUN_SERIAL ON)
    endif()
  else()
    gtest_discover_tests(${T_NAME} PROPERTIES LABELS native TIMEOUT ${T_TIMEOUT}
      DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

# vu_add_windows_program(NAME <name> SOURCES <files...> [LIBS ...] [GUI] [UNICODE_MAIN])
# A Windows executable (a server, a client, a test helper).
function(vu_add_windows_program)
  cmake_parse_arguments(P "GUI;UNICODE_MAIN" "NAME;OUTPUT_NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT VU_WINDOWS)
    return()
  endif()
  add_executable(${P_NAME} ${P_SOURCES})
  target_link_libraries(${P_NAME} PRIVATE vu_flags ${P_LIBS})
  if(P_GUI)
    target_link_options(${P_NAME} PRIVATE -mwindows)
  endif()
  if(P_UNICODE_MAIN)
    target_link_options(${P_NAME} PRIVATE -municode)
  endif()
  if(P_OUTPUT_NAME)
    set_target_properties(${P_NAME} PROPERTIES OUTPUT_NAME ${P_OUTPUT_NAME})
  endif()
endfunction()

# Sets VU_SERVER_RELATIVE_PATH and VU_TLB_RELATIVE_PATH on `target`: the server
# executable and its type library as seen from the target's folder (Windows paths).
function(vu_use_server_paths target)
  if(NOT TARGET ${target})
    return()  # a Windows-only test in a native build
  endif()
  file(RELATIVE_PATH _server ${CMAKE_CURRENT_BINARY_DIR}
    ${CMAKE_BINARY_DIR}/admin_prefs/VelmorUpdaterAdminPrefs.exe)
  string(REPLACE "/" "\\\\" _server "${_server}")
  file(RELATIVE_PATH _tlb ${CMAKE_CURRENT_BINARY_DIR}
    ${CMAKE_BINARY_DIR}/generated/admin_prefs/admin_prefs.tlb)
  string(REPLACE "/" "\\\\" _tlb "${_tlb}")
  target_compile_definitions(${target} PRIVATE
    "VU_SERVER_RELATIVE_PATH=u\"${_server}\"" "VU_TLB_RELATIVE_PATH=u\"${_tlb}\"")
endfunction()
