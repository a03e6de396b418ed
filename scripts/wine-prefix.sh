#!/usr/bin/env bash
# Creates (once) the Wine prefix the tests of one build run in, reporting Windows 10, and
# keeps a wineserver running for it so that each test program starts in tens of
# milliseconds. Beside it, PREFIX.pristine keeps the prefix as it was created, before any
# test ran.
# Usage: wine-prefix.sh --arch ARCH PREFIX [stop]
#        wine-prefix.sh --arch ARCH PREFIX --copy-of BASE
# ARCH is the build's Windows architecture: x86 (a 32-bit prefix, the product) or x64 (a
# 64-bit prefix, the x86-64 test build). The second form makes PREFIX a new copy of
# BASE.pristine (creating BASE first if need be) with a server of its own: one scenario
# file's prefix, whatever ran in it before.
set -euo pipefail
if [ "${1:-}" != --arch ] || [ $# -lt 3 ]; then
  echo "usage: wine-prefix.sh --arch x86|x64 PREFIX [stop | --copy-of BASE]" >&2
  exit 2
fi
arch=$2
shift 2
prefix=$(realpath -m "$1")

# Wine's tools by their paths: given a bare name, wine first starts start.exe to find them.
reg_exe='C:\windows\system32\reg.exe'

case "$arch" in
  x86)
    winearch=win32
    wine=(wine)
    wineserver=wineserver
    ;;
  x64)
    # The 64-bit loader itself: Debian's wrapper (and wineboot, which calls it) starts the
    # i386 loader first whenever wine32 is installed, and some kernels cannot run it.
    # WINELOADER makes Wine start its own children with the same loader.
    winearch=win64
    wine=(/usr/lib/wine/wine64)
    wineserver=/usr/lib/wine/wineserver
    export WINELOADER=/usr/lib/wine/wine64
    ;;
  *)
    echo "wine-prefix: unknown architecture '$arch' (x86 or x64)" >&2
    exit 2
    ;;
esac

wine_env() {
  export WINEPREFIX="$1" WINEARCH=$winearch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
}

if [ "${2:-}" = stop ]; then
  wine_env "$prefix"
  "$wineserver" -k >/dev/null 2>&1 || true
  exit 0
fi

if ! "${wine[@]}" --version >/dev/null 2>&1; then
  if [ "$arch" = x86 ]; then
    echo "wine-prefix: Wine's 32-bit loader does not start: this kernel runs no i386 programs" >&2
    echo "wine-prefix: (the x86-64 test build runs the Windows-side suite there: WINDOWS_ARCH=x64)" >&2
  else
    echo "wine-prefix: Wine's 64-bit loader ${wine[0]} does not start (is wine64 installed?)" >&2
  fi
  exit 1
fi

# A copy of a prefix must not keep the original's "wineserver" file: it names the server
# directory, so the copy's programs would talk to the original's server.
copy_prefix() {  # FROM TO
  rm -rf "$2" "$2.tmp"
  mkdir -p "$(dirname "$2")"
  cp -a "$1" "$2.tmp"
  rm -f "$2.tmp/wineserver"
  mv "$2.tmp" "$2"
}

stop_server() {  # PREFIX
  (wine_env "$1"; "$wineserver" -k >/dev/null 2>&1 || true; "$wineserver" -w >/dev/null 2>&1 || true)
}

# Ready means made for this architecture, with its pristine copy. A prefix without one
# (a build folder from before they were kept) is made again: tests have changed the
# prefix itself since.
ready() {  # PREFIX
  [ "$(cat "$1/.zentrak-ready" 2>/dev/null)" = "$arch" ] &&
    [ "$(cat "$1.pristine/.zentrak-ready" 2>/dev/null)" = "$arch" ]
}

create_prefix() {  # PREFIX, with its pristine copy
  stop_server "$1"
  rm -rf "$1" "$1.pristine"
  mkdir -p "$(dirname "$1")"
  (
    wine_env "$1"
    # A 64-bit prefix without wine32 reports "failed to open ...\syswow64\rundll32.exe"
    # here: its 32-bit half is not needed.
    "${wine[@]}" wineboot -i </dev/null >/dev/null 2>&1
    "${wine[@]}" "$reg_exe" add 'HKCU\Software\Wine' /v Version /d win10 /f </dev/null >/dev/null 2>&1
    "$wineserver" -w
  )
  echo "$arch" >"$1/.zentrak-ready"
  copy_prefix "$1" "$1.pristine"
}

if [ "${2:-}" = --copy-of ]; then
  base=$(realpath -m "$3")
  # Scenario files start side by side: one of them creates the base.
  exec 9>"$base.lock"
  flock 9
  ready "$base" || create_prefix "$base"
  flock -u 9
  stop_server "$prefix"
  copy_prefix "$base.pristine" "$prefix"
else
  ready "$prefix" || create_prefix "$prefix"
fi

wine_env "$prefix"
# Never let the server inherit a caller's pipes: a reader would wait for ever.
"$wineserver" -p </dev/null >/dev/null 2>&1 || true  # fails when one already runs
# The first program of a server session starts Wine's own background processes; start
# them here, detached from the caller's pipes, or CTest waits for them to close.
"${wine[@]}" "$reg_exe" query 'HKCU\Software\Wine' /v Version </dev/null >/dev/null 2>&1
