#!/usr/bin/env bash
# Runs tools/setup.sh against stand-ins for apt-get, dpkg, dpkg-query and
# locale, first on the PATH, whose package database is a folder of files:
# nothing is downloaded or installed. Each case starts from a machine state
# (packages installed, foreign architectures, whether the kernel runs 32-bit
# code, a broken i386 index, a required package that cannot be had) and
# checks the exit status, the line that says what happened and the state
# the run leaves. Prints each failure and exits 1 if there was one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/felnox-check-setup.XXXXXX")
trap 'rm -rf "$work"' EXIT
fake="$work/bin"
mkdir "$fake"
# A tree of its own, so that what set-up keeps in build/ stays out of ours.
mkdir -p "$work/tree/tools"
cp "$root/tools/setup.sh" "$work/tree/tools/"

# The required packages, as setup.sh lists them.
eval "$(sed -n '/^required=(/,/)/p' "$root/tools/setup.sh")"

# The database: $FAKE/installed (one package a line), $FAKE/arches (foreign
# architectures), $FAKE/calls (each apt-get command line). FAKE_BROKEN_I386=1
# makes the i386 index fail to download, as on a mirror in mid-sync, and an
# install of i386 packages then fail; FAKE_UNAVAILABLE names a package that
# no index has. As apt does, an install of wine64 brings its recommended
# wine32:i386 wherever the i386 architecture is added, unless held back.
cat >"$fake/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "$*" >>"$FAKE/calls"
args=() held=
while [ $# -gt 0 ]; do
  case "$1" in -o) shift ;; -*) ;; *-) held+=" ${1%-}" ;; *) args+=("$1") ;; esac
  shift
done
case "${args[0]}" in
update)
  if [ "${FAKE_BROKEN_I386:-0}" = 1 ] && grep -qx i386 "$FAKE/arches"; then
    echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (72528 != 72124). Mirror sync in progress? [IP: 151.101.2.132 80]"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100
  fi ;;
install)
  for p in "${args[@]:1}"; do
    if [ "$p" = "${FAKE_UNAVAILABLE:-}" ]; then
      echo "E: Unable to locate package $p"; exit 100
    fi
    case "$p" in *:i386)
      if ! grep -qx i386 "$FAKE/arches"; then echo "E: Unable to locate package $p"; exit 100; fi
      if [ "${FAKE_BROKEN_I386:-0}" = 1 ]; then
        echo "E: Unable to correct problems, you have held broken packages."; exit 100
      fi ;;
    esac
  done
  printf '%s\n' "${args[@]:1}" >>"$FAKE/installed"
  if [[ " ${args[*]} " = *" wine64 "* && " $held " != *" wine32:i386 "* ]] && grep -qx i386 "$FAKE/arches"; then
    echo wine32:i386 >>"$FAKE/installed"
  fi ;;
