"""The shipped program file, read without running it: a 32-bit (i386) Windows console
program that needs no MinGW DLL. Checked on every machine, whichever build the
Windows-side suite runs."""

import os
import re
import subprocess
from pathlib import Path

PRODUCT = Path(os.environ.get("ZENTRAK_PRODUCT",
                              Path(__file__).resolve().parents[2] / "build/cross/bin/Zentrak.exe"))

# DLLs that every Windows installation has in its system folder.
SYSTEM_DLLS = {"kernel32.dll", "advapi32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll",
               "shell32.dll", "shlwapi.dll", "winhttp.dll", "version.dll", "user32.dll"}


def headers() -> str:
    return subprocess.run(["i686-w64-mingw32-objdump", "-p", str(PRODUCT)],
                          check=True, capture_output=True, text=True).stdout


def test_zentrak_exe_is_a_pe32_i386_console_program_importing_only_system_dlls():
    dump = headers()
    assert re.search(r"file format pei-i386$", dump, re.M)
    assert re.search(r"^Magic\s+010b\s+\(PE32\)", dump, re.M)
    assert re.search(r"^Subsystem\s+00000003\s+\(Windows CUI\)", dump, re.M)
    imports = {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}
    assert "kernel32.dll" in imports
    assert imports <= SYSTEM_DLLS, imports - SYSTEM_DLLS
