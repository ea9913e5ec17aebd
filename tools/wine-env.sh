# Sourced by the scripts that run Windows programs: the Wine settings, the
# display, and the one way a prefix is made. A throw-away Wine prefix for
# this build tree, never the user's ~/.wine, under a UTF-8 locale so that
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
# FELNOX_WINE32_MISSING then says why, with tools/setup.sh's reason where it
# did not install wine32.
export FELNOX_WINE32=0 FELNOX_WINE32_MISSING=
if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  FELNOX_WINE32=1
elif [ ! -x /usr/lib/wine/wine ]; then
  FELNOX_WINE32_MISSING="32-bit Wine not installed: $(cat "$root/build/wine32-missing.txt" 2>/dev/null ||
                                                      echo "wine32:i386 is missing")"
else
  FELNOX_WINE32_MISSING="32-bit Wine cannot start: this machine's kernel runs no 32-bit x86 code"
  wine64_only="$root/build/wine64-only"
  mkdir -p "$wine64_only"
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$wine64_only/$name"
    chmod +x "$wine64_only/$name"
  done
  export PATH="$wine64_only:$PATH" WINELOADER=/usr/lib/wine/wine64
fi

# Runs the calling script again under xvfb-run, on a private X server,
# unless it runs under one already:  with_xvfb "$0" "$@"
with_xvfb() {
  [ -n "${FELNOX_XVFB:-}" ] && return 0
  export FELNOX_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$@"
}

# wine_drive_types x:TYPE...
# Gives drive letters their types ("hd", "floppy", "cdrom", "network",
# "ramdisk"): Wine's mount manager reads them from HKLM\Software\Wine\Drives
# when the prefix starts, so this writes the registry file that
# wine_prefix_make's first process reads. Call it before wine_prefix_make.
wine_drive_types() {
  local mapping
  mkdir -p "$WINEPREFIX"
  {
    printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n'
    printf '[Software\\\\Wine\\\\Drives]\n'
    for mapping in "$@"; do
      printf '"%s:"="%s"\n' "${mapping%%:*}" "${mapping#*:}"
    done
  } > "$WINEPREFIX/system.reg"
}

# wine_prefix_make FIXTURES [x:FOLDER...]
# Makes the prefix $WINEPREFIX (whose folder may already hold files to be
# read by its first process, such as system.reg) sealed: C: is its own
# drive_c, each x:FOLDER gives a drive letter to a fixture folder, there is
# no Z: for the machine's root, and the user folders (Desktop, Documents,
# ...) lead into an empty home under FIXTURES instead of $HOME. Its
# wineserver stays alive until wine_stop. Fails when anything leads outside
# FIXTURES, the prefix and the given folders (tools/check-prefix.sh).
# The services that the first Wine process starts inherit its standard
# handles; starting them here, on /dev/null, keeps CTest from waiting for
# pipes that never close.
wine_prefix_make() {
  local fixtures=$1 mapping folders=()
  shift
  mkdir -p "$WINEPREFIX/dosdevices" "$WINEPREFIX/drive_c" "$fixtures/wine-home"
  ln -sfn ../drive_c "$WINEPREFIX/dosdevices/c:"
  for mapping in "$@"; do
    ln -sfn "${mapping#?:}" "$WINEPREFIX/dosdevices/${mapping%%:*}:"
    folders+=("${mapping#?:}")
  done
  # wine_wrapper: a command to run the wineserver under (the reliability
  # tests take root's capabilities from it). The wineserver reports on its
  # standard error each Unix error it has no Windows code for, such as the
  # names too long for Linux that some tests make.
  local sealed=(env HOME="$fixtures/wine-home" XDG_CONFIG_HOME= ${wine_wrapper[@]+"${wine_wrapper[@]}"})
  ${wine_wrapper[@]+"${wine_wrapper[@]}"} wineserver -p </dev/null >/dev/null 2>&1
  "${sealed[@]}" wineboot --init </dev/null >/dev/null 2>&1
  # Making a prefix boots it twice, and the second boot starts a second
  # service manager beside the first. With two, every process that needs
  # the RPC service (any that opens a window) waits 10 s for it in vain. A
  # new wineserver boots the finished prefix once, with the next process.
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  ${wine_wrapper[@]+"${wine_wrapper[@]}"} wineserver -p </dev/null >/dev/null 2>&1
  # Without a window manager Wine would wait for one each time a window is
  # hidden, and nobody would draw the title bars that screenshots show.
  # (From C:, a current folder that the sealed prefix can see.)
  (cd "$WINEPREFIX/drive_c" &&
   "${sealed[@]}" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 &&
   wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f </dev/null >/dev/null 2>&1)
  "$root/tools/check-prefix.sh" "$WINEPREFIX" "$fixtures" "${folders[@]}" >/dev/null
}

# A fresh prefix for this build tree: Z: leads to build/ alone, where the
# programs, their tests and the scratch file systems are.
wine_start() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  wine_prefix_make "$root/build" "z:$root/build" "$@"
  # Wine's Tahoma, which the introduction is measured with, lies outside
  # the fixtures: a copy of it inside.
  mkdir -p "$root/build/wine-fonts"
  cp /usr/share/wine/fonts/tahoma.ttf "$root/build/wine-fonts/" 2>/dev/null || true
  export FELNOX_TAHOMA
  FELNOX_TAHOMA=$(cd "$WINEPREFIX/drive_c" && winepath -w "$root/build/wine-fonts/tahoma.ttf")
  # Wine draws the caption's close button with Marlett, which it loads from
  # the prefix's Fonts folder only: without it the button shows an "r".
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
}

wine_stop() {
  wineserver -k 2>/dev/null || true
}
