#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; quiet when all are present.
set -euo pipefail

packages=(
  cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth googletest locales python3
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Wine garbles non-ASCII file names unless it runs under a UTF-8 locale;
# the Russian user interface is tested under ru_RU.UTF-8.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
