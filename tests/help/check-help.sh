#!/usr/bin/env bash
# The compiled help file, read back with a reader independent of its compiler
# (chmlib's enum_chmLib and extract_chmLib): the contents and the index, every
# page of the project, and the popup texts, one topic for each control that has
# context help, each decoding from code page 932 to a text.
#   check-help.sh HELP_SOURCES BELFRY_CHM
set -euo pipefail
sources=$1
chm=$2
fail() { echo "FAIL: $*"; exit 1; }

[ "$(head -c 4 "$chm")" = "ITSF" ] || fail "$chm is no compiled help file"
listing=$(enum_chmLib "$chm")
files=$(sed -n '/^\[FILES\]/,/^\[/p' "$sources/Belfry.hhp" | grep -v '^\[' | grep -v '^$')
for name in Belfry.hhc Belfry.hhk $files; do
    grep -q "[[:space:]]/$name\$" <<< "$listing" || fail "/$name is not in $chm"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
extract_chmLib "$chm" "$work" > /dev/null
for name in Belfry.hhc Belfry.hhk popup.txt $(grep '\.html$' <<< "$files"); do
    iconv -f CP932 -t UTF-8 "$work/$name" > "$work/$name.utf8" || fail "$name is not CP932 text"
done
# Decoded from CP932 they read as their UTF-8 sources: nothing was compiled in another code page.
diff -q <(tr -d '\r' < "$work/popup.txt.utf8") <(tr -d '\r' < "$sources/popup.txt") > /dev/null ||
    fail "popup.txt does not decode from CP932 to its source"
diff -q <(tr -d '\r' < "$work/Belfry.hhc.utf8") <(sed 's/charset=UTF-8/charset=Shift_JIS/' "$sources/Belfry.hhc" | tr -d '\r') \
    > /dev/null || fail "the contents do not decode from CP932 to their source"
grep -q 'charset=Shift_JIS' "$work/index.html" || fail "the pages do not declare their code page"
grep -q '時報モジュール' "$work/index.html.utf8" || fail "the first page is not the module's Japanese page"
for page in $(grep '\.html$' <<< "$files"); do
    grep -q "value=\"$page\"" "$work/Belfry.hhc.utf8" || fail "$page is not in the contents"
done

expected="1 2 101 102 104 105 107 108 111 114 115 116 117 118 201 202 203 211 212 213 214 215 216 217 221 222 231 241 242 243 244 245 246 247 248 249 251 252 259 261 262"
topics=$(sed -n 's/^\.topic \([0-9]*\)\r\{0,1\}$/\1/p' "$work/popup.txt.utf8" | tr '\n' ' ' | sed 's/ $//')
[ "$topics" = "$expected" ] || fail "popup topics are '$topics', expected '$expected'"
awk '/^\.topic/ { if (open && !text) bad = 1; open = 1; text = 0; next } NF { text = 1 }
     END { if (open && !text) bad = 1; exit bad }' "$work/popup.txt.utf8" || fail "a popup topic has no text"
entries=$(grep -c 'type="text/sitemap"' "$work/Belfry.hhc.utf8")
keywords=$(grep -c 'type="text/sitemap"' "$work/Belfry.hhk.utf8")
echo "help file OK: $(stat -c %s "$chm") bytes, $entries contents entries, $keywords index entries, topics $topics"
