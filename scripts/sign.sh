#!/usr/bin/env bash
# Signs a program with Authenticode, SHA-256, with osslsigncode (2.5, Debian 12's, or
# later): IN to OUT, leaving IN as it is. With a time-stamp URL the signature gets an
# RFC 3161 time stamp; a URL that does not answer fails the command, never an unstamped
# file.
# Usage: sign.sh IN OUT CERT KEY [TIMESTAMP_URL]
set -euo pipefail
in=$1 out=$2 cert=$3 key=$4 url=${5:-}
[ -f "$cert" ] && [ -f "$key" ] || { echo "sign: CERT and KEY must name files" >&2; exit 2; }
mkdir -p "$(dirname "$out")"
rm -f "$out"
stamp=()
[ -n "$url" ] && stamp=(-ts "$url")
osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n Zentrak "${stamp[@]}" \
  -in "$in" -out "$out" >/dev/null
[ -s "$out" ] || { echo "sign: no signed file was written" >&2; exit 1; }
echo "sign: $out"
