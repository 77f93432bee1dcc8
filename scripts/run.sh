#!/usr/bin/env bash
# The main job: builds what a user installs (Tolltone.dll, Belfry.chm, the sample
# chime) and the sample host, then shows the module at work under Wine.
#
#   run.sh [--speakers]     demo: a Wine prefix of its own, the local clock set a few
#                           seconds before ten o'clock, the module strikes the hour;
#                           what it plays is captured to build/demo/heard.wav, or
#                           played on the machine's sound output with --speakers
#   run.sh host [options]   the sample host with your own settings in the build's
#                           prefix; options pass to it (default --seconds 65,
#                           --seconds 0 runs until Ctrl-C)
set -euo pipefail
cd "$(dirname "$0")/.."

mode=demo
speakers=0
case "${1:-}" in
host) mode=host; shift ;;
--speakers) speakers=1; shift ;;
"") ;;
*) echo "usage: run.sh [--speakers] | run.sh host [host options]" >&2; exit 2 ;;
esac

bash scripts/install-deps.sh
bash scripts/build.sh windows Tolltone SampleHost sample_chime help_file > build-windows.log 2>&1 ||
    { cat build-windows.log; exit 1; }
rm -f build-windows.log
bin=$PWD/build/windows/bin
export WINEDEBUG=-all NO_FAKE_STAT=1

# Prints the host's lines, with the settings file's place on this machine too.
host_output() {
    tr -d '\r' | while IFS= read -r line; do
        echo "$line"
        case "$line" in
        "Settings file: "*) echo "  (on this machine: $(winepath -u "${line#Settings file: }" | tr -d '\r'))" ;;
        esac
    done
}

if [ "$mode" = host ]; then
    export WINEPREFIX=$PWD/build/windows/wineprefix
    bash scripts/wine-prefix.sh "$WINEPREFIX"
    [ $# -gt 0 ] || set -- --seconds 65
    echo "Sample chime: $(winepath -w "$bin/Chime.wav" | tr -d '\r') (choose it as WaveName)"
    wine "$bin/SampleHost.exe" "$@" | host_output
    exit 0
fi

# The demo never touches the settings of the build's prefix: it has its own.
demo=$PWD/build/demo
export WINEPREFIX=$demo/wineprefix
bash scripts/wine-prefix.sh "$WINEPREFIX"
rm -rf "$demo/home" "$demo/heard.raw" "$demo/heard.wav" "$demo/host.log"
mkdir -p "$demo/home"
if [ "$speakers" -eq 0 ]; then
    # Everything the sound player plays goes to a file instead of the speakers.
    printf 'pcm.!default { type file; slave.pcm "null"; file "| cat >> %s"; format "raw" }\n' \
        "$demo/heard.raw" > "$demo/home/.asoundrc"
    : > "$demo/heard.raw"
fi

settings=$(HOME=$demo/home wine "$bin/SampleHost.exe" --settings-path | tr -d '\r')
printf '[Tolltone]\r\nEnable=1\r\nSignalType=1\r\nInterval=3600\r\nTimeType=0\r\nWaveName=%s\r\n' \
    "$(winepath -w "$bin/Chime.wav" | tr -d '\r')" > "$(winepath -u "$settings" | tr -d '\r')"
echo "Demo: striking the hour on the 12-hour clock with Chime.wav; the clock starts at 09:59:50"
FAKETIME_DONT_FAKE_MONOTONIC=1 faketime "$(date +%F) 09:59:50" \
    env HOME="$demo/home" wine "$bin/SampleHost.exe" --seconds 25 2>&1 | tee "$demo/host.log" | host_output

fired=$(tr -d '\r' < "$demo/host.log" | sed -n 's/^Chime timer fired at //p' | head -n 1)
[ -n "$fired" ] || { echo "The chime timer never fired"; exit 1; }
if [ "$speakers" -eq 1 ]; then
    echo "Played on the speakers at $fired"
    exit 0
fi
strokes=$(python3 scripts/captured-wav.py "$bin/Chime.wav" "$demo/heard.raw" "$demo/heard.wav")
echo "Captured sound: $demo/heard.wav"
echo "Heard: $strokes strokes at $fired"
