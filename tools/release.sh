#!/usr/bin/env bash
# Writes the release into dist/: both exes under their release names, their
# SHA256SUMS, README.txt, the user guide (docs/user-guide.txt) as Notepad
# reads it best: UTF-8 with a byte-order mark and CRLF line ends, and
# LICENSE.txt, the licence with CRLF line ends. SHA256SUMS lists the exes
# alone: they are what a user checks before running anything.
# The exes are built from this tree with the time of its last commit, so
# anyone can build the same commit again and get the same SHA-256.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
version=$(sed -n 's/^#define FELNOX_VERSION_TEXT "\(.*\)"$/\1/p' "$root/ui/version.h")
[ -n "$version" ] || { echo "release: no version in ui/version.h" >&2; exit 1; }
if [ -n "$(git -C "$root" status --porcelain 2>/dev/null)" ]; then
  echo "release: the tree has uncommitted changes; the exes will not match its commit" >&2
fi

"$root/tools/build-program.sh" "$root" "$root/build/release"
dist="$root/dist"
rm -rf "$dist"; mkdir -p "$dist"
cp "$root/build/release/windows/ui/felnox1decrypt.exe" "$dist/felnox1decrypt-$version-x64.exe"
cp "$root/build/release/windows-x86/ui/felnox1decrypt.exe" "$dist/felnox1decrypt-$version-x86.exe"
(cd "$dist" && sha256sum felnox1decrypt-*.exe >SHA256SUMS)
{ printf '\357\273\277'; sed -e "s/{VERSION}/$version/g" -e 's/$/\r/' "$root/docs/user-guide.txt"; } >"$dist/README.txt"
sed -e 's/$/\r/' "$root/LICENSE" >"$dist/LICENSE.txt"

cd "$dist"
ls -l --time-style=+ felnox1decrypt-*.exe | awk '{print $5, $NF}'
cat SHA256SUMS
