#!/usr/bin/env bash
# Measures what the flush before the rename costs a copy on a removable
# volume: one exFAT file system, on a loop device through FUSE, reached by
# a Wine prefix as E: (typed "hd": no flush) and as U: (typed "floppy":
# flushed). Prints the mean decryption time per file, three rounds each,
# for 64 KiB and 8 MiB files. Needs root (losetup, mount) and Debian's
# exfat-fuse and exfatprogs, which it installs when they are missing.
#
# Usage: flush-cost.sh   (after tools/build.sh; the exe is
# build/windows/bench/felnox_flush_cost.exe)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe="$root/build/windows/bench/felnox_flush_cost.exe"
command -v mount.exfat-fuse >/dev/null && command -v mkfs.exfat >/dev/null ||
  apt-get install -y exfat-fuse exfatprogs >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/felnox-flush.XXXXXX")
export FELNOX_WINEPREFIX="$work/prefix"
. "$root/tools/wine-env.sh"
loop=
cleanup() {
  wineserver -k 2>/dev/null || true
  umount "$work/exfat" 2>/dev/null || true
  [ -n "$loop" ] && losetup -d "$loop" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

truncate -s 512M "$work/exfat.img"
mkfs.exfat "$work/exfat.img" >/dev/null
loop=$(losetup -f --show "$work/exfat.img")
mkdir -p "$work/exfat" "$WINEPREFIX"
mount.exfat-fuse "$loop" "$work/exfat"
mkdir -p "$work/exfat/fixed" "$work/exfat/removable"
wine_drive_types e:hd u:floppy
wine_prefix_make "$work" "e:$work/exfat/fixed" "u:$work/exfat/removable"
cp "$exe" "$WINEPREFIX/drive_c/"
cd "$WINEPREFIX/drive_c"
for size in 65536 8388608; do
  count=$([ "$size" = 65536 ] && echo 300 || echo 30)
  for round in 1 2 3; do
    for drive in E U; do
      wine "C:\\$(basename "$exe")" "\\\\?\\$drive:" "$size" "$count"
    done
  done
done
