#!/usr/bin/env bash
# Fuzzes the code that only computes, built natively with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer.
#
#   tools/fuzz.sh [SECONDS]   each target for SECONDS (default 600), two at a time
#
# The seeds in tests/fuzz/corpus are read, never written; what a run learns
# stays in build/fuzz/corpus. Prints executions and coverage per target.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
"$root/tools/setup.sh"
build="$root/build/fuzz"
CXX=clang++ cmake -S "$root" -B "$build" -DFELNOX_FUZZ=ON -DFELNOX_TESTS=OFF \
    -DFELNOX_WERROR=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

targets=$(cd "$root/tests/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//')
run_one() {
  local target=$1 work="$build/corpus/$1"
  mkdir -p "$work"
  if "$build/tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
       "$work" "$root/tests/fuzz/corpus/$target" >"$build/$target.log" 2>&1; then
    local runs cov
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$build/$target.log" | grep -o '[0-9]*$')
    cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$build/$target.log" | tail -n 1)
    echo "$target: $runs executions, $cov"
  else
    echo "$target: FAILED (see $build/$target.log)"
    grep -m 5 -E 'ERROR|SUMMARY|runtime error' "$build/$target.log" || true
    return 1
  fi
}
export -f run_one
export build root seconds
echo "$targets" | xargs -P 2 -I{} bash -c 'run_one {}'
