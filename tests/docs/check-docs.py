#!/usr/bin/env python3
"""Keeps the user documents true where a machine can tell.

- Keys: every INI key of the string table (the IDS_KEY_ entries of
  src/resources/Tolltone.rc) is documented in README.md, package/readme.txt and
  help/settings.html, and none of them documents a key that the module does not
  read. A documented key is one written as a key: "Key=" at the start of a line
  (examples, lists) or after a backtick or <code>, or the first cell of a table row.
- Version: the title that readme.txt and the help's first page show is the module's
  title string with the project's version; every version those documents and the
  README name is that version; the newest history entry is that version.
- Clock: next to the time signal, each of the three documents tells how to set
  the PC's clock now and how to see seconds in the taskbar clock.
- Links: every page and anchor that the help's pages, contents and index point to
  exists.
- Labels: every 「label」 that readme.txt, the help's pages and its popups quote is a
  text the dialogs show (a control, a caption, a string of the string table, an
  interval of the list) or one of Windows' own names kept below.
- Reach: every page of the help is in the project's file list and in the contents;
  every control of the two dialogs has an index entry that points to the dialogs' page.
- One place for the file: no help page but the settings file's names a key.
- Length: readme.txt as the zip holds it, history included, is at most 120 lines.

usage: check-docs.py SOURCE_DIR VERSION
"""
import pathlib
import re
import subprocess
import sys

root = pathlib.Path(sys.argv[1])
version = sys.argv[2]
failures = []


def fail(message):
    if message not in failures:
        failures.append(message)


def text(relative):
    return (root / relative).read_text(encoding="utf-8")


# --- keys -----------------------------------------------------------------
rc = text("src/resources/Tolltone.rc")
table = re.search(r"^STRINGTABLE\s*\nBEGIN\n(.*?)^END", rc, re.S | re.M)
keys = set(re.findall(r'^\s*IDS_KEY_\w+\s+"([^"]+)"', table.group(1), re.M)) if table else set()
if len(keys) < 5:
    fail(f"found only {sorted(keys)} as IDS_KEY_ entries of the string table in Tolltone.rc")

KEY = r"([A-Z][a-z][A-Za-z0-9]*)"
WRITTEN_AS_KEY = [
    re.compile(rf"^[ \t]*{KEY}=", re.M),            # Key=value lines
    re.compile(rf"(?:`|<code>){KEY}="),              # `Key=...` or <code>Key=...
    re.compile(rf"^\|\s*`{KEY}[`=]", re.M),          # Markdown table row
    re.compile(rf"<tr>\s*<td>\s*(?:<code>)?{KEY}\b"),  # HTML table row
]
for document in ["README.md", "package/readme.txt", "help/settings.html"]:
    body = text(document)
    documented = set()
    for pattern in WRITTEN_AS_KEY:
        documented.update(pattern.findall(body))
    for key in sorted(keys - documented):
        fail(f"{document} does not document the key {key}")
    for key in sorted(documented - keys):
        fail(f"{document} documents the key {key}, which the module does not read")

# --- version --------------------------------------------------------------
title_template = re.search(r'TOLLTONE_TITLE_TEXT\s+"([^"]+)"', text("src/resources/Version.h.in"))
title = title_template.group(1).replace("@PROJECT_VERSION@", version) if title_template else None
if title is None:
    fail("src/resources/Version.h.in has no TOLLTONE_TITLE_TEXT")
VERSION_MENTION = re.compile(r"(?:Version ?|Tolltone-)(\d+\.\d+\.\d+)")


def check_versions(document, body, shown_somewhere=True):
    found = VERSION_MENTION.findall(body)
    if shown_somewhere and not found:
        fail(f"{document} names no version")
    for named in found:
        if named != version:
            fail(f"{document} names version {named}, the project's is {version}")


def filled(document):
    # As the release shows it, less the history, which is checked on its own.
    lines = text(document).splitlines()
    if document.endswith(("readme.txt", "history.html")) and lines.count("@HISTORY@") != 1:
        fail(f"{document} does not hold the history line @HISTORY@ exactly once")
    return "\n".join(line.replace("@VERSION@", version) for line in lines if line != "@HISTORY@")


check_versions("README.md", text("README.md"))
readme = filled("package/readme.txt")
if title and readme.splitlines()[0] != title:
    fail(f"readme.txt's first line is '{readme.splitlines()[0]}', the module's title '{title}'")
