#!/usr/bin/env bash
# Measures how close the scan and the decryption come to what the file
# system must do anyway, each figure as a ratio against its floor in one run
# (see docs/performance.md). Installs what is missing, builds, runs the
# benchmark under Wine and Xvfb in a prefix of its own, prints the table and
# writes it into docs/performance.md.
#
#   tools/bench.sh [--reps N] [--memory-reps N] [--only 123456] [--quick] [--work 'X:\folder']
#
# Takes about 40 minutes on two shared cores and some 4 GB of disk for a
# while (figure 6 adds a million empty files). --quick runs small trees in a few minutes, --only some figures,
# --work puts the trees elsewhere than drive C: (on a tmpfs, for example, as
# Z:\dev\shm\felnox-bench); none of these touches docs/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
export FELNOX_WINEPREFIX="$root/build/bench-prefix"
. "$root/tools/wine-env.sh"
with_xvfb "$0" "$@"
"$root/tools/build.sh" >/dev/null
build="$root/build/windows"

work_unix="$WINEPREFIX/drive_c/felnox-bench"
trap 'rm -rf "$work_unix"; wine_stop' EXIT
# No test: Z: keeps the machine's root, for --work on a tmpfs.
wine_start "z:/"

# Only a whole run goes into docs/performance.md.
partial=
for arg in "$@"; do case "$arg" in --quick|--only|--work) partial=1 ;; esac; done
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
table="$root/build/bench-table.md"
rm -f "$table"
wine "$build/bench/felnox_bench.exe" --work 'C:\felnox-bench' \
     --program "$(winepath -w "$build/ui/felnox1decrypt.exe")" \
     --markdown "$(winepath -w "$table")" "$@"

[ -n "$partial" ] && exit 0
python3 "$root/tools/bench-doc.py" "$table" "$root/docs/performance.md" "tools/bench.sh $*" \
        "$load_before" "$WINEPREFIX/drive_c"
echo "docs/performance.md updated"
