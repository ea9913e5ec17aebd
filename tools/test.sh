#!/usr/bin/env bash
# Builds everything, runs the static checks, the whole test suite under
# Wine (and Xvfb for the window tests), then a minute of each fuzzer
# (FELNOX_FUZZ_SECONDS to change it). Installs what is missing on a Debian
# 12 machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
start=$(date +%s)
"$root/tools/build.sh"

build="$root/build/windows"
rm -rf "$build/results"; mkdir -p "$build/results"
status=0

# A step that is no GoogleTest program counts as one case: NAME, 0 if it passed.
report_step() {
  local failure=""
  [ "$2" -eq 0 ] || failure="<failure message=\"$1 failed\"/>"
  printf '<testsuites><testsuite name="%s"><testcase name="%s" classname="%s">%s</testcase></testsuite></testsuites>\n' \
    "$1" "$1" "$1" "$failure" >"$build/results/$1.xml"
}
lint=0
"$root/tools/lint.sh" || lint=1
report_step StaticChecks $lint
[ $lint -eq 0 ] || status=1

# A second build of the exes, elsewhere, must give the same bytes.
reproducible=0
"$root/tools/reproducible.sh" || reproducible=1
report_step ReproducibleBuild $reproducible
[ $reproducible -eq 0 ] || status=1

. "$root/tools/wine-env.sh"
small_disk="$root/build/small-disk"
trap 'wine_stop; display_stop; umount "$small_disk" 2>/dev/null || true' EXIT
display_start
wine_start

# A file system of 4 MiB, to fill up on purpose (needs mount, so root).
mkdir -p "$small_disk"
if mountpoint -q "$small_disk" || mount -t tmpfs -o size=4m felnox-small "$small_disk" 2>/dev/null; then
  export FELNOX_SMALL_DISK; FELNOX_SMALL_DISK=$(winepath -w "$small_disk")
fi

ctest --test-dir "$build" --output-on-failure --timeout 600 || status=$?

# The 32-bit exe under 32-bit Wine.
x86_start=$(date +%s)
"$root/tools/test-x86.sh" "$build/results" || status=1
echo "32-bit tests wall time: $(( $(date +%s) - x86_start )) s"

# A minute per fuzzer, natively; each fuzzer counts as one case below.
echo "fuzzing each target for ${FELNOX_FUZZ_SECONDS:=60} s"
FELNOX_FUZZ_REPORT="$build/results/fuzz.xml" "$root/tools/fuzz.sh" "$FELNOX_FUZZ_SECONDS" || status=1

# Every test that docs/reliability.md names ran.
docs=0
python3 "$root/tools/check-doc-tests.py" "$root/docs/reliability.md" "$build/results" || docs=1
report_step DocumentedTestsRan $docs
[ $docs -eq 0 ] || status=1

echo "suite wall time: $(( $(date +%s) - start )) s"
# CTest counts one test per executable; count the cases too. This stays the last line.
python3 "$root/tools/count-results.py" "$build/results" || status=1
exit $status
