#!/usr/bin/env bash
# Creates (once) the 32-bit Wine prefix the tests run in, reporting Windows 10, and keeps
# a wineserver running for it so that each test program starts in tens of milliseconds.
# Usage: wine-prefix.sh PREFIX [stop]
set -euo pipefail
prefix=$(realpath -m "$1")
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ "${2:-}" = stop ]; then
  wineserver -k >/dev/null 2>&1 || true
  exit 0
fi

if [ ! -f "$prefix/.zentrak-ready" ]; then
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  wineboot -i </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine' /v Version /d win10 /f </dev/null >/dev/null 2>&1
  wineserver -w
  touch "$prefix/.zentrak-ready"
fi
# Never let the server inherit a caller's pipes: a reader would wait for ever.
wineserver -p </dev/null >/dev/null 2>&1 || true  # fails when one already runs
# The first program of a server session starts Wine's own background processes; start
# them here, detached from the caller's pipes, or CTest waits for them to close.
wine reg query 'HKCU\Software\Wine' /v Version </dev/null >/dev/null 2>&1
