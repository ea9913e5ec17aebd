#!/usr/bin/env bash
# Builds everything and runs the whole suite with CTest, under Wine on a
# private X server (xvfb-run): the tests, the static checks, the layering
# and prefix checks, and a minute of each fuzzer (FELNOX_FUZZ_SECONDS to
# change it). Installs what is missing on a Debian 12 machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export FELNOX_SUITE_START=${FELNOX_SUITE_START:-$(date +%s)}
# Once a run: not again under xvfb-run, nor in tools/build.sh.
[ -n "${FELNOX_SETUP_DONE:-}" ] || "$root/tools/setup.sh"
export FELNOX_SETUP_DONE=1
. "$root/tools/wine-env.sh"
with_xvfb "$0" "$@"
"$root/tools/build.sh"

build="$root/build/windows"
rm -rf "$build/results"; mkdir -p "$build/results"
small_disk="$root/build/small-disk"
trap 'wine_stop; umount "$small_disk" 2>/dev/null || true' EXIT
# One wineserver for the whole run, in a prefix sealed to build/.
wine_start
export FELNOX_FIXTURES="$root/build"

# A file system of 4 MiB, to fill up on purpose (needs mount, so root).
mkdir -p "$small_disk"
if mountpoint -q "$small_disk" || mount -t tmpfs -o size=4m felnox-small "$small_disk" 2>/dev/null; then
  export FELNOX_SMALL_DISK; FELNOX_SMALL_DISK=$(winepath -w "$small_disk")
fi

export FELNOX_FUZZ_SECONDS=${FELNOX_FUZZ_SECONDS:-60}
status=0
# Two at a time: the fuzzers, and beside them the other tests one by one
# (tests/CMakeLists.txt).
ctest --test-dir "$build" -j2 --output-on-failure --timeout 600 \
      --output-junit "$build/ctest-junit.xml" || status=$?

# The 32-bit exe under 32-bit Wine, where the machine runs 32-bit code.
x86_start=$(date +%s)
"$root/tools/test-x86.sh" "$build/results" || status=1
echo "32-bit tests wall time: $(( $(date +%s) - x86_start )) s"

echo "suite wall time: $(( $(date +%s) - FELNOX_SUITE_START )) s"
# What this machine went without, and the tests skipped for it.
if [ "$FELNOX_WINE32" != 1 ]; then
  echo "optional part missing: $FELNOX_WINE32_MISSING"
  echo "skipped for it: $(cd "$build/results" && grep -l '<skipped' -- *_x86.xml | sed 's/\.xml$//' | paste -sd' ')"
fi
# CTest counts one test per executable; count the cases too. This stays the last line.
python3 "$root/tools/count-results.py" "$build/ctest-junit.xml" "$build/results" || status=1
exit $status
