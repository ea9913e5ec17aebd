#!/usr/bin/env bash
# Takes the screenshots of the window shown in README.md (English and
# Russian, before and after a scan, at 100 % and 150 % display scaling)
# into docs/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
. "$root/tools/wine-env.sh"
with_xvfb "$0" "$@"
"$root/tools/build.sh"
trap wine_stop EXIT
wine_start

shots="$root/build/screenshots"
rm -rf "$shots"
cd "$root/build/windows"
# At 100 % and at 150 % display scaling: Wine reads the DPI when a program starts.
for scale in 100 150; do
  mkdir -p "$shots/$scale"
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $((scale * 96 / 100)) /f \
    </dev/null >/dev/null 2>&1
  export FELNOX_SCREENSHOTS; FELNOX_SCREENSHOTS=$(winepath -w "$shots/$scale")
  for locale in C.UTF-8 ru_RU.UTF-8; do
    LC_ALL=$locale wine tools/demo/felnox_screenshots.exe | tail -n 1
  done
  python3 "$root/tools/bmp2png.py" "$shots/$scale"/*.bmp
done
cp "$shots"/100/*.png "$root/docs/"
for shot in "$shots"/150/*.png; do
  name=$(basename "$shot" .png)
  cp "$shot" "$root/docs/$name-150.png"
done
ls "$root"/docs/*.png
