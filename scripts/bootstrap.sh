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
  iproute2 util-linux  # ip, unshare: each scenario file in a network namespace of its own
  e2fsprogs  # chattr: a read-only folder for a test bed running as root
  tzdata     # the zones the time scenarios run in, for Wine and for the scenarios' own sums
)
i386_pkgs=(wine wine32:i386)

missing=()
for p in "${native_pkgs[@]}" "${i386_pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "bootstrap: $1 and not root; do it by hand" >&2
    exit 1
  fi
}

if [ ${#missing[@]} -ne 0 ]; then
  echo "bootstrap: installing ${missing[*]}" >&2
  need_root "missing packages"
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  # tinyproxy is started by the tests that need it, never as a system service.
  if command -v systemctl >/dev/null 2>&1; then systemctl disable --now tinyproxy >/dev/null 2>&1 || true; fi
  service tinyproxy stop >/dev/null 2>&1 || true
fi

# Wine's 32-bit loader is an i386 Linux program, and some kernels run 64-bit user code
# only (execve of an i386 file gives ENOEXEC; the kernel log says "IA-32 emulation off").
# There the loader runs under qemu's user-mode emulation, registered with binfmt_misc.
# Debian 12's qemu 7.2 is no use for Wine: it tracks guest pages in a table that every
# mapping walks page by page, and Wine maps gigabytes, so a prefix took over 25 minutes
# to create and each program over 2 minutes to start. qemu 8 and later keep an interval
# tree; Debian 13's static qemu-user (no dependencies) starts a program in under a
# second. Only that one package comes from Debian 13: the pin keeps the rest on 12.
# ZENTRAK_I386_EMULATION=off leaves such a machine alone (scripts/wine-prefix.sh then
# says why no Windows-side test can run).
qemu_new_enough() {
  local v
  v=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null) || return 1
  dpkg --compare-versions "$v" ge 1:8.0
}
if [ "${ZENTRAK_I386_EMULATION:-}" != off ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  need_root "this kernel runs no i386 programs, and registering qemu for them needs root"
  if ! qemu_new_enough; then
    echo "bootstrap: this kernel runs no i386 programs; installing qemu-user from Debian 13 to run Wine" >&2
    cat >/etc/apt/sources.list.d/zentrak-trixie.sources <<'SOURCES'
Types: deb
URIs: http://deb.debian.org/debian
Suites: trixie
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    cat >/etc/apt/preferences.d/zentrak-trixie <<'PIN'
Package: *
Pin: release n=trixie
Pin-Priority: 1
PIN
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends qemu-user/trixie >/dev/null
  fi
  binfmt=/proc/sys/fs/binfmt_misc
  mountpoint -q "$binfmt" || mount -t binfmt_misc binfmt_misc "$binfmt"
  # An entry left by an older qemu would win over the new one.
  if [ -e "$binfmt/qemu-i386" ] && ! grep -qx 'interpreter /usr/bin/qemu-i386' "$binfmt/qemu-i386"; then
    echo -1 >"$binfmt/qemu-i386"
  fi
  if [ ! -e "$binfmt/qemu-i386" ]; then
    # The ELF header of an i386 executable; F: the interpreter is opened now, so it works
    # in any mount namespace.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' \
      >"$binfmt/register"
  fi
  if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "bootstrap: Wine's 32-bit loader still does not start under qemu-i386" >&2
    exit 1
  fi
fi
