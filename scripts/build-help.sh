#!/usr/bin/env bash
# Compiles Belfry.chm from help/. The sources are UTF-8; the help viewer reads the
# compiled file's own texts (title, contents, index, popups) in the code page of
# its language, 932 for Japanese, so every text source is converted to CP932 here
# and the pages declare Shift_JIS. @VERSION@ becomes the module's version, and
# the line @HISTORY@ of history.html the history of history.txt (fill-doc.py).
# PICTURE is the settings dialog's; the 詳細設定 dialog's, advanced.png, lies beside it.
#   build-help.sh SOURCES WORK_DIR VERSION PICTURE OUTPUT_CHM
set -euo pipefail
sources=$1 work=$2 version=$3 picture=$4 output=$5

rm -rf "$work"
mkdir -p "$work"
for source in "$sources"/*.hhp "$sources"/*.hhc "$sources"/*.hhk "$sources"/*.html "$sources"/popup.txt; do
    python3 "$(dirname "$0")/fill-doc.py" html "$sources/history.txt" "$source" "$version" |
        sed -e 's/charset=UTF-8/charset=Shift_JIS/' | iconv -f UTF-8 -t CP932 > "$work/$(basename "$source")"
done
cp "$picture" "$work/dialog.png"
cp "$(dirname "$picture")/advanced.png" "$work/advanced.png"
(cd "$work" && chmcmd Belfry.hhp > chmcmd.log 2>&1) || { cat "$work/chmcmd.log"; exit 1; }
# The same sources give the same bytes: no compile time in the file.
python3 "$(dirname "$0")/normalize-chm.py" "$work/Belfry.chm"
cp "$work/Belfry.chm" "$output"
