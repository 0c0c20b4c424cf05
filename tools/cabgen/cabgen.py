#!/usr/bin/env python3
"""Writes an uncompressed MS-CAB cabinet byte by byte, for test packages whose
member names the usual cabinet tools refuse or clean up ("..\\x", "C:\\x").

Format rule relied on: a CFFILE entry's name (szName) is an opaque
NUL-terminated byte string. The format puts no rule on its content, so a
reader hands it over as stored; with attribute 0x80 (_A_NAME_IS_UTF) it is
UTF-8. One CFFOLDER with compression type 0 holds the members back to back in
CFDATA blocks of at most 32768 bytes, each with the cabinet checksum.

Manifest: one member per line, "<name><TAB>text:<content>" or
"<name><TAB>file:<path relative to the manifest>"; "#" starts a comment.
Options: --total-size N pads the last member so the cabinet is exactly N
bytes; --truncate-to N cuts the written cabinet to N bytes (a corrupt one).
"""
import argparse
import os
import struct
import sys

BLOCK = 32768
ATTR_NAME_IS_UTF = 0x80
HEADER_SIZE, FOLDER_SIZE, FILE_FIXED_SIZE, DATA_HEADER_SIZE = 36, 8, 16, 8


def checksum(data, seed):
    """The CFDATA checksum: XOR of little-endian 32-bit words, the tail bytes
    taken most significant first."""
    total = seed
    whole = len(data) // 4 * 4
    for (word,) in struct.iter_unpack("<I", data[:whole]):
        total ^= word
    tail = 0
    for byte in data[whole:]:
        tail = (tail << 8) | byte
    return total ^ tail


def read_manifest(path):
    members = []
    base = os.path.dirname(os.path.abspath(path))
    with open(path, encoding="utf-8") as manifest:
        for line in manifest:
            line = line.rstrip("\r\n")
            if not line or line.startswith("#"):
                continue
            name, source = line.split("\t", 1)
            if source.startswith("text:"):
                content = source[5:].encode("utf-8")
            elif source.startswith("file:"):
                with open(os.path.join(base, source[5:]), "rb") as f:
                    content = f.read()
            else:
                sys.exit(f"cabgen: bad source {source!r}")
            members.append([name.encode("utf-8"), content])
    return members


def layout_size(members):
    data = b"".join(content for _, content in members)
    blocks = max(1, (len(data) + BLOCK - 1) // BLOCK)
    files = sum(FILE_FIXED_SIZE + len(name) + 1 for name, _ in members)
    return HEADER_SIZE + FOLDER_SIZE + files + blocks * DATA_HEADER_SIZE + len(data)


def build(members):
    data = b"".join(content for _, content in members)
    blocks = [data[i:i + BLOCK] for i in range(0, len(data), BLOCK)] or [b""]
    files_offset = HEADER_SIZE + FOLDER_SIZE
    files = b""
    offset = 0
    for name, content in members:
        # date 2020-01-01, time 00:00
        files += struct.pack("<IIHHHH", len(content), offset, 0, (40 << 9) | (1 << 5) | 1, 0,
                             ATTR_NAME_IS_UTF) + name + b"\0"
        offset += len(content)
    data_offset = files_offset + len(files)
    cab_data = b""
    for block in blocks:
        sizes = struct.pack("<HH", len(block), len(block))
        cab_data += struct.pack("<I", checksum(sizes, checksum(block, 0))) + sizes + block
    total = data_offset + len(cab_data)
    header = struct.pack("<4sIIIIIBBHHHHH", b"MSCF", 0, total, 0, files_offset, 0, 3, 1, 1,
                         len(members), 0, 0x4147, 0)
    folder = struct.pack("<IHH", data_offset, len(blocks), 0)
    return header + folder + files + cab_data


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("output")
    parser.add_argument("manifest")
    parser.add_argument("--total-size", type=int)
    parser.add_argument("--truncate-to", type=int)
    args = parser.parse_args()
    members = read_manifest(args.manifest)
    if not members:
        sys.exit("cabgen: no members")
    if args.total_size is not None:
        missing = args.total_size - layout_size(members)
        if missing < 0:
            sys.exit("cabgen: members too large for --total-size")
        members[-1][1] += b"x" * missing
        # Padding that adds data blocks adds their headers too: trim it back.
        for _ in range(4):
            excess = layout_size(members) - args.total_size
            if excess <= 0:
                break
            members[-1][1] = members[-1][1][:-excess]
        if layout_size(members) != args.total_size:
            sys.exit("cabgen: no padding gives exactly --total-size")
    cabinet = build(members)
    if args.truncate_to is not None:
        cabinet = cabinet[:args.truncate_to]
    with open(args.output, "wb") as out:
        out.write(cabinet)


if __name__ == "__main__":
    main()
