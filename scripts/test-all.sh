#!/bin/bash
# Builds every flavour and runs every test: native (ASan + UBSan), Windows under
# Wine in the build tree's own prefix, the fuzz targets for a bounded number of
# runs, and a link of the 32-bit build. Ends with "N passed, N failed".
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh" || exit 1

passed=0
failed=0
logdir=$root/build/test-logs
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

if step build-native scripts/build.sh native; then
  echo "== test-native"
  ctest --test-dir build/native -j "$jobs" --output-on-failure 2>&1 | tee "$logdir/ctest-native.log" | tail -n 5
  count_ctest "$logdir/ctest-native.log"
fi

if step build-win64 scripts/build.sh win64; then
  echo "== test-win64 (under Wine)"
  ctest --test-dir build/win64 -j "$jobs" --output-on-failure 2>&1 | tee "$logdir/ctest-win64.log" | tail -n 5
  count_ctest "$logdir/ctest-win64.log"
  build/win64/wine-run.sh --stop
fi

step build-win32 scripts/build.sh win32

if [ -f fuzz/CMakeLists.txt ] && step build-fuzz scripts/build.sh fuzz; then
  echo "== fuzz (bounded runs)"
  ctest --test-dir build/fuzz -j "$jobs" --output-on-failure 2>&1 | tee "$logdir/ctest-fuzz.log" | tail -n 5
  count_ctest "$logdir/ctest-fuzz.log"
fi

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
