# What the two MinGW-w64 toolchain files share: the compilers with the posix thread
# model and the resource compiler, found on the search path, and the target's own
# headers and libraries, which Debian installs beside the compilers under
# <prefix>/<triplet>. The including file sets CMAKE_SYSTEM_PROCESSOR,
# VU_MINGW_PREFIX (the triplet) and VU_MINGW_PACKAGE (the Debian name of the target).
set(CMAKE_SYSTEM_NAME Windows)

# Sets `variable` to the full path of program `name`, or stops naming the package.
function(vu_find_mingw_tool variable name package)
  find_program(${variable} NAMES ${name} HINTS /usr/bin)
  if(NOT ${variable})
    message(FATAL_ERROR "${name} not found. Install ${package} "
      "(scripts/install-deps.sh installs every package of the build).")
  endif()
endfunction()

vu_find_mingw_tool(VU_MINGW_CC ${VU_MINGW_PREFIX}-gcc-posix g++-mingw-w64-${VU_MINGW_PACKAGE})
vu_find_mingw_tool(VU_MINGW_CXX ${VU_MINGW_PREFIX}-g++-posix g++-mingw-w64-${VU_MINGW_PACKAGE})
vu_find_mingw_tool(VU_MINGW_RC ${VU_MINGW_PREFIX}-windres binutils-mingw-w64-${VU_MINGW_PACKAGE})
set(CMAKE_C_COMPILER ${VU_MINGW_CC})
set(CMAKE_CXX_COMPILER ${VU_MINGW_CXX})
set(CMAKE_RC_COMPILER ${VU_MINGW_RC})

get_filename_component(_vu_mingw_bin ${VU_MINGW_CXX} DIRECTORY)
get_filename_component(CMAKE_FIND_ROOT_PATH ${_vu_mingw_bin}/../${VU_MINGW_PREFIX} ABSOLUTE)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
