#!/usr/bin/env bash
# Makes docs/dialog.png and docs/advanced.png: the settings dialog and its 詳細設定
# dialog as a user sees them, drawn by Wine under Xvfb, with a Japanese font standing in for the dialog's font, Wine's own symbol
# font for the caption's close button, and the sample chime in the user's Music
# folder as the sound.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# The caption buttons are glyphs of the Marlett symbol font, which Wine ships in
# fonts-wine; without it the close button is drawn as the letter "r".
if ! dpkg-query -W -f='${Status}' fonts-wine 2>/dev/null | grep -q "install ok installed"; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends fonts-wine
fi
bash scripts/build.sh windows Tolltone SampleHost sample_chime > /dev/null

source scripts/start-xvfb.sh 640x480
# A user name as a user has one: it names the profile folder of the prefix. A home
# of its own, so that the profile's Music folder is no link into this machine's.
export USER=user LOGNAME=user
export WINEDEBUG=-all NO_FAKE_STAT=1
export WINEPREFIX=$PWD/build/windows/wineprefix-screenshot
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null' EXIT
rm -rf "$WINEPREFIX" "$WINEPREFIX-home"
mkdir -p "$WINEPREFIX-home"
export HOME=$WINEPREFIX-home
bash scripts/wine-prefix.sh "$WINEPREFIX"
# Wine draws captions in Tahoma, which has no Japanese: in this prefix only.
caption=$(mktemp --suffix=.reg)
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n"Tahoma"="IPAPGothic"\n' > "$caption"
wine reg import "$caption" > /dev/null 2>&1
rm -f "$caption"
# Wine does not find fonts-wine's Marlett on its own here: the prefix gets it as an
# installed font, so that the caption's close button is a symbol and not an "r".
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' /v 'Marlett (TrueType)' /d marlett.ttf /f \
    > /dev/null 2>&1
wineserver -k 2>/dev/null || true; wineserver -w

# The sample chime where a user keeps it: the Music folder of the user's profile.
profile=$(wine cmd.exe /c 'echo %USERPROFILE%' 2>/dev/null | tr -d '\r')
music=$(winepath -u "$profile\\Music" | tr -d '\r')
mkdir -p "$music"
cp build/windows/bin/Chime.wav "$music/Chime.wav"
wave="C:\\Users\\${profile##*\\}\\Music\\Chime.wav"
[ -f "$(winepath -u "$wave" | tr -d '\r')" ] || { echo "no $wave in the prefix" >&2; exit 1; }

# Settings worth showing: the hour struck on the 24-hour clock with the sample chime,
# quiet nights and weekends, the clock tower's hour at 60 %.
cp build/windows/bin/ChimeHour.wav "$music/ChimeHour.wav"
settings=$(wine build/windows/bin/SampleHost.exe --settings-path | tr -d '\r')
printf '[Tolltone]\r\nEnable=1\r\nSignalType=1\r\nInterval=3600\r\nTimeType=1\r\nWaveName=%s\r\n' "$wave" \
    > "$(winepath -u "$settings" | tr -d '\r')"
printf 'QuietHours=23:00-07:00\r\nQuietWhenLocked=1\r\nQuietDays=Sat,Sun\r\nVolume=60\r\nHourWaveName=%s\r\n' \
    "${wave%Chime.wav}ChimeHour.wav" >> "$(winepath -u "$settings" | tr -d '\r')"

# Each picture: the host opens the dialog (and presses 詳細 for the second one).
for picture in dialog advanced; do
    press=()
    [ "$picture" = advanced ] && press=(--press 118)
    wine build/windows/bin/SampleHost.exe --setting "${press[@]}" > /dev/null 2>&1 &
    host=$!
    sleep 6
    xwd -root -silent -display "$DISPLAY" | convert xwd:- -trim +repage "docs/$picture.png"
    kill "$host" 2>/dev/null || true
    wineserver -k 2>/dev/null || true; wineserver -w
    echo "wrote docs/$picture.png ($wave)"
done
