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
# With FELNOX_FUZZ_REPORT=FILE it also writes a GoogleTest-style XML report,
# one case per target, so that the test suite counts the fuzzers with its tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
"$root/tools/setup.sh"
build="$root/build/fuzz"
CXX=clang++ cmake -S "$root" -B "$build" -DFELNOX_FUZZ=ON -DFELNOX_TESTS=OFF \
    -DFELNOX_WERROR=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j2 >/dev/null

targets=$(cd "$root/tests/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//')
# The longest input worth trying: libFuzzer would otherwise stop at the
# longest seed (4096 bytes at least), short of the largest key files.
max_len() {
  case $1 in
    fuzz_key_file) echo 33308 ;;   # past the largest key file, 33292 bytes
    fuzz_scan_target) echo 8192 ;; # arguments of 4096 characters
    *) echo 4096 ;;
  esac
}
run_one() {
  local target=$1 work="$build/corpus/$1" log="$build/$1.log"
  mkdir -p "$work"
  if "$build/tests/fuzz/$target" -max_total_time="$seconds" -max_len="$(max_len "$target")" \
       -print_final_stats=1 -artifact_prefix="$build/$target-" \
       "$work" "$root/tests/fuzz/corpus/$target" >"$log" 2>&1; then
    local runs cov
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
    cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n 1)
    echo "$target: $runs executions, $cov"
  else
    echo "$target: FAILED (see $log)"
    grep -m 5 -E 'ERROR|SUMMARY|runtime error' "$log" || true
    return 1
  fi
}
export -f run_one max_len
export build root seconds

summary="$build/summary.txt"
status=0
echo "$targets" | xargs -P 2 -I{} bash -c 'run_one {}' >"$summary" || status=$?
cat "$summary"

if [ -n "${FELNOX_FUZZ_REPORT:-}" ]; then
  {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<testsuites name="fuzz">'
    echo "  <testsuite name=\"Fuzz\" tests=\"$(echo "$targets" | wc -l)\">"
    for target in $targets; do
      if grep -q "^$target: FAILED" "$summary" || ! grep -q "^$target: " "$summary"; then
        echo "    <testcase name=\"$target\" classname=\"Fuzz\"><failure message=\"see $build/$target.log\"/></testcase>"
      else
        echo "    <testcase name=\"$target\" classname=\"Fuzz\"/>"
      fi
    done
    echo '  </testsuite>'
    echo '</testsuites>'
  } >"$FELNOX_FUZZ_REPORT"
fi
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

