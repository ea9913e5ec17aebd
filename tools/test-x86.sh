#!/usr/bin/env bash
# Runs tests of the 32-bit build (build/windows-x86) under 32-bit Wine, in
# a 32-bit prefix of its own (WINEARCH=win32, as on 32-bit Windows): the
# recovery core's round trips and the end-to-end tests that drive the real
# 32-bit program. Their reports go into RESULTS, named with the suffix _x86.
# The scanner's own tests stay 64-bit, to keep the suite short: their one
# 32-bit concern, the redirection of System32, needs a 64-bit prefix. Where
# 32-bit Wine is not installed or the machine runs no 32-bit code at all,
# the two count as skipped and the script says why.
#
#   tools/test-x86.sh RESULTS     (tools/test.sh calls it, with its display)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
results=$(realpath "$1")
build="$root/build/windows-x86"
tests=(core_tests program_tests)
export FELNOX_WINEPREFIX="$root/build/wineprefix-x86"
. "$root/tools/wine-env.sh"

if [ "$FELNOX_WINE32" != 1 ]; then
  reason=$FELNOX_WINE32_MISSING
  echo "32-bit tests skipped: $reason"
  # apt's messages, which the reason may quote, can hold XML's own characters.
  message=$(sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g' <<<"$reason")
  for test in "${tests[@]}"; do
    printf '<testsuites><testsuite name="%s_x86"><testcase name="%s_x86" classname="x86"><skipped message="%s"/></testcase></testsuite></testsuites>\n' \
      "$test" "$test" "$message" >"$results/${test}_x86.xml"
  done
  exit 0
fi

export WINEARCH=win32
trap wine_stop EXIT
wine_start
rm -rf "$build/results"; mkdir -p "$build/results"
status=0
ctest --test-dir "$build" --output-on-failure --timeout 600 -R "^($(IFS='|'; echo "${tests[*]}"))\$" || status=1
for test in "${tests[@]}"; do
  cp "$build/results/$test.xml" "$results/${test}_x86.xml" || status=1
done
exit $status
