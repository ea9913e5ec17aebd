#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; quiet when all are present.
set -euo pipefail

packages=(
  cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine wine64 wine32:i386 xvfb xauth googletest locales python3
  clang libclang-rt-14-dev llvm-14 clang-tidy-14
)

# The 32-bit Wine that runs the 32-bit exe comes from the i386 architecture
# (about 1 GiB installed).
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture"
  dpkg --add-architecture i386
fi

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
# the interface language is tested under Russian, and under Ukrainian and
# Belarusian, which must stay English.
for name in ru_RU uk_UA be_BY; do
  if ! locale -a 2>/dev/null | grep -qi "^$name\.utf-\?8$"; then
    localedef -i "$name" -f UTF-8 "$name.UTF-8"
  fi
done
