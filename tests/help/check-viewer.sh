#!/usr/bin/env bash
# The help file as a Japanese user meets it: Wine's own viewer (hh.exe) opens it
# under the virtual screen in a Japanese locale, and the probe reads the window
# title and counts the contents entries. Without Gecko the viewer renders no page,
# but the title and the contents pane work.
#   check-viewer.sh BIN_DIR BELFRY_CHM
set -euo pipefail
bin=$1
chm=$2
: "${WINEPREFIX:?set WINEPREFIX to the build prefix}"
: "${DISPLAY:?the viewer needs a display}"
fail() { echo "FAIL: $*"; exit 1; }

pages=$(grep -c 'type="text/sitemap"' "$(dirname "$0")/../../help/Belfry.hhc")
# Through a file: Wine's desktop process may start here and keep what it
# inherits open for as long as any window of the session lives.
output=$(mktemp)
trap 'rm -f "$output"' EXIT
LC_ALL=ja_JP.UTF-8 WINEDEBUG=-all wine "$bin/HelpViewerProbe.exe" "$(winepath -w "$chm")" > "$output" 2>&1 ||
    fail "the probe ended with $?: $(cat "$output")"
report=$(tr -d '\r' < "$output")
echo "$report"
title=$(sed -n 's/^Title: //p' <<< "$report")
entries=$(sed -n 's/^Contents entries: //p' <<< "$report")
[ "$title" = "時報モジュール ヘルプ" ] || fail "the viewer's title is '$title'"
[ "${entries:-0}" -ge "$pages" ] || fail "the contents tree has ${entries:-0} entries, the contents file $pages pages"
echo "viewer OK: title '$title', $entries entries"
