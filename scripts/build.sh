#!/bin/bash
# Configures and builds one flavour into build/<flavour>.
#   scripts/build.sh native|native-release|win64|win32|fuzz [targets...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:?flavour: native, native-release, win64, win32 or fuzz}
shift
# VU_BUILD_ROOT lets several work trees or people build side by side.
dir=${VU_BUILD_ROOT:-$root/build}/$flavour
args=(-G Ninja -S "$root" -B "$dir")
case $flavour in
  native) args+=(-DVU_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  native-release) args+=(-DCMAKE_BUILD_TYPE=Release) ;;
  win64) args+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" -DCMAKE_BUILD_TYPE=Release) ;;
  win32) args+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" -DCMAKE_BUILD_TYPE=Release) ;;
  fuzz) args+=(-DVU_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  *) echo "unknown flavour: $flavour" >&2; exit 2 ;;
esac
# Always configure: a folder that gained its CMakeLists.txt joins the build.
cmake "${args[@]}" >/dev/null
if [ $# -gt 0 ]; then
  cmake --build "$dir" --target "$@"
else
  cmake --build "$dir"
fi
