#!/usr/bin/env bash
# Creates the Wine prefix of a build tree once and sets what the tests rely on:
# no crash dialog (a crash fails a test instead of waiting), no window manager
# wait under a bare Xvfb, no prefix update at every start.
#
#   wine-prefix.sh PREFIX
set -euo pipefail
prefix=$(realpath -m "$1")
export WINEPREFIX=$prefix WINEDEBUG=-all

if [ ! -f "$prefix/system.reg" ]; then
    echo "Creating the Wine prefix $prefix (about 10 s)"
    mkdir -p "$prefix"
    wineboot -i > /dev/null 2>&1 || true
    wineserver -w
fi
echo disable > "$prefix/.update-timestamp"

settings=$(mktemp --suffix=.reg)
cat > "$settings" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
REG
wine reg import "$settings" > /dev/null 2>&1
rm -f "$settings"

# The dialog's font, drawn with a Japanese font that Debian has (regedit takes UTF-16).
fonts=$(mktemp --suffix=.reg)
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"\xef\xbc\xad\xef\xbc\xb3 \xef\xbc\xb0\xe3\x82\xb4\xe3\x82\xb7\xe3\x83\x83\xe3\x82\xaf"="IPAPGothic"\r\n' |
    iconv -f UTF-8 -t UTF-16 > "$fonts"
wine regedit /S "$fonts" > /dev/null 2>&1
rm -f "$fonts"
