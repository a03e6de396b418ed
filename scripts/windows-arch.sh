#!/usr/bin/env bash
# Which build runs the Windows-side suite on this machine, and why.
#   windows-arch.sh           prints x86 or x64 on stdout and the reason, one line, on
#                             stderr; WINDOWS_ARCH=x86|x64 forces one (x86 fails at once,
#                             exit 2, on a kernel that runs no i386 programs)
#   windows-arch.sh --check   the same decision without a word, unless it fails
#   windows-arch.sh --kernel  exit 0 when the kernel itself runs i386 programs
# x86 is the 32-bit product under 32-bit Wine; x64 is the x86-64 test build of the same
# sources under 64-bit Wine, which needs no i386 code.
set -euo pipefail

# The kernel runs i386 programs itself: a three-line i386 program exits with 42, and no
# emulator is registered for i386 programs (a registered qemu makes the program run, and
# Wine under it would take hours over the suite).
binfmt_dir=${ZENTRAK_BINFMT_DIR:-/proc/sys/fs/binfmt_misc}  # another folder only in its tests
emulator_registered() {
  local entry magic
  for entry in "$binfmt_dir"/*; do
    [ -f "$entry" ] && grep -qx enabled "$entry" 2>/dev/null || continue
    magic=$(sed -n 's/^magic //p' "$entry")
    # The ELF header of a 32-bit little-endian executable for machine 3 (i386).
    case "$magic" in 7f454c460101*) [ "${magic:36:4}" = 0300 ] && return 0 ;; esac
  done
  return 1
}

runs_i386_programs() {
  emulator_registered && return 1
  local dir rc=0
  dir=$(mktemp -d)
  printf '.globl _start\n_start:\n  movl $1, %%eax\n  movl $42, %%ebx\n  int $0x80\n' >"$dir/exit42.s"
  if as --32 -o "$dir/exit42.o" "$dir/exit42.s" 2>/dev/null &&
    ld -m elf_i386 -o "$dir/exit42" "$dir/exit42.o" 2>/dev/null; then
    "$dir/exit42" 2>/dev/null || rc=$?
  fi
  rm -rf "$dir"
  [ "$rc" -eq 42 ]
}

if [ "${1:-}" = --kernel ]; then
  runs_i386_programs
  exit
fi
if [ "${1:-}" = --check ]; then
  if ! why=$("$0" 2>&1 >/dev/null); then
    echo "$why" >&2
    exit 2
  fi
  exit 0
fi

if runs_i386_programs; then kernel=i386; else kernel=none; fi
if emulator_registered; then
  why="this kernel runs i386 programs only through an emulator registered in binfmt_misc"
else
  why="this kernel runs no i386 programs"
fi

case "${WINDOWS_ARCH:-}" in
  x86)
    if [ "$kernel" = none ]; then
      echo "$why: WINDOWS_ARCH=x86 cannot run here" >&2
      exit 2
    fi
    echo "WINDOWS_ARCH=x86: the Windows-side suite runs the 32-bit product" >&2
    echo x86
    ;;
  x64)
    echo "WINDOWS_ARCH=x64: the Windows-side suite runs the x86-64 build" >&2
    echo x64
    ;;
  "")
    if [ "$kernel" = i386 ]; then
      echo "this kernel runs i386 programs: the Windows-side suite runs the 32-bit product" \
        "(and a few checks of the x86-64 build)" >&2
      echo x86
    else
      echo "$why: the Windows-side suite runs the x86-64 build" >&2
      echo x64
    fi
    ;;
  *)
    echo "WINDOWS_ARCH must be x86 or x64, not '$WINDOWS_ARCH'" >&2
    exit 2
    ;;
esac
