#!/usr/bin/env bash
# Runs the detection query benchmark at 10,000 and 100,000 report entries and prints the
# ratio of the time per entry (1.0 is perfectly linear).
# Usage: tests/win/hostsdk/run-bench.sh <cross build folder: build/cross or build/cross-x64>
set -euo pipefail
build=$(realpath "${1:?cross build folder}")
cmake --build "$build" --target hostsdk_bench >/dev/null
# The tree's Wine, as its configure step wrote it down.
field() { sed -n "s/.*\"$1\": \"\([^\"]*\)\".*/\1/p" "$build/testbed.json"; }
loader=$(field loader)
export WINEPREFIX="$build/wineprefix" WINEARCH=$(field winearch) WINEDEBUG=-all
[ "$(field arch)" = x64 ] && export WINELOADER="$loader"
bench="$build/tests/win/hostsdk/hostsdk_bench.exe"
small=$("$loader" "$bench" 10000 | tr -d '\r')
large=$("$loader" "$bench" 100000 | tr -d '\r')
echo "$small"
echo "$large"
per_entry() { sed -n 's/.*microseconds_per_entry=\([0-9.]*\).*/\1/p' <<<"$1"; }
awk -v a="$(per_entry "$small")" -v b="$(per_entry "$large")" \
  'BEGIN { printf "time per entry at 100,000 / at 10,000 = %.2f\n", b / a }'
