#!/usr/bin/env bash
# Fails when a drive letter or a folder of a Wine prefix leads outside the
# test's fixtures: every drive letter (dosdevices X:) and every symbolic link
# under drive_c (the user folders Desktop, Documents, ... among them) must
# resolve into the prefix's drive_c or one of the FIXTURES folders. A prefix
# that links Z: to / or Desktop to $HOME lets a faulty scan walk, and write
# into, the machine's own files.
#
#   check-prefix.sh PREFIX FIXTURES...
#   check-prefix.sh      the run's prefix: $WINEPREFIX and $FELNOX_FIXTURES
set -euo pipefail
[ $# -gt 0 ] || set -- "$WINEPREFIX" "$FELNOX_FIXTURES"
prefix=$(realpath -m "$1"); shift
allowed=("$prefix/drive_c")
for folder in "$@"; do allowed+=("$(realpath -m "$folder")"); done
[ -d "$prefix/dosdevices" ] || { echo "check-prefix: $prefix has no dosdevices" >&2; exit 1; }

inside() {
  local target=$1 root
  for root in "${allowed[@]}"; do
    case "$target/" in "$root"/*) return 0 ;; esac
  done
  return 1
}
outside=()
links=0
while IFS= read -r -d '' link; do
  links=$((links + 1))
  target=$(realpath -m "$link")
  inside "$target" || outside+=("${link#"$prefix"/} -> $target")
done < <(find "$prefix/dosdevices" -maxdepth 1 -name '?:' -print0
         find "$prefix/drive_c" -type l -print0)
for line in "${outside[@]}"; do echo "check-prefix: leads outside the fixtures: $line" >&2; done
[ ${#outside[@]} -eq 0 ] || exit 1
echo "prefix sealed: $links drives and links, all inside the fixtures"
