#!/usr/bin/env bash
# The Windows-side half of `make test` and `make demo`, on the build this machine can run
# (scripts/windows-arch.sh says which, and why, once).
#   windows-suite.sh test   the Windows-side test programs and every scenario on that
#                           build; on the 32-bit product also the x86-64 build's test
#                           programs and a few whole-job scenarios, so neither path rots
#   windows-suite.sh demo   builds that tree and runs the demo in it
# Both cross trees are already built for `test` (the Makefile builds them).
set -euo pipefail
cd "$(dirname "$0")/.."
CTEST=${CTEST:-ctest}
CMAKE=${CMAKE:-cmake}

arch=$(scripts/windows-arch.sh)
case "$arch" in
  x86) preset=cross ;;
  x64) preset=cross-x64 ;;
esac
prefix() { scripts/wine-prefix.sh --arch "$1" "build/$2/wineprefix"; }

case "${1:-}" in
  test)
    prefix "$arch" "$preset"
    # The product's file checks ran before, without Wine; the x86-64 tree's short
    # selection of scenarios is part of its full run.
    if [ "$arch" = x86 ]; then
      "$CTEST" --preset cross -LE '^product$'
      echo "== the x86-64 build: its Windows-side test programs and a few whole-job scenarios"
      prefix x64 cross-x64
      "$CTEST" --preset cross-x64 -LE '^e2e$'
    else
      "$CTEST" --preset cross-x64 -LE '^e2e-smoke$'
    fi
    ;;
  demo)
    "$CMAKE" --preset "$preset" >/dev/null
    "$CMAKE" --build --preset "$preset"
    prefix "$arch" "$preset"
    /usr/bin/python3 tests/e2e/demo.py --build "build/$preset"
    ;;
  *)
    echo "usage: windows-suite.sh test|demo" >&2
    exit 2
    ;;
esac
