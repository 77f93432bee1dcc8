#!/usr/bin/env python3
"""Writes a zip whose bytes depend only on its files: entries in the order given,
one fixed time for all, the same attributes everywhere.

usage: make-zip.py OUT.zip EPOCH_SECONDS FILE...
"""
import sys
import time
import zipfile


def main():
    out, epoch, files = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip times start in 1980
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for path in files:
            entry = zipfile.ZipInfo(path.rsplit("/", 1)[-1], date_time=stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 0  # as made on Windows: no Unix owner or mode
            entry.external_attr = 0x20  # the archive attribute
            with open(path, "rb") as source:
                archive.writestr(entry, source.read(), compresslevel=9)


main()
