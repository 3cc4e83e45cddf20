#!/bin/bash
# The i386 Debian root in which 32-bit Wine runs the 32-bit Windows programs.
#
#   i386-root.sh ensure            make the root once (debootstrap, then wine32 and the
#                                  few packages the tests use inside); reuse it after
#   i386-root.sh check             say whether the root can be made and used here
#   i386-root.sh run [--bind DIR]... [--cd DIR] -- COMMAND ARGS...
#                                  run COMMAND inside the root, the project tree (and
#                                  every --bind folder) mounted at its own path
#   i386-root.sh mounts            list what is mounted under the root, in any process
#   i386-root.sh clean             unmount what an interrupted run left under the root
#   i386-root.sh remove            delete the root; refused while anything is mounted
#                                  under it or any process lives inside it
#
# The root lives in $VU_I386_ROOT, by default /var/cache/velmor-updater/i386-root:
# a machine-wide cache outside every build tree, so no `rm -rf build` reaches it.
#
# Mounts are owned by the command that makes them. `run` enters a private mount
# namespace (unshare) before it mounts anything: the host never sees those mounts,
# and the kernel drops them when the last process of the namespace ends, however
# it ends (even by SIGKILL). Inside, a trap unmounts them, innermost first, when
# the command ends, unless a daemon the command started (a wineserver) still
# lives in the namespace and needs them; they then go with that daemon. A
# recursive delete of the root from the host therefore never walks into the
# project's sources or the host's /dev; `remove` refuses all the same while any
# mount under the root is visible to any process.
set -uo pipefail

self=$(realpath "${BASH_SOURCE[0]}")
project=$(cd "$(dirname "$self")/.." && pwd)
root=$(realpath -m "${VU_I386_ROOT:-/var/cache/velmor-updater/i386-root}")
packages=(wine wine32 tinyproxy-bin procps python3 ca-certificates)
ready_mark=$root/.vu-ready
lock_file=$root.lock

die() {
  echo "i386-root: $*" >&2
  exit 1
}

# What is missing to make or use the root: root rights, the tools, mounts.
missing_requirements() {
  if [ "$(id -u)" != 0 ]; then
    echo "root rights (the i386 root is made with debootstrap and entered with chroot; run as root)"
    return
  fi
  local tool
  for tool in unshare mount umount chroot findmnt flock; do
    command -v "$tool" >/dev/null 2>&1 || echo "the command $tool (util-linux, coreutils)"
  done
  if ! unshare --mount --propagation private true 2>/dev/null; then
    echo "a private mount namespace (unshare --mount is refused here)"
  elif ! unshare --mount --propagation private \
      bash -c 'd=$(mktemp -d) && mount --bind "$d" "$d" && umount "$d"; r=$?; rmdir "$d"; exit $r' \
      2>/dev/null; then
    echo "bind mounts (mount --bind is refused here)"
  fi
}

check() {
  local missing
  missing=$(missing_requirements)
  if [ -n "$missing" ]; then
    echo "i386-root: 32-bit Windows programs cannot run on this machine; missing:" >&2
    sed 's/^/  - /' <<<"$missing" >&2
    return 1
  fi
  return 0
}

# Mount points at or under `dir` (argument 1) as seen by any process: the host's
# table and every other mount namespace's. One line each, deepest first.
mounts_under() {
  local dir=$1
  {
    findmnt -rn -o TARGET 2>/dev/null
    local info
    for info in /proc/[0-9]*/mountinfo; do
      awk '{ print $5 }' "$info" 2>/dev/null
    done
  } | awk -v dir="$dir" '$0 == dir || index($0, dir "/") == 1' \
    | sort -u | awk '{ print length($0) " " $0 }' | sort -rn | cut -d' ' -f2-
}

# Host mount points under `dir`, deepest first (what an interrupted run that did
# not use a namespace, or a debootstrap cut short, leaves behind).
host_mounts_under() {
  findmnt -rn -o TARGET 2>/dev/null | awk -v dir="$1" '$0 == dir || index($0, dir "/") == 1' \
    | awk '{ print length($0) " " $0 }' | sort -rn | cut -d' ' -f2-
}

