#!/bin/bash
# Builds the server and runs it under Wine in a project-local prefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
scripts/build.sh win64

export WINEPREFIX=$root/build/run-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== creating the Wine prefix $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
fi
server=$root/build/win64/admin_prefs/VelmorUpdaterAdminPrefs.exe
echo "== server: $server ($(stat -c %s "$server") bytes)"

# Register the server in this prefix: its COM class, AppID and type library.
set +e
wine "$server" /RegServer 2>/dev/null
code=$?
set -e
echo "== /RegServer ended with exit code $code (low byte of its HRESULT; 0 is S_OK)"
wine reg query 'HKLM\Software\Classes\CLSID\{AF2A86CC-90BE-453F-95FD-140F8CCFE558}' /s 2>/dev/null \
  | tr -d '\r' || echo "!! the class key is missing"

set +e
wine "$server" 2>/dev/null
code=$?
set -e
echo "== the server started and ended with exit code $code (low byte of its HRESULT)"
wineserver -k 2>/dev/null || true
