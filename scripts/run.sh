#!/usr/bin/env bash
# The main job: builds Tolltone.dll and the sample host, then runs the host under
# Wine with the freshly built module, as the launcher would load it.
#   run.sh [host options]   default: --seconds 65; --seconds 0 runs until Ctrl-C
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh windows Tolltone SampleHost sample_chime > build-windows.log 2>&1 ||
    { cat build-windows.log; exit 1; }
rm -f build-windows.log

export WINEPREFIX=$PWD/build/windows/wineprefix WINEDEBUG=-all NO_FAKE_STAT=1
bash scripts/wine-prefix.sh "$WINEPREFIX"

[ $# -gt 0 ] || set -- --seconds 65
bin=build/windows/bin
echo "Sample chime: $(winepath -w "$bin/Chime.wav" | tr -d '\r') (choose it as WaveName)"
wine "$bin/SampleHost.exe" "$@" | tr -d '\r' | while IFS= read -r line; do
    echo "$line"
    case "$line" in
    "Settings file: "*) echo "  (on this machine: $(winepath -u "${line#Settings file: }" | tr -d '\r'))" ;;
    esac
done
