#!/usr/bin/env bash
# Checks a shipped Zentrak.exe against the release this tree builds (make release runs
# first): equal bytes for an unsigned file; for a signed one, equal bytes once the
# signature is removed.
# Usage: verify-release.sh FILE
set -euo pipefail
cd "$(dirname "$0")/.."
file=$(realpath "$1")
version=$(sed -n 's/.*"version": "\([^"]*\)".*/\1/p' build/cross/release.json)
built="dist/zentrak-$version/Zentrak.exe"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if osslsigncode remove-signature -in "$file" -out "$work/unsigned.exe" >/dev/null 2>&1; then
  echo "verify-release: $1 is signed; comparing it without its signature"
  file="$work/unsigned.exe"
fi
want=$(sha256sum "$built" | cut -d' ' -f1)
have=$(sha256sum "$file" | cut -d' ' -f1)
if [ "$want" = "$have" ]; then
  echo "verify-release: same bytes as $built ($want)"
else
  echo "verify-release: differs from $built: $have, built $want" >&2
  exit 1
fi
