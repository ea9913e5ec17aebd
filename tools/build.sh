#!/usr/bin/env bash
# Configures and builds the Windows program and its tests, 64-bit into
# build/windows and 32-bit x86 into build/windows-x86, from the same sources.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
build() { # FOLDER TOOLCHAIN CMAKE-ARGUMENTS... [--target TARGETS...]
  local folder=$1 toolchain=$2 configure=() targets=()
  shift 2
  while [ $# -gt 0 ] && [ "$1" != --target ]; do configure+=("$1"); shift; done
  [ $# -eq 0 ] || targets=("$@")
  cmake -S "$root" -B "$root/build/$folder" -DCMAKE_TOOLCHAIN_FILE="$root/tools/$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DFELNOX_WERROR=ON "${configure[@]}" >/dev/null
  cmake --build "$root/build/$folder" -j"$(nproc)" "${targets[@]}"
}
build windows mingw-w64.cmake "$@"
# The 32-bit build: the program and the tests that tools/test.sh runs 32-bit.
build windows-x86 mingw-w64-i686.cmake "$@" --target felnox1decrypt core_tests program_tests
