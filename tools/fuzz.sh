#!/usr/bin/env bash
# Fuzzes the code that only computes, built natively with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer.
#
#   tools/fuzz.sh [SECONDS]   each target for SECONDS (default 600), two at a time
#                             (FELNOX_FUZZ_JOBS at a time, if set)
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

# Each target is a CTest test of the fuzz build (tests/fuzz/CMakeLists.txt);
# libFuzzer's closing lines come from CTest's JUnit report.
targets=$(cd "$root/tests/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//')
report=${FELNOX_FUZZ_REPORT:-$build/junit.xml}
status=0
# The closing statistics are the last lines of a long output: keep them.
ctest --test-dir "$build" -j"${FELNOX_FUZZ_JOBS:-2}" --timeout $((seconds + 300)) --output-junit "$report" \
      --test-output-size-passed 65536 --test-output-size-failed 65536 \
      --test-output-truncation head >/dev/null || status=$?
python3 - "$report" <<'PY'
import re, sys, xml.etree.ElementTree as ET
for case in ET.parse(sys.argv[1]).getroot().iter("testcase"):
    out = (case.findtext("system-out") or "")
    runs = re.findall(r"stat::number_of_executed_units: *(\d+)", out)
    cov = re.findall(r"cov: \d+ ft: \d+", out)
    if case.find("failure") is None and case.get("status") == "run":
        print(f"{case.get('name')}: {runs[-1] if runs else '?'} executions, {cov[-1] if cov else ''}")
    else:
        print(f"{case.get('name')}: FAILED")
        for line in [l for l in out.splitlines() if re.search("ERROR|SUMMARY|runtime error", l)][:5]:
            print(line)
PY
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

