#!/bin/bash
# Times the COM server under Wine against a bare server of the same interface, in
# the same run: activation (of a stopped and of a running server) and the round
# trip of SaveAdminPreferences. Uses the build tree's own Wine prefix; do not run
# it while that tree's tests run.
#   scripts/bench-com.sh [--win32]   the 64-bit build, or the 32-bit one (the
#                                    product) under 32-bit Wine in the i386 root
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export VU_BUILD_ROOT=$(realpath -m "${VU_BUILD_ROOT:-$root/build}")
flavour=win64
case ${1:-} in
  --win32 | --win64) flavour=${1#--}; shift ;;
esac
dir=$("$root/scripts/windows-bench-build.sh" "$flavour" com_bench bare_admin_prefs_server admin_prefs_server)
echo "== $flavour build"
"$dir/wine-run.sh" --start
trap '"$dir/wine-run.sh" --stop' EXIT
# Output through a file: under Wine the servers that COM starts inherit the
# client's output handles and would hold a pipe open until they end.
log=$(mktemp)
code=0
"$dir/wine-run.sh" "$dir/bench/com/com_bench.exe" >"$log" 2>&1 || code=$?
tr -d '\r' <"$log"
rm -f "$log"
exit "$code"
