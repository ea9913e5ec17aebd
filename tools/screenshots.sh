#!/usr/bin/env bash
# Takes the pictures shown in README.md (English and Russian; before and
# after a scan and the final count; at 100 % and 150 % display scaling) from
# the current build into docs/.
#
#   tools/screenshots.sh          builds, takes them in a fresh prefix, writes docs/*.png
#   tools/screenshots.sh --check  takes them in the running prefix of the suite
#                                 (the readme_pictures test) and fails on any that
#                                 differs from its copy in docs/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
check=0
[ "${1:-}" = --check ] && check=1
if [ $check = 0 ]; then
  "$root/tools/setup.sh"
fi
. "$root/tools/wine-env.sh"
# set_dpi add|delete [reg's options]
set_dpi() {
  local verb=$1
  shift
  wine reg "$verb" 'HKCU\Control Panel\Desktop' /v LogPixels "$@" /f </dev/null >/dev/null 2>&1
}
if [ $check = 0 ]; then
  with_xvfb "$0" "$@"
  "$root/tools/build.sh"
  trap wine_stop EXIT
  wine_start
else
  # The suite's prefix stays at the default scaling for the tests after this one.
  trap 'set_dpi delete || true' EXIT
fi

shots="$root/build/screenshots"
rm -rf "$shots"
cd "$root/build/windows"
# At 150 % and at 100 % display scaling: Wine reads the DPI when a program starts.
for scale in 150 100; do
  mkdir -p "$shots/$scale"
  set_dpi add /t REG_DWORD /d $((scale * 96 / 100))
  export FELNOX_SCREENSHOTS; FELNOX_SCREENSHOTS=$(winepath -w "$shots/$scale")
  for locale in C.UTF-8 ru_RU.UTF-8; do
    LC_ALL=$locale wine tools/demo/felnox_screenshots.exe | tail -n 1
  done
  python3 "$root/tools/bmp2png.py" "$shots/$scale"/*.bmp
done
for shot in "$shots"/100/*.png "$shots"/150/*.png; do
  name=$(basename "$shot" .png)
  case $shot in */150/*) name=$name-150 ;; esac
  mv "$shot" "$shots/$name.png"
done

if [ $check = 0 ]; then
  rm -f "$root"/docs/window-*.png
  cp "$shots"/*.png "$root/docs/"
  ls "$root"/docs/*.png
  exit 0
fi
# The pictures the build draws and those in docs/, both ways.
status=0
for name in $( (cd "$shots" && ls -- *.png; cd "$root/docs" && ls -- window-*.png) | sort -u); do
  if ! cmp -s "$shots/$name" "$root/docs/$name"; then
    echo "docs/$name is not what the current build shows: run tools/screenshots.sh" >&2
    status=1
  fi
done
exit $status
