# Sourced by the scripts that run Windows programs: a throw-away Wine prefix
# for this build tree, never the user's ~/.wine, under a UTF-8 locale so that
# non-ASCII file names survive.
export WINEPREFIX="${FELNOX_WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer prompts
export LC_ALL="${LC_ALL:-C.UTF-8}"
case "$LC_ALL" in *.UTF-8|*.utf8) ;; *) export LC_ALL=C.UTF-8 ;; esac

# Debian's `wine` starts the 32-bit loader whenever wine32 is installed (it
# hands 64-bit programs on to wine64). A kernel that runs no 32-bit code
# (IA-32 emulation off, as under some hypervisors) refuses that loader, so
# there `wine` and the tools built on it (wineboot, winepath) go to wine64
# directly, and FELNOX_WINE32 stays 0: the 32-bit exe cannot be run here.
export FELNOX_WINE32=0
if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  FELNOX_WINE32=1
elif [ -x /usr/lib/wine/wine ]; then
  wine64_only="$root/build/wine64-only"
  mkdir -p "$wine64_only"
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$wine64_only/$name"
    chmod +x "$wine64_only/$name"
  done
  export PATH="$wine64_only:$PATH" WINELOADER=/usr/lib/wine/wine64
fi

# Starts a fresh prefix and keeps its wineserver alive until wine_stop.
# The services that the first Wine process starts inherit its standard
# handles; starting them here, on /dev/null, keeps CTest from waiting for
# pipes that never close.
wine_start() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineserver -p
  wineboot --init </dev/null >/dev/null 2>&1
  wine_bare_display
}

# Without a window manager Wine would wait for one each time a window is
# hidden, and nobody would draw the title bars that screenshots show.
wine_bare_display() {
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f </dev/null >/dev/null 2>&1
}

wine_stop() {
  wineserver -k 2>/dev/null || true
}

# Starts Xvfb on a free display unless one is set already.
display_start() {
  [ -n "${DISPLAY:-}" ] && return 0
  local n
  for n in $(seq 90 130); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    sleep 1
    kill -0 "$xvfb_pid" 2>/dev/null && return 0
  done
  echo "cannot start Xvfb" >&2
  return 1
}

display_stop() {
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}
