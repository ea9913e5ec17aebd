#!/usr/bin/env bash
# Configures and builds the Windows program and its tests into build/windows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
cmake -S "$root" -B "$root/build/windows" -DCMAKE_TOOLCHAIN_FILE="$root/tools/mingw-w64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DFELNOX_WERROR=ON "$@" >/dev/null
cmake --build "$root/build/windows" -j"$(nproc)"
