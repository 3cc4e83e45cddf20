#!/bin/bash
# Times the HTTP clients under Wine against the same small GET written directly
# against WinHTTP and WinINet, in the same run, to a loopback server inside the
# timing client. Uses the win64 build tree's own Wine prefix.
#   scripts/bench-http.sh [exchanges per side]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export VU_BUILD_ROOT=$(realpath -m "${VU_BUILD_ROOT:-$root/build}")
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" win64 http_bench >/dev/null
dir=$VU_BUILD_ROOT/win64
"$dir/wine-run.sh" --start
trap '"$dir/wine-run.sh" --stop' EXIT
"$dir/wine-run.sh" "$dir/bench/http/http_bench.exe" "$@" | tr -d '\r'
