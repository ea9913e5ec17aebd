#!/usr/bin/env bash
# Static checks: clang-tidy (the checks in .clang-tidy) over the program's
# own sources in core/, scan/ and ui/, as the cross build compiles them.
# Prints every finding and fails on any.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/windows"
[ -f "$build/compile_commands.json" ] || "$root/tools/build.sh"

# clang finds the mingw-w64 headers but not its C++ library: take the
# cross compiler's own C++ include folders.
args=(-p "$build" --quiet --extra-arg=--target=x86_64-w64-mingw32 --extra-arg=-nostdinc++)
while read -r dir; do
  args+=("--extra-arg=-isystem$dir")
done < <(x86_64-w64-mingw32-g++-posix -E -x c++ -v /dev/null 2>&1 | sed -n 's|^ \(/.*/include/c++.*\)$|\1|p')

mapfile -t sources < <(cd "$root" && find core scan ui -name '*.cpp' | sort)
log="$build/lint.log"
status=0
(cd "$root" && printf '%s\n' "${sources[@]}" |
   xargs -P 2 -n 4 clang-tidy-14 "${args[@]}") >"$log" 2>&1 || status=$?
grep -E '(warning|error):' "$log" || true
if [ $status -ne 0 ]; then
  echo "static checks: findings in the program's sources (full output: $log)"
  exit 1
fi
echo "static checks: ${#sources[@]} source files, no findings"
