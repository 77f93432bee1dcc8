#!/usr/bin/env bash
# Benchmarks: the native core and the cross-built DLL under Wine (code page 932).
# They print figures and ratios; nothing here passes or fails on speed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh native strings_bench paths_bench sounds_bench > /dev/null
bash scripts/build.sh windows Tolltone strings_bench paths_bench sounds_bench load_cycles OnsetHost > /dev/null
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
./build/native/bench/strings_bench
./build/native/bench/paths_bench
./build/native/bench/sounds_bench
export WINEPREFIX=$PWD/build/windows/wineprefix WINEDEBUG=-all NO_FAKE_STAT=1
bash scripts/wine-prefix.sh "$WINEPREFIX"
echo
(cd build/windows/bin && LC_ALL=ja_JP.UTF-8 wine strings_bench.exe && echo && wine paths_bench.exe && echo && wine sounds_bench.exe) | tr -d '\r'
echo
echo "Tolltone.dll: $(stat -c %s build/windows/bin/Tolltone.dll) bytes"
python3 scripts/dll-bytes.py build/windows/bin/Tolltone.dll build/windows/Tolltone.map 10
# Load, QueryQVRModule, SetParentWindow, InitialLoad (portable, beside the
# executable, so each unload saves with a flush), StartModule, StopModule, one
# QM_GetCodeCountA, one QM_StringSplitA and its release, unload.
(cd build/windows/bin && wine load_cycles.exe 1000 --report) | tr -d '\r'

# Onsets of the chime against its boundary, through a sound device that takes
# frames at the stream's rate: 21 minute boundaries each for the default timing
# and for OnTheSecond=1 (the first after the start, when the process has not
# opened its sound device yet, shown apart), a time signal whose cue point is
# its mark, and the time the module's timer held the host's thread per chime
# minute (at most) for a PCM chime, a strike and the time signal; last, the time
# signal from a disk whose every file call takes 3 s.
echo
for scenario in default-timing on-the-second strike-and-moments time-signal slow-sound-disk; do
    rounds=21
    case "$scenario" in time-signal | slow-sound-disk) rounds=4 ;; strike-and-moments) rounds=8 ;; esac
    bash tests/e2e/onset-e2e.sh build/windows/bin "build/windows/bench-onset/$scenario" "$scenario" "$rounds" |
        grep -v "boundary [0-9]*:" || true
done
