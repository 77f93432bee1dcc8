#!/usr/bin/env python3
"""Fills a document source for a release: @VERSION@ becomes the version, and a
line that holds only @HISTORY@ becomes the history, rendered as HTML (the help's
history page) or as text (the zip's readme.txt). The history has one source,
help/history.txt: entries headed "VersionX.Y.Z YYYY-MM-DD", newest first, each
item a line that begins with "・", continued on lines indented by two blanks;
lines that begin with "#" are comments.

usage: fill-doc.py html|text HISTORY SOURCE VERSION   (writes to standard output)
       fill-doc.py newest HISTORY                     (prints the newest version)
"""
import html
import re
import sys

HEADING = re.compile(r"^Version(\d+)\.(\d+)\.(\d+) (\d{4}-\d{2}-\d{2})$")


def fail(message):
    sys.exit(f"fill-doc.py: {message}")


def read_history(path):
    entries = []
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            line = line.rstrip("\r\n")
            if not line.strip() or line.startswith("#"):
                continue
            heading = HEADING.match(line)
            if heading:
                version = tuple(int(part) for part in heading.group(1, 2, 3))
                entries.append({"version": version, "date": heading.group(4), "items": []})
            elif line.startswith("・") and entries:
                entries[-1]["items"].append([line[1:]])
            elif line.startswith("  ") and entries and entries[-1]["items"]:
                entries[-1]["items"][-1].append(line.strip())
            else:
                fail(f"{path}:{number}: neither a heading, an item nor its continuation: {line}")
    if not entries:
        fail(f"{path} has no entry")
    for newer, older in zip(entries, entries[1:]):
        if not (newer["version"] > older["version"] and newer["date"] >= older["date"]):
            fail(f"{path}: {name(newer)} is not newer than {name(older)}, which follows it")
    for entry in entries:
        if not entry["items"]:
            fail(f"{path}: {name(entry)} has no item")
    return entries


def name(entry):
    return "Version" + ".".join(str(part) for part in entry["version"])


def joined(pieces):
    # Japanese lines join without a blank; two Latin words keep one between them.
    text = pieces[0]
    for piece in pieces[1:]:
        text += (" " if text[-1:].isascii() and text[-1:].isalnum() and piece[:1].isascii() and piece[:1].isalnum() else "") + piece
    return text


def as_html(entries):
    lines = []
    for entry in entries:
        lines.append(f"<h2>{name(entry)}（{entry['date']}）</h2>")
        lines.append("<ul>")
        lines += [f"<li>{html.escape(joined(item), quote=False)}</li>" for item in entry["items"]]
        lines.append("</ul>")
    return lines


def as_text(entries):
    lines = []
    for entry in entries:
        if lines:
            lines.append("")
        lines.append(f"  {name(entry)}（{entry['date']}）")
        for item in entry["items"]:
            lines.append("  ・" + item[0])
            lines += ["    " + piece for piece in item[1:]]
    return lines


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "newest":
        print(name(read_history(sys.argv[2])[0])[len("Version"):])
        return
    if len(sys.argv) != 5 or sys.argv[1] not in ("html", "text"):
        sys.exit(__doc__)
    form, history, source, version = sys.argv[1:]
    rendered = None
    with open(source, encoding="utf-8", newline="") as text:
        for line in text:
            if line.rstrip("\r\n") == "@HISTORY@":
                if rendered is None:
                    entries = read_history(history)
                    rendered = as_html(entries) if form == "html" else as_text(entries)
                ending = line[len(line.rstrip("\r\n")):]
                sys.stdout.write("".join(piece + ending for piece in rendered))
            else:
                sys.stdout.write(line.replace("@VERSION@", version))


main()
