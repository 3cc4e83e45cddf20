#!/bin/bash
# Configures and builds one flavour, a preset of CMakePresets.json, into
# $VU_BUILD_ROOT/<flavour> (by default build/<flavour>).
#   scripts/build.sh native|native-release|win64|win32|fuzz [targets...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:?flavour: native, native-release, win64, win32 or fuzz}
shift
# VU_BUILD_ROOT lets several work trees or people build side by side; the presets
# read it, and a relative one counts from where the script was started.
export VU_BUILD_ROOT=$(realpath -m "${VU_BUILD_ROOT:-$root/build}")
cd "$root"
# Always configure: a folder that gained its CMakeLists.txt joins the build.
cmake --preset "$flavour" >/dev/null
if [ $# -gt 0 ]; then
  cmake --build --preset "$flavour" --target "$@"
else
  cmake --build --preset "$flavour"
fi
