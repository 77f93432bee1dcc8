#!/usr/bin/env bash
# The help file: a compiled CHM beside the module holding the page and the popup
# texts, and one popup topic for each control that has context help.
#   check-help.sh HELP_SOURCES BELFRY_CHM
set -euo pipefail
sources=$1
chm=$2
fail() { echo "FAIL: $*"; exit 1; }

[ "$(head -c 4 "$chm")" = "ITSF" ] || fail "$chm is no compiled help file"
for name in /index.html /popup.txt; do
    grep -aq "$name" "$chm" || fail "$name is not listed in $chm"
done
grep -q "時報モジュール" "$sources/index.html" || fail "the page is not the module's Japanese page"

expected="1 2 101 102 104 105 107 108 111 114 115 116 117"
topics=$(sed -n 's/^\.topic \([0-9]*\)$/\1/p' "$sources/popup.txt" | tr '\n' ' ' | sed 's/ $//')
[ "$topics" = "$expected" ] || fail "popup topics are '$topics', expected '$expected'"
# Every topic has a text.
awk '/^\.topic/ { if (open && !text) bad = 1; open = 1; text = 0; next } NF { text = 1 }
     END { if (open && !text) bad = 1; exit bad }' "$sources/popup.txt" || fail "a popup topic has no text"
iconv -f UTF-8 -t CP932 "$sources/popup.txt" > /dev/null || fail "popup.txt does not fit code page 932"
echo "help file OK: $(stat -c %s "$chm") bytes, topics $topics"
