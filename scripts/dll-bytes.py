#!/usr/bin/env python3
"""Where the bytes of Tolltone.dll go: its sections, and the largest functions
of its code from the link map (the module is built with a section per function).
    dll-bytes.py DLL MAP [COUNT]"""
import re
import subprocess
import sys

dll, link_map = sys.argv[1], sys.argv[2]
count = int(sys.argv[3]) if len(sys.argv) > 3 else 12

headers = subprocess.run(["x86_64-w64-mingw32-objdump", "-h", dll], capture_output=True, text=True).stdout
print("section     bytes  (in the file: rounded to 512; .bss takes none)")
for line in headers.splitlines():
    fields = line.split()
    if len(fields) >= 7 and fields[0].isdigit():
        size = int(fields[2], 16)
        in_file = 0 if fields[1] == ".bss" else (size + 511) // 512 * 512
        print(f"{fields[1]:<10} {size:>6}  ({in_file})")

# Input sections of .text in the map: " .text$name  0xADDRESS  0xSIZE  object"
functions = []
pending = None
for line in open(link_map, encoding="utf-8", errors="replace"):
    match = re.match(r"^ \.text\$(\S+)(?:\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S+))?", line)
    if match:
        pending = match.group(1)
        if match.group(2):
            functions.append((int(match.group(2), 16), pending, match.group(3)))
            pending = None
        continue
    follow = re.match(r"^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S+)", line)
    if pending and follow:
        functions.append((int(follow.group(1), 16), pending, follow.group(2)))
    pending = None

functions.sort(reverse=True)
names = subprocess.run(["c++filt"], input="\n".join(f for _, f, _ in functions[:count]),
                       capture_output=True, text=True).stdout.splitlines()
total = sum(size for size, _, _ in functions)
print(f"\ncode in {len(functions)} functions, {total} bytes; the largest:")
for (size, _, source), name in zip(functions[:count], names):
    obj = re.sub(r".*\((.*)\)$", r"\1", source)
    print(f"{size:>6}  {name[:90]}  [{obj}]")