# Processes whose root directory lies inside `dir`.
processes_inside() {
  local dir=$1 link pid target
  for link in /proc/[0-9]*/root; do
    target=$(readlink "$link" 2>/dev/null) || continue
    if [ "$target" = "$dir" ] || [[ $target == "$dir"/* ]]; then
      pid=${link#/proc/}
      echo "${pid%/root}"
    fi
  done
}

clean_stale() {
  local dir=$1 target left
  while read -r target; do
    [ -n "$target" ] || continue
    echo "i386-root: unmounting $target, left by an interrupted run" >&2
    umount "$target" 2>/dev/null || umount -l "$target" 2>/dev/null
  done < <(host_mounts_under "$dir")
  left=$(host_mounts_under "$dir")
  [ -z "$left" ] || die "cannot unmount what is mounted under $dir: $left"
}

# Deletes `dir` (a root or a partial one), refusing while anything is mounted
# under it or any process lives in it.
remove_dir() {
  local dir=$1 mounted inside
  [ -e "$dir" ] || return 0
  clean_stale "$dir"
  mounted=$(mounts_under "$dir")
  if [ -n "$mounted" ]; then
    echo "i386-root: refusing to delete $dir: mounted under it:" >&2
    sed 's/^/  /' <<<"$mounted" >&2
    return 1
  fi
  inside=$(processes_inside "$dir")
  if [ -n "$inside" ]; then
    echo "i386-root: refusing to delete $dir: processes live inside it:" $inside >&2
    return 1
  fi
  # --one-file-system: even a mount that appeared after the checks is not entered.
  rm -rf --one-file-system "$dir"
}

# The Debian mirror this host installs from.
mirror() {
  local uri
  uri=$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources 2>/dev/null)
  [ -n "$uri" ] || uri=$(awk '/^deb / && $0 !~ /security/ { print $2; exit }' /etc/apt/sources.list 2>/dev/null)
  echo "${uri:-http://deb.debian.org/debian}"
}

ensure() {
  check || exit 1
  [ -f "$ready_mark" ] && return 0
  mkdir -p "$(dirname "$root")"
  exec 8>"$lock_file"
  flock 8
  [ -f "$ready_mark" ] && return 0
  local started=$SECONDS partial=$root.partial
  if [ -e "$root" ]; then
    echo "i386-root: $root is not complete; making it again" >&2
    remove_dir "$root" || exit 1
  fi
  remove_dir "$partial" || exit 1
  if ! command -v debootstrap >/dev/null 2>&1; then
    echo "i386-root: installing debootstrap" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap \
      >/dev/null 2>&1 || die "debootstrap cannot be installed (apt-get install debootstrap)"
  fi
  echo "i386-root: making an i386 Debian root in $root (once per machine, a few minutes)" >&2
  # debootstrap mounts /proc and /sys in the new root itself: in a namespace of its
  # own, those mounts cannot outlive it either.
  if ! unshare --mount --propagation private \
      debootstrap --arch=i386 --variant=minbase bookworm "$partial" "$(mirror)" \
      >"$root.debootstrap.log" 2>&1; then
    tail -n 20 "$root.debootstrap.log" >&2
    remove_dir "$partial"
    die "debootstrap failed (log: $root.debootstrap.log)"
  fi
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    cp /etc/apt/sources.list.d/debian.sources "$partial/etc/apt/sources.list.d/"
    rm -f "$partial/etc/apt/sources.list"
  fi
  # The security index may fail to download; the main one is enough.
  if ! run_in "$partial" "/" "" -- bash -c \
      'export DEBIAN_FRONTEND=noninteractive
       apt-get update -q >/dev/null 2>&1 || echo "apt-get update reported an error; trying the install anyway" >&2
       apt-get install -y -q --no-install-recommends "$@" && apt-get clean' \
      _ "${packages[@]}" >"$root.packages.log" 2>&1; then
    tail -n 20 "$root.packages.log" >&2
    remove_dir "$partial"
    die "installing ${packages[*]} in the root failed (log: $root.packages.log)"
  fi
  printf '%s\n' "${packages[@]}" >"$partial/.vu-ready"
  mv "$partial" "$root"
  echo "i386-root: ready in $((SECONDS - started)) s" >&2
}

# run_in ROOT CWD BINDS -- COMMAND...: COMMAND inside ROOT in a private mount
# namespace, with /proc, /dev, /sys and each folder of BINDS (one a line) mounted
# at its own path.
run_in() {
  local dir=$1 cwd=$2 binds=$3
  shift 4
  # The creation lock (descriptor 8) is not handed to the command.
  unshare --mount --propagation private -- "$self" __inside "$dir" "$cwd" "$binds" "$@" 8>&-
}

# Inside the namespace: mount, run, unmount.
inside() {
  local dir=$1 cwd=$2 binds=$3
  shift 3
  made=()  # global: the exit trap runs after this function has returned
  unmount_all() {
    local me others pid i
    me=$(readlink /proc/self/ns/mnt)
    # A daemon started by the command (a wineserver) still uses the mounts:
    # leave them to the namespace, which ends with that daemon.
    for pid in $(ls /proc | grep -E '^[0-9]+$'); do
      [ "$pid" = $$ ] || [ "$pid" = "$BASHPID" ] && continue
      [ "$(readlink "/proc/$pid/ns/mnt" 2>/dev/null)" = "$me" ] || continue
      grep -q "^PPid:[[:space:]]*$$\$" "/proc/$pid/status" 2>/dev/null && continue
      others=1
      break
    done
    [ -n "${others:-}" ] && return
    for ((i = ${#made[@]} - 1; i >= 0; i--)); do
      umount -R "${made[$i]}" 2>/dev/null
    done
  }
  trap unmount_all EXIT
  mount_into() {  # mount_into OPTION SOURCE: SOURCE at its own path inside the root
    local option=$1 source=$2 target=$dir$2
    mkdir -p "$target" || die "cannot make $target"
    mount "$option" "$source" "$target" || die "cannot mount $source in $dir"
    made+=("$target")
  }
  mount_into --bind /proc
  mount_into --rbind /dev
  mount_into --bind /sys
  local b
  while IFS= read -r b; do
    [ -n "$b" ] && mount_into --bind "$b"
  done <<<"$binds"
  # The command runs as a child and this shell waits for it, so that a signal
  # reaches the trap at once (bash defers traps while a foreground child runs):
  # the command is ended, then the exit trap unmounts.
  local child status
  trap 'kill -TERM $(jobs -p) 2>/dev/null' INT TERM HUP
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    chroot "$dir" /bin/bash -c 'cd "$1" || exit 1; shift; exec "$@"' _ "$cwd" "$@" <&0 &
  child=$!
  wait "$child"
  status=$?
  while kill -0 "$child" 2>/dev/null; do  # interrupted: wait for the command to end
    wait "$child"
    status=$?
  done
  exit "$status"
}

run() {
  local cwd=$PWD binds=()
  while [ $# -gt 0 ]; do
    case $1 in
      --bind) binds+=("$(realpath "$2")"); shift 2 ;;
      --cd) cwd=$(realpath "$2"); shift 2 ;;
      --) shift; break ;;
      *) die "run: unknown option $1 (run [--bind DIR]... [--cd DIR] -- COMMAND...)" ;;
    esac
  done
  [ $# -gt 0 ] || die "run: no command"
  [ -f "$ready_mark" ] || die "the root $root is not made yet (scripts/i386-root.sh ensure)"
  clean_stale "$root"
  # The project tree always; a build root outside it when one is set; then the
  # folder the command runs in. Nested folders are covered by their parent.
  local all=("$project") b c covered kept=()
  [ -n "${VU_BUILD_ROOT:-}" ] && all+=("$(realpath -m "$VU_BUILD_ROOT")")
  all+=("${binds[@]}" "$cwd")
  for b in "${all[@]}"; do
    [ -d "$b" ] || continue
    [ "$b" = / ] && die "run: refusing to mount / inside the root"
    covered=
    for c in "${all[@]}"; do
      [ "$c" != "$b" ] && [[ $b == "$c"/* ]] && covered=1
    done
    for c in "${kept[@]}"; do
      [ "$c" = "$b" ] && covered=1
    done
    [ -n "$covered" ] || kept+=("$b")
  done
  exec unshare --mount --propagation private -- "$self" __inside "$root" "$cwd" \
    "$(printf '%s\n' "${kept[@]}")" "$@"
}

case ${1:-} in
  ensure) ensure ;;
  check) check && echo "i386-root: this machine can make and use $root" ;;
  run) shift; run "$@" ;;
  mounts) mounts_under "$root" ;;
  clean) clean_stale "$root" ;;
  remove)
    exec 8>"$lock_file"
    flock 8
    remove_dir "$root" && remove_dir "$root.partial" && echo "i386-root: removed $root" ;;
  __inside) shift; inside "$@" ;;
  *) sed -n '2,14p' "$self" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
