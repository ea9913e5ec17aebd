#!/usr/bin/env bash
# Runs the reliability tests (reliability_tests.exe) in a Wine prefix of
# their own, made for them:
#   - its wineserver, which opens every file for the Windows programs, runs
#     without the capabilities that let root override file permissions, so
#     that a folder's mode refuses access as it refuses a user (the tests
#     make folders that cannot be listed or added to);
#   - where the script may mount: a file system of 4 MiB to fill up
#     (FELNOX_SMALL_DISK), and a read-only view (FELNOX_READ_ONLY_DISK) of a
#     folder that stays writable under another path (FELNOX_READ_ONLY_SOURCE);
#   - a floppy (R:, FELNOX_REMOVABLE_DISK) and a network drive (N:,
#     FELNOX_NETWORK_DISK), each linked to a folder: Wine's mount manager
#     reads their types from HKLM\Software\Wine\Drives when the prefix
#     starts, so the registry file is written before its first process.
# Tests whose fault cannot be made here skip and say why.
#
# Usage: reliability-tests.sh EXE REPORT   (REPORT: the GoogleTest XML to
# write, relative to the current folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "$1")
report=$2

work="$root/build/reliability"
export FELNOX_WINEPREFIX="$work/prefix"
. "$root/tools/wine-env.sh"
unset FELNOX_SMALL_DISK FELNOX_READ_ONLY_DISK FELNOX_READ_ONLY_SOURCE
export FELNOX_REMOVABLE_DISK='R:' FELNOX_NETWORK_DISK='N:'

no_override=()
if setpriv --bounding-set -dac_override,-dac_read_search true 2>/dev/null; then
  no_override=(setpriv --bounding-set -dac_override,-dac_read_search --)
fi
wine_wrapper=("${no_override[@]}")

cleanup() {
  wineserver -k 2>/dev/null || true
  umount "$work/read-only" 2>/dev/null || true
  umount "$work/small-disk" 2>/dev/null || true
  rm -rf --one-file-system "$work"
}
cleanup # what a run that was killed may have left
trap cleanup EXIT
trap 'exit 130' INT TERM
mkdir -p "$WINEPREFIX" "$work/small-disk" "$work/read-only" "$work/writable" "$work/removable" \
         "$work/network"
wine_drive_types n:network r:floppy

# Sealed like every test prefix; Z: leads to build/, where the tests and
# this prefix's fixtures are.
wine_prefix_make "$root/build" "z:$root/build" "n:$work/network" "r:$work/removable"

if mount -t tmpfs -o size=4m felnox-reliability "$work/small-disk" 2>/dev/null; then
  export FELNOX_SMALL_DISK; FELNOX_SMALL_DISK=$(winepath -w "$work/small-disk")
fi
if mount --bind "$work/writable" "$work/read-only" 2>/dev/null &&
   mount -o remount,bind,ro "$work/read-only" 2>/dev/null; then
  export FELNOX_READ_ONLY_DISK FELNOX_READ_ONLY_SOURCE
  FELNOX_READ_ONLY_DISK=$(winepath -w "$work/read-only")
  FELNOX_READ_ONLY_SOURCE=$(winepath -w "$work/writable")
fi

"${no_override[@]}" wine "$exe" --gtest_output="xml:$report"