check_versions("package/readme.txt", readme)
for page in sorted((root / "help").glob("*.html")):
    body = filled(f"help/{page.name}")
    check_versions(f"help/{page.name}", body, shown_somewhere=page.name == "index.html")
    if page.name == "index.html" and title and f"<h1>{title}</h1>" not in body:
        fail(f"help/index.html is not headed with the module's title '{title}'")
newest = subprocess.run([sys.executable, str(root / "scripts/fill-doc.py"), "newest", str(root / "help/history.txt")],
                        capture_output=True, text=True)
if newest.returncode != 0:
    fail(f"help/history.txt: {newest.stderr.strip()}")
elif newest.stdout.strip() != version:
    fail(f"the newest history entry is {newest.stdout.strip()}, the project's version {version}")

# --- clock ----------------------------------------------------------------
# The time signal is as right as the PC's clock: the two Windows settings that
# set it and show its seconds, where the time signal is described.
CLOCK_STEPS = ["「今すぐ同期」", "「システム トレイの時計に秒を表示する」"]
for document in ["README.md", "package/readme.txt", "help/dialog.html"]:
    body = text(document)
    for step in CLOCK_STEPS:
        if step not in body:
            fail(f"{document} does not tell the clock's step {step}")
        elif "TimeSignal.wav" not in body[max(0, body.find(step) - 1500):body.find(step) + 1500]:
            fail(f"{document} tells {step} away from the time signal")

# --- links ----------------------------------------------------------------
anchors = {}
for page in (root / "help").glob("*.html"):
    anchors[page.name] = set(re.findall(r'(?:name|id)="([^"]+)"', page.read_text(encoding="utf-8")))
link_sources = sorted((root / "help").glob("*.html")) + [root / "help/Belfry.hhc", root / "help/Belfry.hhk"]
for source in link_sources:
    for target in re.findall(r'(?:href|value)="([^"]*\.html(?:#[^"]*)?|#[^"]*)"', source.read_text(encoding="utf-8")):
        page, _, anchor = target.partition("#")
        page = page or source.name
        if page not in anchors:
            fail(f"help/{source.name} points to {target}: there is no page {page}")
        elif anchor and anchor not in anchors[page]:
            fail(f"help/{source.name} points to {target}: {page} has no anchor {anchor}")

# --- labels ---------------------------------------------------------------
# Windows' own names that the documents quote, as Windows 10 and 11 show them.
WINDOWS_NAMES = {
    "プロパティ", "全般", "許可する", "OK", "すべて展開", "ファイルの場所を開く", "ミュージック",
    "詳細", "ファイル バージョン", "今すぐ同期", "システム トレイの時計に秒を表示する",
    "集中モード", "応答不可", "優先順位のみ", "アラームのみ", "一般の警告音", "?",
    "パスのコピー", "読み取り専用", "名前を付けて保存", "ファイル", "文字コード", "ファイルの種類",
    "すべてのファイル", "ANSI", "UTF-16 LE", "UTF-16 BE", "UTF-8", "UTF-8 (BOM 付き)", '"',
}


def shown_forms(raw):
    # "詳細(&D)..." shows as 詳細(D)...; documents quote it so, or as 詳細... or 詳細.
    shown = raw.replace("&&", "\0").replace("&", "").replace("\0", "&")
    bare = re.sub(r"\(&.\)", "", raw).replace("&", "")
    forms = {shown, bare}
    for form in list(forms):
        forms.add(form.rstrip(":").rstrip())
        forms.add(form.rstrip(":").rstrip().removesuffix("..."))
    return {form for form in forms if form}


dialog_part = rc[rc.find("IDD_SETTINGS DIALOG"):] if "IDD_SETTINGS DIALOG" in rc else ""
controls = {}  # text -> dialog
current = None
for line in dialog_part.splitlines():
    head = re.match(r"^(IDD_\w+) DIALOG", line)
    if head:
        current = head.group(1)
    quoted = re.match(r'^\s*(?:CONTROL|AUTOCHECKBOX|LTEXT|PUSHBUTTON|DEFPUSHBUTTON|CAPTION)\s+"([^"]*)"', line)
    if quoted and quoted.group(1) and current:
        controls[quoted.group(1)] = current
