#!/bin/bash
# Times the HTTP clients under Wine against the same small GET written directly
# against WinHTTP and WinINet, in the same run, to a loopback server inside the
# timing client. Uses the build tree's own Wine prefix.
#   scripts/bench-http.sh [--win32] [exchanges per side]   the 64-bit build, or the
#                        32-bit one (the product) under 32-bit Wine in the i386 root
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export VU_BUILD_ROOT=$(realpath -m "${VU_BUILD_ROOT:-$root/build}")
flavour=win64
case ${1:-} in
  --win32 | --win64) flavour=${1#--}; shift ;;
esac
dir=$("$root/scripts/windows-bench-build.sh" "$flavour" http_bench)
echo "== $flavour build"
"$dir/wine-run.sh" --start
trap '"$dir/wine-run.sh" --stop' EXIT
"$dir/wine-run.sh" "$dir/bench/http/http_bench.exe" "$@" | tr -d '\r'
