#!/usr/bin/env bash
# Fuzzes the code that only computes, built natively with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer.
#
#   tools/fuzz.sh [SECONDS]   each target for SECONDS (default 600), two at a time
#
# The seeds in tests/fuzz/corpus are read, never written; what a run learns
# stays in build/fuzz/corpus. Prints, per target, the executions and
# libFuzzer's coverage (cov: edges, ft: features); then replays every corpus
# through a build with source coverage and prints the lines and branches of
# the program's own code that the corpus reaches.
# With FELNOX_FUZZ_REPORT=FILE CTest also writes its JUnit report there, one
# case per target, so that the test suite counts the fuzzers with its tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
"$root/tools/setup.sh"
build="$root/build/fuzz"
CXX=clang++ cmake -S "$root" -B "$build" -DFELNOX_FUZZ=ON -DFELNOX_TESTS=OFF \
    -DFELNOX_WERROR=ON -DCMAKE_BUILD_TYPE=Debug -DFELNOX_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build "$build" -j2 >/dev/null

# Each target is a CTest test of the fuzz build (tests/fuzz/CMakeLists.txt).
targets=$(cd "$root/tests/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//')
status=0
ctest --test-dir "$build" -j2 --timeout $((seconds + 300)) --output-log "$build/fuzz.log" \
      ${FELNOX_FUZZ_REPORT:+--output-junit "$FELNOX_FUZZ_REPORT"} >/dev/null || status=$?
# libFuzzer's closing lines of each target, from the run's log.
for target in $targets; do
  section=$(awk -v t="$target" '$0 ~ "Testing: "t"$" {on=1; next} on && /Test time =/ {exit} on' "$build/fuzz.log")
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' <<<"$section" | grep -o '[0-9]*$' || true)
  cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' <<<"$section" | tail -n 1 || true)
  if grep -q 'Test Passed' <<<"$section" || { [ -n "$runs" ] && ! grep -qE 'ERROR|runtime error' <<<"$section"; }; then
    echo "$target: $runs executions, $cov"
  else
    echo "$target: FAILED (see $build/fuzz.log)"
    grep -m 5 -E 'ERROR|SUMMARY|runtime error' <<<"$section" || true
    status=1
  fi
done
[ $status -eq 0 ] || exit $status
# Source coverage: every input of every corpus run once, without sanitizers.
coverage="$root/build/fuzz-coverage"
CXX=clang++ cmake -S "$root" -B "$coverage" -DFELNOX_FUZZ_COVERAGE=ON -DFELNOX_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$coverage" -j2 >/dev/null
rm -f "$coverage"/*.profraw
objects=()
for target in $targets; do
  LLVM_PROFILE_FILE="$coverage/$target.profraw" "$coverage/tests/fuzz/$target" -runs=0 \
      "$build/corpus/$target" "$root/tests/fuzz/corpus/$target" >/dev/null 2>&1 || true
  objects+=(-object "$coverage/tests/fuzz/$target")
done
llvm-profdata-14 merge -o "$coverage/all.profdata" "$coverage"/*.profraw
sources=$(ls "$root"/core/*.cpp "$root"/scan/*.cpp | grep -v '_win\.cpp$')
echo "source coverage of the program's pure code by the corpus (lines, branches):"
# shellcheck disable=SC2086 # one argument per source file
llvm-cov-14 report "${objects[@]:1}" -instr-profile="$coverage/all.profdata" $sources 2>/dev/null |
  awk -v root="$root/" 'NR > 2 && !/^-/ && NF >= 13 {
    name = $1; sub(root, "", name)
    printf "  %-18s lines %s of %s missed (%s), branches %s of %s missed (%s)\n",
           name, $9, $8, $10, $12, $11, $13 }'

