#!/usr/bin/env bash
# Builds felnox1decrypt.exe and starts it under Wine.
#
#   tools/run.sh           a demo: sample files locked in nested folders, and
#                          a spare original beside its locked copy to pick
#   tools/run.sh FOLDER    the program on a folder of your own
#
# Without a display the program runs under Xvfb; a screenshot of its window
# is saved and its path printed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
export FELNOX_WINEPREFIX="$root/build/run-prefix"
. "$root/tools/wine-env.sh"
[ -n "${DISPLAY:-}" ] || with_xvfb "$0" "$@"
headless=${FELNOX_XVFB:-}
"$root/tools/build.sh"
build="$root/build/windows"
trap wine_stop EXIT

# A prefix of its own, sealed like the tests': the folder given is drive D:.
if [ $# -ge 1 ]; then
  wine_start "d:$(cd "$1" && pwd)"
  target='D:\'
else
  wine_start
  demo="$root/build/demo"
  rm -rf "$demo"
  wine "$build/tools/demo/felnox_demo.exe" make "$(winepath -w "$demo")"
  target=$(winepath -w "$demo/documents")
  echo "Press Continue, then pick the two files named above."
fi

echo "felnox1decrypt on $target"
if [ -n "$headless" ]; then
  wine "$build/ui/felnox1decrypt.exe" "$target" &
  shot="$root/build/felnox1decrypt.bmp"
  wine "$build/tools/demo/felnox_demo.exe" screenshot "$(winepath -w "$shot")"
  echo "no display: the window ran under Xvfb; its screenshot is $shot"
else
  wine "$build/ui/felnox1decrypt.exe" "$target"
fi
