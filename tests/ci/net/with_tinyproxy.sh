#!/bin/bash
# Runs a command with a tinyproxy of its own: on 127.0.0.1 at a free port, with
# Basic authentication, configured and logged in a temporary folder, and ended
# (by its process id) when the command ends, whatever way it ends.
#   with_tinyproxy.sh command args...
# The command sees VU_TINYPROXY_PORT, VU_TINYPROXY_USER and VU_TINYPROXY_PASSWORD.
set -u
tinyproxy=$(command -v tinyproxy) || { echo "tinyproxy is not installed (scripts/install-deps.sh)" >&2; exit 1; }
dir=$(mktemp -d /tmp/vu-tinyproxy.XXXXXX)
pid=
cleanup() {
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  fi
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
export VU_TINYPROXY_PORT=$port VU_TINYPROXY_USER=proxyuser VU_TINYPROXY_PASSWORD=proxy-secret
cat >"$dir/tinyproxy.conf" <<CONF
Port $port
Listen 127.0.0.1
Timeout 30
MaxClients 20
LogFile "$dir/tinyproxy.log"
LogLevel Info
BasicAuth $VU_TINYPROXY_USER $VU_TINYPROXY_PASSWORD
Allow 127.0.0.0/8
CONF
if [ "$(id -u)" = 0 ]; then
  # tinyproxy refuses to keep root rights; it drops to this account.
  printf 'User nobody\nGroup nogroup\n' >>"$dir/tinyproxy.conf"
  chmod 777 "$dir"
fi
"$tinyproxy" -d -c "$dir/tinyproxy.conf" >"$dir/stdout.log" 2>&1 </dev/null &
pid=$!
for _ in $(seq 100); do
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then break; fi
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "tinyproxy did not start:" >&2
    cat "$dir/stdout.log" "$dir/tinyproxy.log" >&2 2>/dev/null
    exit 1
  fi
  sleep 0.05
done
"$@"
rc=$?
if [ $rc -ne 0 ] && [ -f "$dir/tinyproxy.log" ]; then
  echo "--- tinyproxy log" >&2
  tail -n 40 "$dir/tinyproxy.log" >&2
fi
exit $rc
