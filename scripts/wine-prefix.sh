#!/usr/bin/env bash
# Creates (once) the 32-bit Wine prefix the tests run in, reporting Windows 10, and keeps
# a wineserver running for it so that each test program starts in tens of milliseconds.
# Beside it, PREFIX.pristine keeps the prefix as it was created, before any test ran.
# Usage: wine-prefix.sh PREFIX [stop]
#        wine-prefix.sh PREFIX --copy-of BASE
# The second form makes PREFIX a new copy of BASE.pristine (creating BASE first if need
# be) with a server of its own: one scenario file's prefix, whatever ran in it before.
set -euo pipefail
prefix=$(realpath -m "$1")

# Wine's tools by their paths: given a bare name, wine first starts start.exe to find them.
reg_exe='C:\windows\system32\reg.exe'

wine_env() {
  export WINEPREFIX="$1" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
}

if [ "${2:-}" = stop ]; then
  wine_env "$prefix"
  wineserver -k >/dev/null 2>&1 || true
  exit 0
fi

if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "wine-prefix: Wine's 32-bit loader does not start: this kernel runs no i386 programs," >&2
  echo "wine-prefix: so no Windows-side test can run on this machine" >&2
  echo "wine-prefix: (the bootstrap runs them under qemu-i386 unless ZENTRAK_I386_EMULATION=off)" >&2
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
  (wine_env "$1"; wineserver -k >/dev/null 2>&1 || true; wineserver -w >/dev/null 2>&1 || true)
}

# Ready means made, with its pristine copy. A prefix without one (a build folder from
# before they were kept) is made again: tests have changed the prefix itself since.
ready() {  # PREFIX
  [ -f "$1/.zentrak-ready" ] && [ -f "$1.pristine/.zentrak-ready" ]
}

create_prefix() {  # PREFIX, with its pristine copy
  stop_server "$1"
  rm -rf "$1" "$1.pristine"
  mkdir -p "$(dirname "$1")"
  (
    wine_env "$1"
    wineboot -i </dev/null >/dev/null 2>&1
    wine "$reg_exe" add 'HKCU\Software\Wine' /v Version /d win10 /f </dev/null >/dev/null 2>&1
    wineserver -w
  )
  touch "$1/.zentrak-ready"
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
wineserver -p </dev/null >/dev/null 2>&1 || true  # fails when one already runs
# The first program of a server session starts Wine's own background processes; start
# them here, detached from the caller's pipes, or CTest waits for them to close.
wine "$reg_exe" query 'HKCU\Software\Wine' /v Version </dev/null >/dev/null 2>&1
