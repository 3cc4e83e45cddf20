#!/bin/bash
# The i386 root's helper owns its mounts: a run mounts inside a namespace of its
# own and leaves nothing mounted, whether it ends normally or is interrupted; a
# mount left on the host is cleaned up before the next use; and a root with
# anything mounted under it, or a process inside it, is never deleted.
#   i386_root_test.sh   (as root; uses the real root for runs, scratch roots for
#                        the deletions)
set -u
here=$(cd "$(dirname "$0")" && pwd)
helper=$here/../../scripts/i386-root.sh
project=$(cd "$here/../.." && pwd)
root=$(realpath -m "${VU_I386_ROOT:-/var/cache/velmor-updater/i386-root}")
failures=0
scratch=$(mktemp -d /tmp/vu-i386-root-test.XXXXXX)
background=()
cleanup() {
  local pid
  for pid in "${background[@]}"; do kill -KILL "$pid" 2>/dev/null; done
  wait 2>/dev/null
  # Whatever a failed case left mounted goes before the scratch folder does.
  findmnt -rn -o TARGET | grep -F "$scratch" | sort -r | xargs -r -n1 umount -l
  rm -rf --one-file-system "$scratch"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

# Other tests may run in the root meanwhile: a run is followed through its own
# mount namespace, which must be gone (and its mounts with it) once it ended.
namespace_gone() {
  local ns
  for ns in /proc/[0-9]*/ns/mnt; do
    [ "$(readlink "$ns" 2>/dev/null)" = "$1" ] && return 1
  done
  return 0
}
host_clean() { [ -z "$(findmnt -rn -o TARGET | grep -F "$root/")" ]; }
ended() { [ ! -e "/proc/$1" ] || grep -q '^State:[[:space:]]*Z' "/proc/$1/status"; }
# Waits up to 10 s for a command to succeed.
await() {
  local i
  for i in $(seq 100); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

"$helper" ensure || { echo "FAIL: the root cannot be made"; exit 1; }

# A run sees the system folders and the project at their own paths, gives the
# command's exit status, and leaves nothing mounted.
seen=$("$helper" run -- findmnt -rn -o TARGET)
for mount_point in /proc /dev /sys "$project"; do
  grep -qx -F "$mount_point" <<<"$seen" || fail "$mount_point is not mounted inside a run"
done
[ -f "$("$helper" run --cd "$project" -- pwd)/scripts/i386-root.sh" ] ||
  fail "the run does not start in the folder asked for"
"$helper" run -- sh -c 'exit 7'
[ $? -eq 7 ] || fail "the command's exit status is not the run's"
ns=$("$helper" run -- readlink /proc/self/ns/mnt)
[ -n "$ns" ] && [ "$ns" != "$(readlink /proc/self/ns/mnt)" ] || fail "the run shares the host's mounts"
await namespace_gone "$ns" || fail "the run's namespace and its mounts outlive it"
host_clean || fail "the host sees mounts under the root"
pass "run: mounts inside, status passed on, nothing left"

# Interrupted runs: by SIGTERM or SIGINT to the run, and by SIGKILL to its
# whole process group. The command ends with it and nothing stays mounted.
for signal in TERM INT KILL; do
  # A background job starts with SIGINT ignored; a run started from a terminal has it.
  setsid env --default-signal=INT "$helper" run -- sleep 300 &
  pid=$!
  background+=("$pid")
  await pgrep -s "$pid" -x sleep >/dev/null || fail "$signal: the command did not start"
  ns=$(readlink "/proc/$(pgrep -s "$pid" -x sleep)/ns/mnt")
  if [ "$signal" = KILL ]; then
    kill -KILL -- "-$pid"
  else
    kill "-$signal" "$pid"
  fi
  await ended "$pid" || fail "$signal: the run goes on"
  wait "$pid" 2>/dev/null
  await namespace_gone "$ns" || fail "$signal: the command or its mounts outlive the run"
  host_clean || fail "$signal: the host sees mounts under the root"
done
pass "interrupted runs (TERM, INT, KILL) leave no process and no mount"

# A scratch root whose deletion must spare what is mounted into it.
make_scratch_root() {  # make_scratch_root NAME: a root with a sentinel folder to mount
  local dir=$scratch/$1
  mkdir -p "$dir/root/mnt/project" "$dir/sentinel"
  echo keep >"$dir/sentinel/file"
  echo "$dir"
}

# A mount left on the host by an interrupted run is cleaned up first.
dir=$(make_scratch_root stale)
mount --bind "$dir/sentinel" "$dir/root/mnt/project"
VU_I386_ROOT=$dir/root "$helper" clean 2>/dev/null
if findmnt -rn -o TARGET | grep -q -F "$dir/root/"; then
  fail "clean left the host mount in place"
  umount "$dir/root/mnt/project"
fi
[ -f "$dir/sentinel/file" ] || fail "clean touched what was mounted"
mount --bind "$dir/sentinel" "$dir/root/mnt/project"
VU_I386_ROOT=$dir/root "$helper" remove >/dev/null 2>&1
[ -f "$dir/sentinel/file" ] || fail "remove deleted through a stale host mount"
[ ! -e "$dir/root" ] || fail "remove did not delete the root once its stale mount was gone"
pass "a stale host mount is unmounted before anything else, and only then the root deleted"

# A mount under the root in another process's namespace: refused.
dir=$(make_scratch_root namespaced)
unshare --mount --propagation private \
  sh -c 'mount --bind "$1" "$2" && exec sleep 300' _ "$dir/sentinel" "$dir/root/mnt/project" &
pid=$!
background+=("$pid")
await bash -c "grep -q -F '$dir/root/mnt/project' /proc/$pid/mountinfo" ||
  fail "the namespaced mount was not made"
if VU_I386_ROOT=$dir/root "$helper" remove 2>/dev/null; then
  fail "remove did not refuse while a mount lay under the root"
fi
[ -f "$dir/sentinel/file" ] && [ -d "$dir/root" ] || fail "a refused remove deleted something"
kill "$pid"
wait "$pid" 2>/dev/null
VU_I386_ROOT=$dir/root "$helper" remove >/dev/null 2>&1 || fail "remove refused a free root"
[ ! -e "$dir/root" ] && [ -f "$dir/sentinel/file" ] || fail "the free root was not removed cleanly"
pass "remove refuses while another namespace has a mount under the root"

# A process living inside the root (its root directory there): refused.
dir=$(make_scratch_root occupied)
for file in /usr/bin/sleep $(ldd /usr/bin/sleep | grep -o '/[^ ]*'); do
  mkdir -p "$dir/root$(dirname "$file")"
  cp "$file" "$dir/root$file"
done
chroot "$dir/root" /usr/bin/sleep 300 &
pid=$!
background+=("$pid")
await bash -c "[ \"\$(readlink /proc/$pid/root)\" = '$dir/root' ]" || fail "the process did not start"
if VU_I386_ROOT=$dir/root "$helper" remove 2>/dev/null; then
  fail "remove did not refuse while a process lived inside the root"
fi
[ -x "$dir/root/usr/bin/sleep" ] || fail "a refused remove deleted something"
kill "$pid"
wait "$pid" 2>/dev/null
pass "remove refuses while a process lives inside the root"

if [ "$failures" -ne 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "all passed"
