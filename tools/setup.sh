#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; quiet when all
# are present. The required packages build the program and run the 64-bit
# suite; a failure there stops with the package named. The optional part,
# 32-bit Wine for the 32-bit exe's run-time tests, is tried only where the
# kernel runs 32-bit x86 code; when it cannot be had, one line says why and
# the set-up goes on (tools/test-x86.sh then reports those tests skipped).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# The fonts are all those a Wine installed with its recommended packages
# has, and the pictures in docs/ are drawn with them: Wine draws "MS Shell
# Dlg" with Liberation Sans, the count box's close button with Wine's
# Marlett, and the layout test measures with Wine's Tahoma. fonts-wine and
# fonts-liberation come only as Wine's recommendations; fonts-dejavu-core
# comes with fontconfig, unless fonts-liberation stands in for it. Without
# them (apt's --no-install-recommends) the window is drawn in another font,
# 540 pixels wide instead of 464, and every picture differs.
required=(
  cmake make git g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine wine64 xvfb xauth googletest locales python3
  fonts-wine fonts-liberation fonts-dejavu-core
  clang libclang-rt-14-dev llvm-14 clang-tidy-14
)
optional=(wine32:i386)

export DEBIAN_FRONTEND=noninteractive
# A download that fails on a busy mirror is tried again before apt gives up.
apt_options=(-o Acquire::Retries=3 -qq)
updated=0
log=$(mktemp "${TMPDIR:-/tmp}/felnox-setup.XXXXXX")
trap 'rm -f "$log"' EXIT

missing_of() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

# A broken index (of the i386 packages, say, while a mirror syncs) makes
# apt-get update fail as a whole, though it keeps every index it did get:
# whether the install then works is for apt-get install to say.
index_error=
update_index() {
  [ "$updated" = 1 ] && return 0
  updated=1
  index_error=
  if ! apt-get "${apt_options[@]}" update >"$log" 2>&1; then
    index_error=$(first_error "apt-get update failed")
    echo "setup: the package index did not update in full (going on): $index_error"
  fi
}

# The first error apt wrote into the log, else FALLBACK.
first_error() {
  grep -m1 '^E:' "$log" || echo "$1"
}

# The kernel runs 32-bit x86 code when it executes this 93-byte static i386
# program, which only calls exit(0); it needs no i386 package to try. It is
# written into build/, where the build runs its own native programs, since
# a temporary folder may be mounted noexec. FELNOX_SETUP_IA32=yes or no
# stands in for the answer (tools/check-setup.sh takes both paths).
kernel_runs_x86() {
  case "${FELNOX_SETUP_IA32:-}" in yes) return 0 ;; no) return 1 ;; esac
  local probe
  mkdir -p "$root/build"
  probe=$(mktemp "$root/build/ia32-probe.XXXXXX")
  printf '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08\x34\0\0\0\0\0\0\0\0\0\0\0\x34\0\x20\0\x01\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08\x5d\0\0\0\x5d\0\0\0\x05\0\0\0\0\x10\0\0\xb8\x01\0\0\0\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  local status=0
  "$probe" 2>/dev/null || status=1
  rm -f "$probe"
  return $status
}

# wine64 recommends wine32, which apt takes from the i386 architecture (a
# gigabyte) wherever that has been added, even on a kernel that cannot run
# it: whether to install it is for the optional part to decide.
held_back() {
  dpkg --print-foreign-architectures | grep -qx i386 || return 0
  [ -n "$(missing_of wine32:i386)" ] || return 0
  apt-cache show wine32:i386 >/dev/null 2>&1 || return 0
  echo wine32:i386-
}

mapfile -t missing < <(missing_of "${required[@]}")
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  update_index
  mapfile -t hold < <(held_back)
  if ! apt-get "${apt_options[@]}" install -y "${missing[@]}" ${hold[@]+"${hold[@]}"} >"$log" 2>&1; then
    cat "$log" >&2
    echo "setup: required packages could not be installed: $(missing_of "${missing[@]}" | tr '\n' ' ')($(first_error "apt-get install failed"))" >&2
    exit 1
  fi
fi

# Why 32-bit Wine is not here, for the test runs to report (tools/wine-env.sh).
wine32_missing="$root/build/wine32-missing.txt"

# Says in one line why 32-bit Wine is not installed, and keeps the reason.
not_installed() {
  echo "setup: 32-bit Wine not installed: $1"
  mkdir -p "$root/build"
  echo "$1" >"$wine32_missing"
}

# Installs 32-bit Wine (the MISSING packages) or says why not; never fails.
install_optional() {
  local added=0 reason
  if ! kernel_runs_x86; then
    not_installed "this machine's kernel runs no 32-bit x86 code"
    return 0
  fi
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    if ! dpkg --add-architecture i386 >"$log" 2>&1; then
      not_installed "dpkg did not add the i386 architecture: $(head -n1 "$log")"
      return 0
    fi
    added=1
    updated=0
  fi
  update_index
  if apt-get "${apt_options[@]}" install -y "$@" >"$log" 2>&1; then
    echo "setup: installed 32-bit Wine ($*)"
    rm -f "$wine32_missing"
    return 0
  fi
  reason=$(first_error "apt-get install failed")
  # What apt says of the install ("held broken packages") means little
  # without the index that failed before it.
  [ -n "$index_error" ] && reason="$reason; before it: $index_error"
  not_installed "$reason"
  # An architecture that brought nothing would only slow every later update.
  [ "$added" = 0 ] || dpkg --remove-architecture i386 >/dev/null 2>&1 || true
}

mapfile -t missing < <(missing_of "${optional[@]}")
if [ ${#missing[@]} -eq 0 ]; then
  rm -f "$wine32_missing"
else
  install_optional "${missing[@]}"
fi

# Wine garbles non-ASCII file names unless it runs under a UTF-8 locale;
# the interface language is tested under Russian, and under Ukrainian and
# Belarusian, which must stay English.
for name in ru_RU uk_UA be_BY; do
  if ! locale -a 2>/dev/null | grep -qi "^$name\.utf-\?8$"; then
    localedef -i "$name" -f UTF-8 "$name.UTF-8"
  fi
done
