#!/usr/bin/env python3
"""Finishes a PE file for release: pads it with zero bytes to a multiple of 8 (signing
tools want the signature to start on an 8-byte boundary, and a file of another length
makes them report a wrong checksum) and writes the checksum Windows computes for it.

Usage: pe-finish.py FILE
"""

import struct
import sys


def checksum_offset(data: bytes) -> int:
    """Where the optional header keeps CheckSum: 64 bytes into it, past the file header."""
    if data[:2] != b"MZ":
        raise ValueError("not an MZ file")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    return pe + 4 + 20 + 64


def pe_checksum(data: bytes) -> int:
    """Windows' image checksum of a file whose CheckSum field is zero: the 16-bit
    one's-complement sum of its words, folded to 16 bits, plus the file's length."""
    total = 0
    padded = data + (b"\0" if len(data) % 2 else b"")
    for (word,) in struct.iter_unpack("<H", padded):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def finish(data: bytes) -> bytes:
    data = data + b"\0" * (-len(data) % 8)
    offset = checksum_offset(data)
    data = data[:offset] + b"\0\0\0\0" + data[offset + 4:]
    return data[:offset] + struct.pack("<I", pe_checksum(data)) + data[offset + 4:]


def main() -> int:
    path = sys.argv[1]
    with open(path, "rb") as f:
        data = f.read()
    with open(path, "wb") as f:
        f.write(finish(data))
    return 0


if __name__ == "__main__":
    sys.exit(main())