*) echo "E: unexpected apt-get ${args[*]}"; exit 100 ;;
esac
EOF
cat >"$fake/apt-cache" <<'EOF'
#!/usr/bin/env bash
[[ "$*" = *:i386* ]] && grep -qx i386 "$FAKE/arches"
EOF
cat >"$fake/dpkg-query" <<'EOF'
#!/usr/bin/env bash
package=${!#}
grep -qx -- "$package" "$FAKE/installed" || { echo "dpkg-query: no packages found matching $package" >&2; exit 1; }
echo "install ok installed"
EOF
cat >"$fake/dpkg" <<'EOF'
#!/usr/bin/env bash
case "$1" in
--print-foreign-architectures) cat "$FAKE/arches" ;;
--add-architecture) echo "$2" >>"$FAKE/arches" ;;
--remove-architecture) grep -vx "$2" "$FAKE/arches" >"$FAKE/arches.new" || true; mv "$FAKE/arches.new" "$FAKE/arches" ;;
*) echo "dpkg: unexpected $*" >&2; exit 2 ;;
esac
EOF
printf '#!/bin/sh\nprintf "%%s\\n" C.utf8 be_BY.utf8 ru_RU.utf8 uk_UA.utf8\n' >"$fake/locale"
chmod +x "$fake"/*

failures=0
fail() {
  echo "FAILED $case: $*"
  echo "  output: $(tr '\n' '|' <"$state/out")"
  failures=$((failures + 1))
}

# name | kernel runs x86 | foreign architectures | installed before (-:
# nothing; all: everything; wine alone: the required packages but the fonts,
# as apt's --no-install-recommends leaves Wine) |
# broken i386 index | unavailable package | exit status | a line of the output
# (a grep pattern; empty: no output at all) | wine32:i386 installed after |
# foreign architectures after
cases=(
  "old machine, broken i386 index|yes|i386|-|1|-|0|^setup: 32-bit Wine not installed: E: Unable to correct problems.*; before it: E: Failed to fetch .*binary-i386.*File has unexpected size|no|i386"
  "fresh machine, broken i386 index|yes|-|-|1|-|0|^setup: 32-bit Wine not installed: E: .*binary-i386.*File has unexpected size|no|-"
  "fresh machine, no IA-32|no|-|-|1|-|0|^setup: 32-bit Wine not installed: this machine's kernel runs no 32-bit x86 code$|no|-"
  "old machine, no IA-32, broken i386 index|no|i386|-|1|-|0|^setup: 32-bit Wine not installed: this machine's kernel runs no 32-bit x86 code$|no|i386"
  "fresh machine, good day|yes|-|-|0|-|0|^setup: installed 32-bit Wine (wine32:i386)$|yes|i386"
  "everything installed|yes|i386|all|1|-|0||yes|i386"
  "Wine without its recommended packages|yes|i386|wine alone|0|-|0|^setup: installing fonts-wine fonts-liberation fonts-dejavu-core$|yes|i386"
  "a required package missing|yes|i386|-|1|clang-tidy-14|1|^setup: required packages could not be installed: .*clang-tidy-14 .*E: Unable to locate package clang-tidy-14|no|i386"
)
for row in "${cases[@]}"; do
  IFS='|' read -r case ia32 arches before broken unavailable status pattern wine32 arches_after <<<"$row"
  state="$work/state"
  rm -rf "$state"; mkdir "$state"
  : >"$state/installed"; : >"$state/calls"
  [ "$arches" = - ] && : >"$state/arches" || echo "$arches" >"$state/arches"
  if [ "$before" = all ]; then printf '%s\n' "${required[@]}" wine32:i386 >"$state/installed"; fi
  # What the pictures in docs/ are drawn with comes only as Wine's recommendations.
  if [ "$before" = "wine alone" ]; then
    printf '%s\n' "${required[@]}" wine32:i386 | grep -vx 'fonts-.*' >"$state/installed"
  fi
  [ "$unavailable" = - ] && unavailable=

  got=0
  FAKE="$state" FAKE_BROKEN_I386="$broken" FAKE_UNAVAILABLE="$unavailable" FELNOX_SETUP_IA32="$ia32" \
    PATH="$fake:$PATH" "$work/tree/tools/setup.sh" >"$state/out" 2>&1 || got=$?

  [ "$got" = "$status" ] || fail "exit status $got, not $status"
  if [ -z "$pattern" ]; then
    [ ! -s "$state/out" ] || fail "output where all is present"
    [ ! -s "$state/calls" ] || fail "apt-get ran where all is present"
  else
    grep -q -- "$pattern" "$state/out" || fail "no line matching: $pattern"
  fi
  # Every apt-get call retries failed downloads.
  if grep -v -- '-o Acquire::Retries=3' "$state/calls" | grep -q .; then fail "apt-get called without Acquire::Retries"; fi
  if [ "$ia32" = no ] && grep -qE ':i386( |$)' "$state/calls"; then fail "tried i386 packages on a kernel without IA-32"; fi
  if [ "$status" = 0 ]; then
    left=$(printf '%s\n' "${required[@]}" | grep -vxFf "$state/installed" | tr '\n' ' ') || true
    [ -z "$left" ] || fail "required packages not installed: $left"
  fi
  # The reason is kept for the test runs to report, and only while it holds.
  missing_file="$work/tree/build/wine32-missing.txt"
  if [ "$status" = 0 ] && [ "$wine32" = no ]; then
    grep -qxF "setup: 32-bit Wine not installed: $(cat "$missing_file" 2>/dev/null)" "$state/out" ||
      fail "the reason kept in build/ is not the one reported"
  elif [ "$wine32" = yes ] && [ -e "$missing_file" ]; then
    fail "a reason kept in build/ though wine32:i386 is installed"
  fi
  has_wine32=no
  if grep -qx 'wine32:i386' "$state/installed"; then has_wine32=yes; fi
  [ "$has_wine32" = "$wine32" ] || fail "wine32:i386 installed: $has_wine32, not $wine32"
  [ "$arches_after" = - ] && arches_after=
  [ "$(cat "$state/arches")" = "$arches_after" ] ||
    fail "foreign architectures after: '$(cat "$state/arches")', not '$arches_after'"
done

echo "check-setup: ${#cases[@]} cases, $failures failed"
[ "$failures" = 0 ]
