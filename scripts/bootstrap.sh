#!/usr/bin/env bash
# Installs every Debian package the build and the tests use. Idempotent: when all
# packages are present it only runs dpkg-query and returns.
#
# Both cross compilers always: the product is the 32-bit (i686) build, and the x86-64
# build of the same sources is the test vehicle where the kernel runs no i386 code. 64-bit
# Wine always; 32-bit Wine (wine32:i386) only where the kernel runs i386 programs itself,
# because where it is installed Debian's wine wrapper tries the i386 loader first.
set -euo pipefail
cd "$(dirname "$0")/.."

native_pkgs=(
  cmake ninja-build g++ binutils clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libboost-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine64
  python3 python3-pytest
  python3-pefile osslsigncode openssl  # the release: its checks and signing
  clang-tidy cppcheck clang-format
  tinyproxy
  iproute2 util-linux  # ip, unshare: each scenario file in a network namespace of its own
  e2fsprogs  # chattr: a read-only folder for a test bed running as root
  tzdata     # the zones the time scenarios run in, for Wine and for the scenarios' own sums
)
i386_pkgs=(wine wine32:i386)

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "bootstrap: $1 and not root; do it by hand" >&2
    exit 1
  fi
}

missing_of() {
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
      echo "$p"
    fi
  done
}

install() {  # PACKAGE...
  echo "bootstrap: installing $*" >&2
  need_root "missing packages"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

# An earlier bootstrap ran Wine's i386 loader under qemu-user from Debian 13 on kernels
# without i386 support. That cannot finish within CI; remove what it left.
if [ -e /etc/apt/sources.list.d/zentrak-trixie.sources ] || [ -e /etc/apt/preferences.d/zentrak-trixie ]; then
  need_root "an earlier bootstrap's qemu set-up is left to remove"
  echo "bootstrap: removing the qemu i386 emulation an earlier bootstrap installed" >&2
  if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then echo -1 >/proc/sys/fs/binfmt_misc/qemu-i386; fi
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq qemu-user >/dev/null 2>&1 || true
  rm -f /etc/apt/sources.list.d/zentrak-trixie.sources /etc/apt/preferences.d/zentrak-trixie
  apt-get update -qq
fi

mapfile -t missing < <(missing_of "${native_pkgs[@]}")
if [ ${#missing[@]} -ne 0 ]; then
  install "${missing[@]}"
  # tinyproxy is started by the tests that need it, never as a system service.
  if command -v systemctl >/dev/null 2>&1; then systemctl disable --now tinyproxy >/dev/null 2>&1 || true; fi
  service tinyproxy stop >/dev/null 2>&1 || true
fi

# The kernel's answer needs binutils, installed above.
if scripts/windows-arch.sh --kernel; then
  mapfile -t missing < <(missing_of "${i386_pkgs[@]}")
  if [ ${#missing[@]} -ne 0 ]; then
    need_root "missing packages"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      dpkg --add-architecture i386
    fi
    install "${missing[@]}"
  fi
fi
