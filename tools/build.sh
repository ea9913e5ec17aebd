#!/usr/bin/env bash
# Configures and builds the Windows program and its tests into build/windows,
# with the settings of the "windows" preset (CMakePresets.json).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
cd "$root"
cmake --preset windows "$@" >/dev/null
cmake --build --preset windows -j"$(nproc)"
