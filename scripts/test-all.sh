#!/bin/bash
# Builds every flavour and runs every test: native (ASan + UBSan), Windows under
# Wine in the build tree's own prefix, the fuzz targets for a bounded number of
# runs, and a link of the 32-bit build. Ends with "N passed, N failed".
set -uo pipefail
# Builds go to the presets' $VU_BUILD_ROOT/<flavour>, by default build/<flavour>.
root=$(cd "$(dirname "$0")/.." && pwd)
export VU_BUILD_ROOT=$(realpath -m "${VU_BUILD_ROOT:-$root/build}")
cd "$root"
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

jobs=$(nproc)

# Each flavour is a preset: build it, then run its tests (win32 has none: it is
# only linked, as there is no 32-bit Wine here).
for flavour in native win64 win32 fuzz; do
  if [ "$flavour" = fuzz ] && [ ! -f fuzz/CMakeLists.txt ]; then
    continue
  fi
  step "build-$flavour" scripts/build.sh "$flavour" || continue
  case $flavour in
    win32) continue ;;
    win64) echo "== test-win64 (under Wine)" ;;
    fuzz) echo "== fuzz (bounded runs)" ;;
    *) echo "== test-$flavour" ;;
  esac
  ctest --preset "$flavour" -j "$jobs" 2>&1 | tee "$logdir/ctest-$flavour.log" | tail -n 5
  count_ctest "$logdir/ctest-$flavour.log"
  if [ "$flavour" = win64 ]; then
    "$VU_BUILD_ROOT/win64/wine-run.sh" --stop
  fi
done

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
