#!/usr/bin/env bash
# Builds only the program, 64-bit and 32-bit, as it is released: from the
# tree at SOURCE into OUTPUT/windows/ui and OUTPUT/windows-x86/ui.
#
#   tools/build-program.sh SOURCE OUTPUT
#
# SOURCE_DATE_EPOCH, when set, fixes the time stamps; else the time of the
# commit at SOURCE (CMakeLists.txt).
set -euo pipefail
source=$(cd "$1" && pwd)
output=$(mkdir -p "$2" && cd "$2" && pwd)
for build in windows:mingw-w64.cmake windows-x86:mingw-w64-i686.cmake; do
  cmake -S "$source" -B "$output/${build%%:*}" -DCMAKE_TOOLCHAIN_FILE="$source/tools/${build#*:}" \
        -DCMAKE_BUILD_TYPE=Release -DFELNOX_WERROR=ON -DFELNOX_TESTS=OFF >/dev/null
  cmake --build "$output/${build%%:*}" -j"$(nproc)" --target felnox1decrypt >/dev/null
done
