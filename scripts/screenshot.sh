#!/usr/bin/env bash
# Makes docs/dialog.png: the settings dialog as Wine draws it under Xvfb, with a
# Japanese font standing in for the dialog's font.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh windows Tolltone SampleHost sample_chime > /dev/null

source scripts/start-xvfb.sh 640x480
export WINEDEBUG=-all NO_FAKE_STAT=1
export WINEPREFIX=$PWD/build/windows/wineprefix-screenshot
trap 'wineserver -k 2>/dev/null; kill $xvfb 2>/dev/null' EXIT
bash scripts/wine-prefix.sh "$WINEPREFIX"
# Wine draws captions in Tahoma, which has no Japanese: in this prefix only.
caption=$(mktemp --suffix=.reg)
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n"Tahoma"="IPAPGothic"\n' > "$caption"
wine reg import "$caption" > /dev/null 2>&1
rm -f "$caption"

# Settings worth showing: the hour struck on the 24-hour clock with the sample chime.
settings=$(wine build/windows/bin/SampleHost.exe --settings-path | tr -d '\r')
printf '[Tolltone]\r\nEnable=1\r\nSignalType=1\r\nInterval=3600\r\nTimeType=1\r\nWaveName=%s\r\n' \
    "$(winepath -w build/windows/bin/Chime.wav | tr -d '\r')" > "$(winepath -u "$settings" | tr -d '\r')"

wine build/windows/bin/SampleHost.exe --setting > /dev/null 2>&1 &
host=$!
sleep 6
xwd -root -silent -display "$DISPLAY" | convert xwd:- -trim +repage docs/dialog.png
kill "$host" 2>/dev/null || true
echo "wrote docs/dialog.png"
