#!/bin/bash
# Builds every flavour and runs every test: native (ASan + UBSan); the 64-bit
# Windows build under the host's Wine and the 32-bit one (the product) under
# 32-bit Wine in the i386 root, each in its build tree's own prefix; the fuzz
# targets for a bounded number of runs. Ends with "N passed, N failed".
set -uo pipefail
# Builds go to the presets' $VU_BUILD_ROOT/<flavour>, by default build/<flavour>.
root=$(cd "$(dirname "$0")/.." && pwd)
export VU_BUILD_ROOT=$(realpath -m "${VU_BUILD_ROOT:-$root/build}")
cd "$root"
# Said before anything else runs: what this machine lacks for the 32-bit tests.
"$root/scripts/i386-root.sh" check || exit 1
"$root/scripts/install-deps.sh" || exit 1

passed=0
failed=0
logdir=$VU_BUILD_ROOT/test-logs
mkdir -p "$logdir"

count_ctest() {  # adds the counts of one ctest log
  local log=$1 line total fails
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    return
  fi
  fails=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
  passed=$((passed + total - fails))
  failed=$((failed + fails))
}

step() {  # step <name> <command...>: a build step counts as one test
  local name=$1
  shift
  echo "== $name"
  if "$@" >"$logdir/$name.log" 2>&1; then
    passed=$((passed + 1))
    return 0
  fi
  tail -n 40 "$logdir/$name.log"
  echo "!! $name failed (log: $logdir/$name.log)"
  failed=$((failed + 1))
  return 1
}

# What went wrong, from the output of the failed tests: a run on a machine
# one cannot log in to must say more than the names of the tests.
show_failures() {
  local log=$1
  grep -q '^The following tests FAILED' "$log" || return 0
  echo "-- failure output (whole log: $log)"
  grep -E -A 4 ': Failure$|\*\*\*(Failed|Timeout|Exception)|^(FAIL|not ok|!!) ' "$log" | head -n 120
}

jobs=$(nproc)

# The i386 root (made once per machine, reused after) is prepared while the
# native flavour builds; the 32-bit tests wait for it.
"$root/scripts/i386-root.sh" ensure >"$logdir/i386-root.log" 2>&1 &
root_job=$!

# Each flavour is a preset: build it, then run its tests.
for flavour in native win64 win32 fuzz; do
  if [ "$flavour" = fuzz ] && [ ! -f fuzz/CMakeLists.txt ]; then
    continue
  fi
  step "build-$flavour" scripts/build.sh "$flavour" || continue
  case $flavour in
    win64) echo "== test-win64 (under the host's 64-bit Wine)" ;;
    win32)
      if [ -n "$root_job" ]; then
        wait "$root_job"
        root_status=$?
        root_job=
        cat "$logdir/i386-root.log"
        if [ "$root_status" -ne 0 ]; then
          echo "!! the i386 root could not be made (log: $logdir/i386-root.log)"
          failed=$((failed + 1))
          continue
        fi
      fi
      echo "== test-win32 (under 32-bit Wine in the i386 root)" ;;
    fuzz) echo "== fuzz (bounded runs)" ;;
    *) echo "== test-$flavour" ;;
  esac
  ctest --preset "$flavour" -j "$jobs" --output-on-failure 2>&1 |
    tee "$logdir/ctest-$flavour.log" | grep -E '% tests passed|^The following tests FAILED|^\s+[0-9]+ - '
  count_ctest "$logdir/ctest-$flavour.log"
  show_failures "$logdir/ctest-$flavour.log"
  case $flavour in
    win64 | win32) "$VU_BUILD_ROOT/$flavour/wine-run.sh" --stop ;;
  esac
done
[ -z "$root_job" ] || wait "$root_job"

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
