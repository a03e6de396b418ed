"""The program signed as it ships (Authenticode, SHA-256, scripts/sign.sh) still does the
whole job. It signs the build under test: the 32-bit product, or, on a machine that runs
no i386 code, the x86-64 build of the same commit, signed the same way."""

import shutil
import sys
from datetime import timedelta

from suite import sdk_fixture, utc_now
from winebed import REPO

sys.path.insert(0, str(REPO / "tests" / "release"))
from signing import make_certificate, sign, verify  # noqa: E402


def test_the_signed_program_verifies_and_does_the_whole_job(bed, suite, tmp_path, capsys):
    with capsys.disabled():
        # Which build was signed is part of the result: a machine without i386 signs the other.
        print("\nsigning " + ("the 32-bit product" if bed.arch == "x86" else
                              "the x86-64 build of this commit, as this machine runs "
                              "the Windows-side suite on it (scripts/windows-arch.sh)"))
    certificate = make_certificate(tmp_path)
    signed = tmp_path / "signed" / "Zentrak.exe"
    assert sign(bed.bin_dir / "Zentrak.exe", signed, certificate).returncode == 0
    verified = verify(signed, certificate)
    assert verified.returncode == 0 and "Signature verification: ok" in verified.stdout

    installed = bed.install_dir / "Zentrak.exe"
    shutil.copy2(signed, installed)
    try:
        s = suite(fixture=sdk_fixture(installed=utc_now() - timedelta(hours=2)))
        result = bed.run(["/TestMode"])
    finally:
        shutil.copy2(bed.bin_dir / "Zentrak.exe", installed)
    assert result.exit_code == 0
    [document] = s.documents()
    assert [e["EventType"] for e in document["DeviceEvents"]] == ["Installation"]
    assert bed.state()["EVT1"]["Send"] == "1"
