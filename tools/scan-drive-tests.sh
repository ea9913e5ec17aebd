#!/usr/bin/env bash
# Runs the drive tests (scan_drive_tests.exe) in a Wine prefix of their own
# whose drive letters lead only to fixture folders made here, so that no
# scan can reach the machine's files: the prefix is made without the usual
# Z: link to /, and its C: is its own drive_c.
#
#   A: floppy   D: hard disk   E: optical (skipped)   F: network
#   L: symbolic-link loops   P: a tree as deep as Wine can hold (made for
#   the last run of the executable only)
#   R: RAM disk   T: a private tmpfs where mount is allowed (exact used space)
#
# The drive types live in HKLM\Software\Wine\Drives, which Wine's mount
# manager reads when the prefix starts, so the registry file and the
# dosdevices links are written before the prefix's first process.
#
# Usage: scan-drive-tests.sh EXE REPORT PROGRAM
#   REPORT: the GoogleTest XML to write; PROGRAM: felnox1decrypt.exe, which
#   one test starts from C:\ to scan every drive
# FELNOX_DEEP_NAME_LENGTH sets the length of the deep tree's folder names
# (default 4: about 800 levels; 1 gives about 2000 levels and takes minutes).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "$1")
report=$(realpath -m "$2")
program=$(realpath "$3")

work=$(mktemp -d "${TMPDIR:-/tmp}/felnox-drives.XXXXXX")
drives="$work/drives"
export FELNOX_WINEPREFIX="$work/prefix"
. "$root/tools/wine-env.sh"
mounted=
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$mounted" ] && umount "$drives/t" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$WINEPREFIX"
letters=()
for letter in a d e f l p r t; do
  mkdir -p "$drives/$letter"
  letters+=("$letter:$drives/$letter")
done
export FELNOX_PRIVATE_T=0
if mount -t tmpfs -o size=64m felnox-drive-t "$drives/t" 2>/dev/null; then
  mounted=1
  FELNOX_PRIVATE_T=1
fi
wine_drive_types a:floppy e:cdrom f:network r:ramdisk

# L: loops made of symbolic links (Wine 8's CreateSymbolicLinkW makes none):
# to the folder itself, to its parent, to its grandparent, to the drive's root.
mkdir -p "$drives/l/tree/a/b/c" "$drives/l/other"
ln -s . "$drives/l/tree/self"
ln -s .. "$drives/l/tree/a/up"
ln -s ../.. "$drives/l/tree/a/b/c/back"
ln -s .. "$drives/l/other/root"
ln -s no-such-folder "$drives/l/tree/dangling"

# Sealed: no Z:, the user folders in an empty home under $work.
wine_prefix_make "$work" "${letters[@]}"
cp "$exe" "$program" "$WINEPREFIX/drive_c/"
mkdir -p "$(dirname "$report")"
status=0
# run FILTER REPORT: the tests that FILTER selects, their report into REPORT.
run() {
  (cd "$WINEPREFIX/drive_c" &&
   wine "C:\\$(basename "$exe")" --gtest_filter="$1" --gtest_output="xml:C:\\report.xml") || status=1
  mv "$WINEPREFIX/drive_c/report.xml" "$2" 2>/dev/null || status=1
}
run '-*DeepestTree*' "$report"

# P: a chain of folders until its path, as Wine builds it from the prefix's
# dosdevices link, passes the 4096 bytes Linux allows (Wine reaches all but
# the last few levels). Walking it takes seconds, so it is made only for
# the one test that needs it, after the others (among them the scan of
# every drive) have run.
python3 - "$drives/p" "$WINEPREFIX/dosdevices/p:" "${FELNOX_DEEP_NAME_LENGTH:-4}" <<'PY'
import os, sys
folder, seen_as, length = sys.argv[1], sys.argv[2], int(sys.argv[3])
name = "d" * length
os.chdir(folder)
path = len(seen_as)
while path < 4096 + 2 * (length + 1):
    os.mkdir(name)
    os.chdir(name)
    path += length + 1
PY
run '*DeepestTree*' "${report%.xml}-deep.xml"
exit $status
