"""The release of the product tree (ZENTRAK_BUILD_DIR, the 32-bit build): rebuilt byte for
byte in another folder, at another time, zone and umask; a finished PE32 program; a signed
copy that verifies and gives back the same bytes without its signature. Nothing here needs
Wine (the whole job of a signed program is a scenario of tests/e2e/test_signed.py)."""

import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib
from pathlib import Path

import pefile
import pytest
from signing import make_certificate, sign, verify

REPO = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("ZENTRAK_BUILD_DIR", REPO / "build" / "cross"))
DESCRIBED = json.loads((BUILD / "release.json").read_text())
VERSION = DESCRIBED["version"]


def release(build: Path, out: Path) -> Path:
    subprocess.run([sys.executable, str(REPO / "scripts" / "release.py"), "--build", str(build),
                    "--out", str(out), "--allow-dirty"], check=True, capture_output=True)
    return out


def files_of(out: Path) -> dict:
    return {str(p.relative_to(out)): p.read_bytes() for p in sorted(out.rglob("*")) if p.is_file()}


@pytest.fixture(scope="module")
def released(tmp_path_factory) -> Path:
    return release(BUILD, tmp_path_factory.mktemp("dist"))


def test_the_release_holds_what_ships_and_what_support_keeps(released):
    folder = released / ("zentrak-%s" % VERSION)
    names = sorted(p.name for p in folder.iterdir())
    tmf = sorted(p.name for p in (BUILD / "bin").glob("*.tmf"))
    assert len(tmf) == 5
    assert names == sorted(["BUILDINFO", "INTEGRATION.md", "SHA256SUMS", "Zentrak.debug",
                            "Zentrak.exe", *tmf])
    sums = dict(reversed(line.split("  ")) for line in
                (folder / "SHA256SUMS").read_text().splitlines())
    assert sorted(sums) == sorted(n for n in names if n != "SHA256SUMS")
    for name, digest in sums.items():
        assert subprocess.run(["sha256sum", str(folder / name)], capture_output=True,
                              text=True).stdout.split()[0] == digest
    info = (folder / "BUILDINFO").read_text().splitlines()
    assert info[:4] == ["version %s" % VERSION, "commit %s" % DESCRIBED["commit"],
                        "SOURCE_DATE_EPOCH %d" % DESCRIBED["source_date_epoch"],
                        "settings_sha256 %s" % DESCRIBED["settings_sha256"]]
    assert any(line.startswith("package g++-mingw-w64-i686-posix ") for line in info)
    with zipfile.ZipFile(released / ("zentrak-%s.zip" % VERSION)) as archive:
        assert sorted(archive.namelist()) == ["zentrak-%s/%s" % (VERSION, n) for n in names]
        for entry in archive.infolist():
            assert archive.read(entry) == (folder / Path(entry.filename).name).read_bytes()


def test_the_released_program_is_a_finished_pe32_console_program(released):
    data = (released / ("zentrak-%s" % VERSION) / "Zentrak.exe").read_bytes()
    assert len(data) % 8 == 0
    pe = pefile.PE(data=data)
    assert pe.FILE_HEADER.Machine == 0x14C  # i386
    assert pe.OPTIONAL_HEADER.Magic == 0x10B  # PE32
    assert pe.OPTIONAL_HEADER.Subsystem == 3  # console
    # pefile's own sum, not the one the build wrote it with.
    assert pe.OPTIONAL_HEADER.CheckSum == pe.generate_checksum() != 0
    assert pe.FILE_HEADER.TimeDateStamp == DESCRIBED["source_date_epoch"]
    # The symbols are linked by name and by the CRC-32 of their file (the debug link:
    # the name, zero-padded to 4 bytes, then the CRC).
    [link] = [s.get_data() for s in pe.sections if s.get_data().startswith(b"Zentrak.debug\0")]
    debug = (released / ("zentrak-%s" % VERSION) / "Zentrak.debug").read_bytes()
    assert struct.unpack_from("<I", link, 16)[0] == zlib.crc32(debug)


def test_the_release_is_rebuilt_byte_for_byte_elsewhere(released, tmp_path_factory):
    # The same sources in a folder of another name and length, built later, in another
    # zone and with another umask.
    other = Path(tempfile.mkdtemp(prefix="zentrak-rebuilt-in-a-longer-folder-name-"))
    try:
        listed = subprocess.run(["git", "-C", str(REPO), "ls-files", "-co", "--exclude-standard"],
                                check=True, capture_output=True, text=True).stdout.splitlines()
        for name in listed:
            source = REPO / name
            if source.is_file():
                (other / name).parent.mkdir(parents=True, exist_ok=True)
                shutil.copy2(source, other / name)
        env = dict(os.environ, TZ="Pacific/Auckland")
        env.pop("SOURCE_DATE_EPOCH", None)
        settings = ["-DZENTRAK_SOURCE_DATE_EPOCH=%d" % DESCRIBED["source_date_epoch"],
                    "-DZENTRAK_COMMIT=%s" % DESCRIBED["commit"]]
        old_umask = os.umask(0o077)
        try:
            subprocess.run(["cmake", "--preset", "cross", *settings], cwd=other, env=env,
                           check=True, capture_output=True)
            subprocess.run(["cmake", "--build", "--preset", "cross", "--target", "Zentrak",
                            "format_files"], cwd=other, env=env, check=True, capture_output=True)
        finally:
            os.umask(old_umask)
        again = release(other / "build" / "cross", tmp_path_factory.mktemp("dist-again"))
        first, second = files_of(released), files_of(again)
        assert sorted(first) == sorted(second)
        differing = [name for name in first if first[name] != second[name]]
        assert differing == []
    finally:
        shutil.rmtree(other, ignore_errors=True)


@pytest.fixture(scope="module")
def throwaway_certificate(tmp_path_factory) -> dict:
    return make_certificate(tmp_path_factory.mktemp("certificate"))


def test_a_signed_copy_verifies_and_gives_back_the_same_bytes(released, throwaway_certificate,
                                                              tmp_path):
    unsigned = released / ("zentrak-%s" % VERSION) / "Zentrak.exe"
    before = unsigned.read_bytes()
    signed = tmp_path / "signed" / "Zentrak.exe"
    assert sign(unsigned, signed, throwaway_certificate).returncode == 0
    assert unsigned.read_bytes() == before  # the release is left as it was
    assert signed.read_bytes() != before
    verified = verify(signed, throwaway_certificate)
    assert verified.returncode == 0, verified.stdout + verified.stderr
    assert "Signature verification: ok" in verified.stdout
    assert "invalid PE checksum" not in (verified.stdout + verified.stderr).lower()
    stripped = tmp_path / "stripped.exe"
    subprocess.run(["osslsigncode", "remove-signature", "-in", str(signed), "-out",
                    str(stripped)], check=True, capture_output=True)
    assert stripped.read_bytes() == before


def test_a_time_stamp_that_cannot_be_had_fails_the_signing(released, throwaway_certificate,
                                                           tmp_path):
    signed = tmp_path / "stamped" / "Zentrak.exe"
    unsigned = released / ("zentrak-%s" % VERSION) / "Zentrak.exe"
    result = sign(unsigned, signed, throwaway_certificate, "http://127.0.0.1:9/")
    assert result.returncode != 0
    assert not signed.exists()
