#!/bin/bash
# Builds the server, registers it in a project-local Wine prefix, drives it with
# the adminprefs client (preferences, a proxy, the stored values) and shows that
# the server ends by itself afterwards.
# The builds and the prefix go under $VU_BUILD_ROOT, by default build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export VU_BUILD_ROOT=$(realpath -m "${VU_BUILD_ROOT:-$root/build}")
cd "$root"
scripts/install-deps.sh
scripts/build.sh win64

export WINEPREFIX=$VU_BUILD_ROOT/run-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== creating the Wine prefix $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  # Let the prefix finish setting itself up (class registrations of the system's
  # COM libraries) before the first activation.
  wineserver -w
fi
# Start the prefix's wineserver and system processes detached from our output:
# the COM service, and so the server it starts, would otherwise hold this
# script's pipes open. Ended on exit.
# A wineserver still running for this prefix (an earlier run) is fine too.
wineserver -p >/dev/null 2>&1 </dev/null || true
trap 'wineserver -k 2>/dev/null || true' EXIT
wine cmd /c exit >/dev/null 2>&1 </dev/null
server=$VU_BUILD_ROOT/win64/admin_prefs/VelmorUpdaterAdminPrefs.exe
echo "== server: $server ($(stat -c %s "$server") bytes)"

# Register the server in this prefix: its COM class, AppID and type library.
set +e
wine "$server" /RegServer 2>/dev/null
code=$?
set -e
echo "== /RegServer ended with exit code $code (low byte of its HRESULT; 0 is S_OK)"
wine reg query 'HKLM\Software\Classes\CLSID\{AF2A86CC-90BE-453F-95FD-140F8CCFE558}' /s 2>/dev/null \
  | tr -d '\r' || echo "!! the class key is missing"

# Drive the server with the command-line client: COM starts it for each call.
client=$VU_BUILD_ROOT/win64/tools/adminprefs.exe
failures=0
client_output=$(mktemp)
trap 'rm -f "$client_output"; wineserver -k 2>/dev/null || true' EXIT
run_client() {
  echo "== adminprefs $*"
  local code=0
  # Through a file, not a pipe: under Wine the server that COM starts inherits the
  # client's output handles, and a pipe would stay open until the server ends.
  wine "$client" "$@" >"$client_output" 2>&1 || code=$?
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
