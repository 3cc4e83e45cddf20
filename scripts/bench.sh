#!/bin/bash
# Builds the native benchmarks in release mode and runs them pinned to one CPU.
#   scripts/bench.sh [benchmark-program-name] [extra google-benchmark flags]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export VU_BUILD_ROOT=$(realpath -m "${VU_BUILD_ROOT:-$root/build}")
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" native-release >/dev/null
programs=("$@")
[ ${#programs[@]} -gt 0 ] || programs=($(ls "$VU_BUILD_ROOT/native-release/bench" | grep '_bench$'))
for p in "${programs[@]}"; do
  [[ $p == --* ]] && continue
  echo "== $p"
  taskset -c 0 "$VU_BUILD_ROOT/native-release/bench/$p" --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true "${@:2}"
done
