#!/usr/bin/env bash
# Builds felnox1decrypt.exe for Windows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/build.sh"
echo "built: $root/build/windows (the window comes with the program's entry point)"
