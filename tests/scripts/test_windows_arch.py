"""scripts/windows-arch.sh: which build the Windows-side suite runs, and why. An emulator
registered for i386 programs must never count as a kernel that runs them: the suite
would take hours under it."""

import os
import subprocess
from pathlib import Path

import pytest

SCRIPT = Path(__file__).resolve().parents[2] / "scripts" / "windows-arch.sh"

# binfmt_misc entries as the kernel shows them.
QEMU_I386 = ("enabled\ninterpreter /usr/bin/qemu-i386\nflags: F\noffset 0\n"
             "magic 7f454c4601010100000000000000000002000300\n"
             "mask fffffffffffefe00fffffffffffffffffeffffff\n")
QEMU_AARCH64 = ("enabled\ninterpreter /usr/bin/qemu-aarch64\nflags: F\noffset 0\n"
                "magic 7f454c460201010000000000000000000200b700\n"
                "mask ffffffffffffff00fffffffffffffffffeffffff\n")


def decide(binfmt: Path, *args, arch=None):
    env = dict(os.environ, ZENTRAK_BINFMT_DIR=str(binfmt))
    env.pop("WINDOWS_ARCH", None)
    if arch is not None:
        env["WINDOWS_ARCH"] = arch
    return subprocess.run([str(SCRIPT), *args], env=env, capture_output=True, text=True)


@pytest.fixture
def binfmt(tmp_path):
    (tmp_path / "status").write_text("enabled\n")
    return tmp_path


def test_a_registered_i386_emulator_means_the_x86_64_build(binfmt):
    (binfmt / "qemu-i386").write_text(QEMU_I386)
    result = decide(binfmt)
    assert (result.returncode, result.stdout) == (0, "x64\n")
    assert result.stderr == ("this kernel runs i386 programs only through an emulator registered"
                             " in binfmt_misc: the Windows-side suite runs the x86-64 build\n")
    assert decide(binfmt, "--kernel").returncode == 1


def test_forcing_the_32_bit_build_under_an_emulator_stops_at_once(binfmt):
    (binfmt / "qemu-i386").write_text(QEMU_I386)
    for args in ((), ("--check",)):
        result = decide(binfmt, *args, arch="x86")
        assert (result.returncode, result.stdout) == (2, "")
        assert result.stderr.endswith(": WINDOWS_ARCH=x86 cannot run here\n")


def test_disabled_or_other_machines_entries_are_no_i386_emulator(binfmt):
    (binfmt / "qemu-aarch64").write_text(QEMU_AARCH64)
    (binfmt / "qemu-i386").write_text(QEMU_I386.replace("enabled", "disabled"))
    assert "emulator" not in decide(binfmt).stderr


@pytest.mark.parametrize("arch, out, code", [("x64", "x64\n", 0), ("arm", "", 2), ("X64", "", 2)])
def test_forcing_a_build(binfmt, arch, out, code):
    result = decide(binfmt, arch=arch)
    assert (result.returncode, result.stdout) == (code, out)
    assert decide(binfmt, "--check", arch=arch).returncode == code
    assert decide(binfmt, "--check", arch=arch).stdout == ""
