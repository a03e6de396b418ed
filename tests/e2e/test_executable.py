"""The built program file: a 32-bit console program that needs no MinGW DLL."""

import re
import subprocess

# DLLs that every Windows installation has in its system folder.
SYSTEM_DLLS = {"kernel32.dll", "advapi32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll",
               "shell32.dll", "shlwapi.dll", "winhttp.dll", "version.dll", "user32.dll"}


def test_zentrak_exe_is_a_pe32_console_program_importing_only_system_dlls(winebed):
    dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", str(winebed.bin_dir / "Zentrak.exe")],
                          check=True, capture_output=True, text=True).stdout
    assert re.search(r"^Magic\s+010b\s+\(PE32\)", dump, re.M)
    assert re.search(r"^Subsystem\s+00000003\s+\(Windows CUI\)", dump, re.M)
    imports = {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}
    assert "kernel32.dll" in imports
    assert imports <= SYSTEM_DLLS, imports - SYSTEM_DLLS
