#!/usr/bin/env python3
"""Zeroes the two compile times that chmcmd writes into a compiled help file (the
ITSF header's and the #SYSTEM file's), so the same sources give the same bytes.
Both lie outside the compressed section; nothing else in the file depends on time.

usage: normalize-chm.py FILE.chm
"""
import struct
import sys


def encint(data, pos):
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if byte < 0x80:
            return value, pos


def find_entry(data, name):
    """(section, offset, length) of a file in the ITSF directory."""
    directory, = struct.unpack_from("<Q", data, 0x48)
    chunk_size, = struct.unpack_from("<I", data, directory + 0x10)
    first, last = struct.unpack_from("<ii", data, directory + 0x20)
    chunk = first
    while chunk != -1:
        start = directory + 0x54 + chunk * chunk_size
        if data[start:start + 4] != b"PMGL":
            break
        free, = struct.unpack_from("<I", data, start + 4)
        chunk_next, = struct.unpack_from("<i", data, start + 0x10)
        pos, end = start + 0x14, start + chunk_size - free
        while pos < end:
            length, pos = encint(data, pos)
            entry = data[pos:pos + length].decode("utf-8", "replace")
            pos += length
            section, pos = encint(data, pos)
            offset, pos = encint(data, pos)
            size, pos = encint(data, pos)
            if entry == name:
                return section, offset, size
        chunk = chunk_next if chunk != last else -1
    raise SystemExit(f"{name} not found")


def main():
    path = sys.argv[1]
    data = bytearray(open(path, "rb").read())
    if data[:4] != b"ITSF":
        raise SystemExit(f"{path} is no compiled help file")
    data[0x10:0x14] = bytes(4)  # the header's time of day
    content, = struct.unpack_from("<Q", data, 0x58)
    section, offset, size = find_entry(data, "/#SYSTEM")
    if section != 0:
        raise SystemExit("#SYSTEM is compressed")
    pos, end = content + offset + 4, content + offset + size  # after the version
    while pos + 4 <= end:
        code, length = struct.unpack_from("<HH", data, pos)
        if code == 10:  # the compile time
            data[pos + 4:pos + 4 + length] = bytes(length)
        pos += 4 + length
    open(path, "wb").write(data)


main()
