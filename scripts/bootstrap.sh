#!/usr/bin/env bash
# Installs every Debian package the build and the tests use. Idempotent: when all
# packages are present it only runs dpkg-query and returns.
set -euo pipefail

native_pkgs=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libboost-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  python3 python3-pytest
  clang-tidy cppcheck clang-format
  tinyproxy
  e2fsprogs  # chattr: a read-only folder for a test bed running as root
)
i386_pkgs=(wine wine32:i386)

missing=()
for p in "${native_pkgs[@]}" "${i386_pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "bootstrap: installing ${missing[*]}" >&2
if [ "$(id -u)" -ne 0 ]; then
  echo "bootstrap: missing packages and not root; install them by hand" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
# tinyproxy is started by the tests that need it, never as a system service.
if command -v systemctl >/dev/null 2>&1; then systemctl disable --now tinyproxy >/dev/null 2>&1 || true; fi
service tinyproxy stop >/dev/null 2>&1 || true
