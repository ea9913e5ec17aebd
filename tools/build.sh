#!/usr/bin/env bash
# Configures and builds the Windows program and its tests with the settings
# of CMakePresets.json: 64-bit into build/windows ("windows"), and into
# build/windows-x86 the 32-bit program with the tests that tools/test.sh
# runs 32-bit ("windows-x86").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ -n "${FELNOX_SETUP_DONE:-}" ] || "$root/tools/setup.sh"
cd "$root"
for preset in windows windows-x86; do
  cmake --preset "$preset" "$@" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
done
