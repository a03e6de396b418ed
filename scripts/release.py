#!/usr/bin/env python3
"""Lays out the release of a built product tree: dist/zentrak-<version>/ with the program,
its symbols, the trace message format files, INTEGRATION.md, BUILDINFO and SHA256SUMS, the
zip of that folder beside it with its SHA-256. Every byte follows from the tree and the
commit: two builds of the same commit and settings give the same files.

Usage: release.py --build build/cross --out dist [--allow-dirty]
"""

import argparse
import hashlib
import json
import shutil
import subprocess
import sys
import time
import zipfile
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
# The Debian packages whose versions decide the bytes of the product.
TOOLCHAIN = ("g++-mingw-w64-i686-posix", "gcc-mingw-w64-i686-posix-runtime",
             "binutils-mingw-w64-i686", "mingw-w64-i686-dev", "mingw-w64-common",
             "libboost-dev", "cmake", "ninja-build", "python3")


def sha256(data: bytes) -> str:
    return hashlib.sha256(data).hexdigest()


def package_version(name: str) -> str:
    result = subprocess.run(["dpkg-query", "-W", "-f=${Version}", name],
                            capture_output=True, text=True)
    return result.stdout.strip() if result.returncode == 0 else "not installed"


def git(*args: str) -> str:
    return subprocess.run(["git", "-C", str(REPO), *args], capture_output=True, text=True,
                          check=True).stdout


def zip_time(epoch: int) -> tuple:
    # Zip entries hold local-free calendar times from 1980 on.
    return time.gmtime(max(epoch, 315532800))[:6]


def write_zip(folder: Path, target: Path, epoch: int) -> None:
    with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for path in sorted(folder.iterdir(), key=lambda p: p.name):
            entry = zipfile.ZipInfo("%s/%s" % (folder.name, path.name), zip_time(epoch))
            entry.external_attr = 0o644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 3  # Unix, whatever the machine
            archive.writestr(entry, path.read_bytes(), compresslevel=9)


def lay_out(build: Path, out: Path, described: dict) -> Path:
    version = described["version"]
    folder = out / ("zentrak-%s" % version)
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    files = {"Zentrak.exe": build / "bin" / "Zentrak.exe",
             "Zentrak.debug": build / "bin" / "Zentrak.debug",
             "INTEGRATION.md": REPO / "docs" / "INTEGRATION.md"}
    for tmf in sorted((build / "bin").glob("*.tmf")):
        files[tmf.name] = tmf
    for name, source in files.items():
        (folder / name).write_bytes(source.read_bytes())
    lines = ["version %s" % version,
             "commit %s" % described["commit"],
             "SOURCE_DATE_EPOCH %d" % described["source_date_epoch"],
             "settings_sha256 %s" % described["settings_sha256"]]
    lines += ["package %s %s" % (name, package_version(name)) for name in TOOLCHAIN]
    (folder / "BUILDINFO").write_text("\n".join(lines) + "\n")
    sums = ["%s  %s" % (sha256((folder / name).read_bytes()), name)
            for name in sorted(p.name for p in folder.iterdir())]
    (folder / "SHA256SUMS").write_text("\n".join(sums) + "\n")
    archive = out / ("zentrak-%s.zip" % version)
    write_zip(folder, archive, described["source_date_epoch"])
    (out / ("zentrak-%s.zip.sha256" % version)).write_text(
        "%s  %s\n" % (sha256(archive.read_bytes()), archive.name))
    return folder


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", type=Path, required=True)
    parser.add_argument("--out", type=Path, required=True)
    parser.add_argument("--allow-dirty", action="store_true",
                        help="lay out a tree with uncommitted changes (for the tests only)")
    options = parser.parse_args()
    described = json.loads((options.build / "release.json").read_text())
    if described["arch"] != "x86":
        print("release: %s is the %s test build; the product is the 32-bit build (build/cross)"
              % (options.build, described["arch"]), file=sys.stderr)
        return 2
    if not options.allow_dirty:
        if git("status", "--porcelain"):
            print("release: the tree has uncommitted changes; commit them first",
                  file=sys.stderr)
            return 2
        head = git("rev-parse", "HEAD").strip()
        if described["commit"] != head:
            print("release: %s was configured at %s, not at HEAD %s; configure it again"
                  % (options.build, described["commit"], head), file=sys.stderr)
            return 2
    folder = lay_out(options.build, options.out, described)
    print("release: %s and %s.zip" % (folder, folder.name))
    print("Zentrak.exe SHA-256 %s" % sha256((folder / "Zentrak.exe").read_bytes()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