if len(set(controls.values())) < 2:
    fail("found the controls of fewer than two dialogs in Tolltone.rc")
strings = dict(re.findall(r'^\s*(IDS_\w+)\s+"([^"]*)"', table.group(1), re.M)) if table else {}
shown_strings = {name: text.strip() for name, text in strings.items()
                 if not name.startswith("IDS_KEY_") and name != "IDS_LEGACY_KEY"}
intervals = re.findall(r'\{L"([^"]+)",', text("src/dialog/IntervalLists.h"))
labels = set(WINDOWS_NAMES) | set(intervals) | set(shown_strings.values())
if title:
    labels.add(title)
for raw in controls:
    labels |= shown_forms(raw)
preview_at = shown_strings.get("IDS_PREVIEW_AT", "\0")


def is_label(quoted):
    if quoted in labels:
        return True
    # The preview's line: the time it chose, then its string.
    return re.fullmatch(r"\d\d:\d\d:\d\d ?" + re.escape(preview_at), quoted) is not None


def html_text(body):
    return re.sub(r"<[^>]+>", "", body).replace("&quot;", '"').replace("&amp;", "&")


quoting = [("package/readme.txt", readme), ("help/popup.txt", text("help/popup.txt")),
           ("help/history.txt", text("help/history.txt"))]
quoting += [(f"help/{page.name}", html_text(filled(f"help/{page.name}"))) for page in sorted((root / "help").glob("*.html"))]
for document, body in quoting:
    for quoted in re.findall(r"「([^「」]*)」", body):
        if not is_label(quoted):
            fail(f"{document} quotes 「{quoted}」, which no dialog shows and Windows does not name so")

# --- reach ----------------------------------------------------------------
contents = text("help/Belfry.hhc")
in_contents = {value.partition("#")[0] for value in re.findall(r'name="Local" value="([^"]+)"', contents)}
project = text("help/Belfry.hhp")
listed = set(re.findall(r"^(\S+\.html)\s*$", project.split("[FILES]", 1)[-1], re.M))
for page in sorted(p.name for p in (root / "help").glob("*.html")):
    if page not in in_contents:
        fail(f"help/{page} cannot be reached from the contents")
    if page not in listed:
        fail(f"help/{page} is not in Belfry.hhp's file list")
index_entries = re.findall(r'name="Name" value="([^"]+)"><param name="Local" value="([^"]+)"', text("help/Belfry.hhk"))
# Controls whose index entry would say nothing: a frame's heading, a day box,
# the volume's figure, the unit and the note beside the moment sounds.
NO_INDEX_ENTRY = {"モジュール", "時報サウンド", "100 %", "分"}
for raw, dialog in sorted(controls.items()):
    name = re.sub(r"\(&.\)", "", raw).replace("&", "").rstrip(":").strip()
    if len(name) < 2 or name in NO_INDEX_ENTRY or name.startswith("（"):
        continue
    if not any(entry.startswith(name) and local.startswith("dialog.html") for entry, local in index_entries):
        fail(f"the index has no entry for the control {name} pointing to dialog.html")

# --- one place for the file -----------------------------------------------
for page in sorted((root / "help").glob("*.html")):
    if page.name == "settings.html":
        continue
    body = html_text(filled(f"help/{page.name}"))
    for key in sorted(keys):
        if re.search(rf"(?<![A-Za-z]){key}(?![A-Za-z])", body):
            fail(f"help/{page.name} names the key {key}; keys belong to settings.html")

# --- length ---------------------------------------------------------------
shipped = subprocess.run([sys.executable, str(root / "scripts/fill-doc.py"), "text", str(root / "help/history.txt"),
                          str(root / "package/readme.txt"), version], capture_output=True, text=True)
if shipped.returncode != 0:
    fail(f"package/readme.txt: {shipped.stderr.strip()}")
elif len(shipped.stdout.splitlines()) > 120:
    fail(f"readme.txt as shipped is {len(shipped.stdout.splitlines())} lines, more than 120")

for message in failures:
    print(f"FAIL: {message}")
if failures:
    sys.exit(1)
print(f"docs OK: keys {', '.join(sorted(keys))} in README.md, readme.txt and settings.html; version {version}; "
      f"{len(labels)} labels; readme.txt {len(shipped.stdout.splitlines())} lines")
