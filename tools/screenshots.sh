#!/usr/bin/env bash
# Takes the screenshots of the window shown in README.md (English and
# Russian, before and after a scan) into docs/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
. "$root/tools/wine-env.sh"
with_xvfb "$0" "$@"
"$root/tools/build.sh"
trap wine_stop EXIT
wine_start

shots="$root/build/screenshots"
rm -rf "$shots"; mkdir -p "$shots"
export FELNOX_SCREENSHOTS; FELNOX_SCREENSHOTS=$(winepath -w "$shots")
cd "$root/build/windows"
for locale in C.UTF-8 ru_RU.UTF-8; do
  LC_ALL=$locale wine tools/demo/felnox_screenshots.exe | tail -n 1
done
python3 "$root/tools/bmp2png.py" "$shots"/*.bmp
cp "$shots"/*.png "$root/docs/"
ls "$root"/docs/*.png
