#!/bin/bash
# Builds the server, registers it in a project-local Wine prefix, drives it with
# the adminprefs client (preferences, a proxy, the stored values) and shows that
# the server ends by itself afterwards.
#   scripts/run-main.sh           the 32-bit server, the product that ships, under
#                                 32-bit Wine in the i386 root (scripts/i386-root.sh)
#   scripts/run-main.sh --win64   its 64-bit twin under the host's Wine
# The builds and the prefixes go under $VU_BUILD_ROOT, by default build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export VU_BUILD_ROOT=$(realpath -m "${VU_BUILD_ROOT:-$root/build}")
cd "$root"
flavour=win32
case ${1:-} in
  --win64) flavour=win64 ;;
  --win32 | "") ;;
  *) echo "usage: scripts/run-main.sh [--win64]" >&2; exit 2 ;;
esac
if [ "$flavour" = win32 ]; then
  # Said before anything else runs: what this machine lacks for the 32-bit run.
  scripts/i386-root.sh check
fi
scripts/install-deps.sh
if [ "$flavour" = win32 ]; then
  scripts/i386-root.sh ensure
  # Every Wine command enters the root, which sees this tree at its own path.
  in_wine() { "$root/scripts/i386-root.sh" run -- "$@"; }
  export WINEARCH=win32
else
  in_wine() { "$@"; }
  export WINEARCH=win64
fi
scripts/build.sh "$flavour"
echo "== running the $flavour build ($([ "$flavour" = win32 ] && echo "32-bit, the product that ships" || echo "64-bit twin"))"

export WINEPREFIX=$VU_BUILD_ROOT/run-prefix-$flavour WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== creating the Wine prefix $WINEPREFIX"
  # wineserver -w: let the prefix finish setting itself up (class registrations
  # of the system's COM libraries) before the first activation.
  in_wine bash -c 'wineboot -i && wineserver -w' >/dev/null 2>&1
fi
# Start the prefix's wineserver and system processes detached from our output:
# the COM service, and so the server it starts, would otherwise hold this
# script's pipes open. Ended on exit.
# A wineserver still running for this prefix (an earlier run) is fine too.
in_wine wineserver -p >/dev/null 2>&1 </dev/null || true
trap 'in_wine wineserver -k 2>/dev/null || true' EXIT
in_wine wine cmd /c exit >/dev/null 2>&1 </dev/null
server=$VU_BUILD_ROOT/$flavour/admin_prefs/VelmorUpdaterAdminPrefs.exe
# The machine field of the executable's PE header: what is about to run.
machine=$(python3 -c 'import struct, sys
d = open(sys.argv[1], "rb").read(4096)
m = struct.unpack_from("<H", d, struct.unpack_from("<I", d, 0x3C)[0] + 4)[0]
print({0x14C: "32-bit x86", 0x8664: "64-bit x86-64"}.get(m, hex(m)))' "$server")
echo "== server: $server ($(stat -c %s "$server") bytes, $machine)"

# Register the server in this prefix: its COM class, AppID and type library.
set +e
in_wine wine "$server" /RegServer 2>/dev/null
code=$?
set -e
echo "== /RegServer ended with exit code $code (low byte of its HRESULT; 0 is S_OK)"
in_wine wine reg query 'HKLM\Software\Classes\CLSID\{AF2A86CC-90BE-453F-95FD-140F8CCFE558}' /s 2>/dev/null \
  | tr -d '\r' || echo "!! the class key is missing"

# Drive the server with the command-line client: COM starts it for each call.
client=$VU_BUILD_ROOT/$flavour/tools/adminprefs.exe
failures=0
client_output=$(mktemp)
trap 'rm -f "$client_output"; in_wine wineserver -k 2>/dev/null || true' EXIT
run_client() {
  echo "== adminprefs $*"
  local code=0
  # Through a file, not a pipe: under Wine the server that COM starts inherits the
  # client's output handles, and a pipe would stay open until the server ends.
  in_wine wine "$client" "$@" >"$client_output" 2>&1 || code=$?
  tr -d '\r' <"$client_output"
  if [ "$code" -ne 0 ]; then
    echo "!! adminprefs exited with $code"
    failures=$((failures + 1))
  fi
}
run_client set-prefs --send-stats=true --notify-software-updates=true
run_client set-proxy --auto-detect=false --http-host=proxy.example --http-port=8080
last_call=$(date +%s.%N)
run_client show

# The server ends by itself about six seconds after its last client let go.
# Its processes are those whose environment names this prefix.
server_pids() {
  local pid
  for pid in $(pgrep -f 'VelmorUpdaterAdminPrefs\.exe' || true); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      echo "$pid"
    fi
  done
}
since_last_call() { awk -v now="$(date +%s.%N)" -v then="$last_call" 'BEGIN { printf "%.1f", now - then }'; }
echo "== server processes running $(since_last_call) s after the last call: $(server_pids | wc -l)"
for _ in $(seq 1 60); do
  if [ -z "$(server_pids)" ]; then
    echo "== no server process left: the server ended by itself (checked $(since_last_call) s after the last call)"
    break
  fi
  sleep 0.5
done
if [ -n "$(server_pids)" ]; then
  echo "!! the server is still running $(since_last_call) s after the last call"
  failures=$((failures + 1))
fi
[ "$failures" -eq 0 ]
