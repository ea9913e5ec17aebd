#!/usr/bin/env bash
# Checks that the build is reproducible: builds the program a second time,
# from a copy of the tree in a temporary folder, and compares both exes with
# those of build/windows and build/windows-x86 (tools/build.sh) by SHA-256.
# Fails on any difference.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# The copy has no .git: give it the time stamp that build/ was made with
# (from SOURCE_DATE_EPOCH, the commit or the fixed time, CMakeLists.txt).
SOURCE_DATE_EPOCH=$(cat "$root/build/windows/source-date-epoch.txt")
export SOURCE_DATE_EPOCH
work=$(mktemp -d "${TMPDIR:-/tmp}/felnox-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/source"
tar -C "$root" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$work/source" -xf -
"$root/tools/build-program.sh" "$work/source" "$work/build"

status=0
for folder in windows windows-x86; do
  first=$(sha256sum <"$root/build/$folder/ui/felnox1decrypt.exe" | cut -d' ' -f1)
  second=$(sha256sum <"$work/build/$folder/ui/felnox1decrypt.exe" | cut -d' ' -f1)
  if [ "$first" = "$second" ]; then
    echo "reproducible: $folder/ui/felnox1decrypt.exe $first"
  else
    echo "not reproducible: $folder/ui/felnox1decrypt.exe $first here, $second when built again in another folder" >&2
    status=1
  fi
done
exit $status
