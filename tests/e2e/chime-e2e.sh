#!/usr/bin/env bash
# End to end: the sample host loads the real Tolltone.dll under Wine, the local
# clock is set just before a chime minute with faketime, and an ALSA file PCM
# captures everything the module plays. The capture must be whole strokes of the WAV,
# sample for sample, with nothing between them but the silence Wine's driver puts in
# when the device runs dry on a loaded machine (tests/e2e/strokes.py).
#
#   chime-e2e.sh BIN_DIR WORK_DIR SCENARIO
set -euo pipefail

bin=$1
work=$2
scenario=$3
: "${WINEPREFIX:?set WINEPREFIX to the build prefix}"
export WINEPREFIX WINEDEBUG=-all NO_FAKE_STAT=1

rm -rf "$work"
mkdir -p "$work/home"
capture="$work/captured.raw"
: > "$capture"
cat > "$work/home/.asoundrc" <<ASOUND
pcm.!default { type file; slave.pcm "null"; file "| cat >> $capture"; format "raw" }
ASOUND

fail() { echo "FAIL [$scenario]: $*"; exit 1; }

# Through a file: Wine's desktop process, started by the first program with a
# window, would inherit a pipe and hold it open while any window lives.
host() {
    HOME="$work/home" wine "$bin/SampleHost.exe" "$@" > "$work/host-answer.txt" 2>&1
    tr -d '\r' < "$work/host-answer.txt"
}

settings_file=$(winepath -u "$(host --settings-path)" | tr -d '\r')
backup="$work/settings.backup"
if [ -f "$settings_file" ]; then cp "$settings_file" "$backup"; fi
restore() { if [ -f "$backup" ]; then cp "$backup" "$settings_file"; else rm -f "$settings_file"; fi; }
trap restore EXIT

# make_wav FRAMES -> windows path (wav_path)
make_wav() {
    local frames=$1
    python3 "$(dirname "$0")/../../scripts/make-wav.py" "$work/chime.wav" --frames "$frames" --rate 22050
    wav_path=$(winepath -w "$work/chime.wav" | tr -d '\r')
}

# extra_wav NAME FRAMES -> windows path of another sound, FRAMES*2 data bytes
extra_wav() {
    python3 "$(dirname "$0")/../../scripts/make-wav.py" "$work/$1.wav" --frames "$2" --rate 22050
    winepath -w "$work/$1.wav" | tr -d '\r'
}

write_settings() {  # ENABLE SIGNALTYPE INTERVAL TIMETYPE [EXTRA LINE]
    printf '[Tolltone]\r\nEnable=%s\r\nSignalType=%s\r\nInterval=%s\r\nTimeType=%s\r\nWaveName=%s\r\n' \
        "$1" "$2" "$3" "$4" "$wav_path" > "$settings_file"
    if [ $# -gt 4 ]; then printf '%s\r\n' "$5" >> "$settings_file"; fi
}


# run_host FAKE_START SILENT_UNTIL_SECONDS HOST_ARGS... : starts the host at the
# fake local time, checks that nothing has played SILENT_UNTIL seconds later, waits.
run_host() {
    local start=$1 silent_until=$2
    shift 2
    FAKETIME_DONT_FAKE_MONOTONIC=1 faketime "2026-12-08 $start" \
        env HOME="$work/home" wine "$bin/SampleHost.exe" "$@" > "$work/host.log" 2>&1 &
    local pid=$!
    sleep "$silent_until"
    local early
    early=$(stat -c %s "$capture")
    # Wine now and then leaves a program hanging in its exit when another starts at
    # the same moment; the host's own work ends with "Exit at", and that is what counts.
    local waited=0
    while kill -0 "$pid" 2>/dev/null && ! grep -q "Exit at" "$work/host.log"; do sleep 1; done
    while kill -0 "$pid" 2>/dev/null && [ "$waited" -lt 20 ]; do sleep 1; waited=$((waited + 1)); done
    if kill -0 "$pid" 2>/dev/null; then
        echo "[$scenario] Wine left the host hanging in its exit for 20 s after \"Exit at\"; ended it"
        kill "$pid" 2>/dev/null; pkill -f "$bin/SampleHost.exe" 2>/dev/null || true
    else
        wait "$pid" || fail "host exited with $? $(cat "$work/host.log")"
    fi
    tr -d '\r' < "$work/host.log"
    [ "$early" -eq 0 ] || fail "$early bytes played before the chime minute"
}

# The module, once unloaded, left no chime timer on the host's window.
expect_no_timer_left() {
    grep -q "Chime timer left behind: no" "$work/host.log" || fail "the unloaded module left its timer armed"
}

# The chime timer did fire in the chime minute: silence is the module's decision.
expect_fired_at() {
    grep -q "Chime timer fired at $1" "$work/host.log" || fail "the chime timer never fired at $1"
}

# expect_strokes COUNT [WAV [VOLUME]]: the capture is COUNT strokes of WAV (chime.wav) at VOLUME percent.
expect_strokes() {
    local got
    got=$(python3 "$(dirname "$0")/strokes.py" "$capture" "${2:-$work/chime.wav}" "${3:-100}") ||
        fail "the capture is not whole strokes of the sound: $got"
    echo "[$scenario] strokes captured, silent samples of Wine's between them: $got (expected $1 strokes)"
    [ "${got% *}" -eq "$1" ] || fail "captured ${got% *} strokes, expected $1"
}

case "$scenario" in
strike-hour)        # 12-hour clock, 10:00 -> ten strokes, nothing before
    make_wav 8000
    write_settings 1 1 3600 0
    run_host 09:59:52 6 --seconds 13
    expect_strokes 10
    expect_no_timer_left
    ;;
once-per-interval)  # every 15 minutes, one chime at :15
    make_wav 8000
    write_settings 1 0 900 0
    run_host 10:13:52 66 --seconds 73
    expect_strokes 1
    ;;
half-hour-zone)     # local 10:00 in UTC+5:30 is 04:30 UTC: the hour strikes by local time
    make_wav 8000
    write_settings 1 1 3600 0
    TZ=Asia/Kolkata run_host 09:59:52 6 --seconds 13
    expect_strokes 10
    ;;
unload-during-strike)  # eleven strokes of a 6 s sound from 11:00; the host unloads at 11:00:03, runs past 11:02
    # A copy of the host and the module with a portable settings file of this
    # scenario's own, so its two minutes run beside the other tests.
    make_wav 132300
    app=$work/app
    mkdir -p "$app"
    cp "$bin/SampleHost.exe" "$bin/Tolltone.dll" "$app/"
    settings_file=$app/Tolltone.ini
    write_settings 1 1 03600 0  # "03600": only the module's own save writes "3600"
    # Count the saves that rename a copy over the file once the host has started the module.
    ( until grep -q "StartModule at" "$work/host.log" 2>/dev/null; do sleep 0.2; done
      exec inotifywait -q -m -e moved_to --format %f "$app" > "$work/renames.log" ) &
    watcher=$!
    bin=$app run_host 10:59:52 6 --portable 1 --seconds 135 --unload-at 11:00:03
    kill "$watcher" 2>/dev/null || true
    grep -q "Unloaded at 11:00:0.*module still mapped: no" "$work/host.log" ||
        fail "the unload did not take effect at once, in the middle of the strike"
    expect_strokes 11
    ! grep -qE "(Chime|Thread) timer fired at 11:0[12]" "$work/host.log" || fail "a timer fired after the unload"
    grep -q "Exit at 11:02" "$work/host.log" || fail "the host did not run past 11:02"
    saves=$(grep -cx "Tolltone.ini" "$work/renames.log" || true)
    [ "$saves" -eq 1 ] || fail "the settings were saved $saves times after the start, not once"
    grep -q $'^Interval=3600\r$' "$settings_file" || fail "the unload did not save the values the module held"
    echo "[$scenario] saves after the start: $saves"
    ;;
no-window)          # a host that never hands over a window: StartModule, unload, then past the next minute
    make_wav 800
    write_settings 1 0 60 0
    run_host 10:59:50 3 --no-parent --seconds 16 --unload-at 10:59:53
    grep -q "StartModule at .*: 1" "$work/host.log" || fail "StartModule did not answer 1 for an enabled module"
    ! grep -q "Thread timer fired" "$work/host.log" || fail "a timer without a window fired"
    grep -q "Exit at 11:00:" "$work/host.log" || fail "the host did not run past 11:00"
    expect_strokes 0
    ;;
quiet-inside)       # 10:00 inside 09:30-10:30: the timer fires, the minute is tested, nothing plays
    make_wav 8000
    write_settings 1 1 03600 0 "QuietHours=09:30-10:30"  # "03600": only a save writes "3600"
    run_host 09:59:52 6 --seconds 13
    expect_fired_at "10:00:0"
    expect_strokes 0
    grep -q $'^Interval=3600\r$' "$settings_file" || fail "the unload did not save"
    grep -q "QuietHours=09:30-10:30" "$settings_file" || fail "the unload's save dropped the quiet key"
    ;;
quiet-outside)      # 10:00 is the end of 22:00-10:00, so outside: ten strokes
    # Wine's shell always reports "accepts notifications" (S_OK, state 5, with or
    # without a display), so the busy and locked keys are on here and must not
    # silence anything; their states are proven by the core tests.
    make_wav 8000
    write_settings 1 1 3600 0 "QuietHours=22:00-10:00"
    printf 'QuietWhenBusy=1\r\nQuietWhenLocked=1\r\n' >> "$settings_file"
    run_host 09:59:52 6 --seconds 13
    expect_strokes 10
    ;;
quiet-midnight)     # 23:00-07:00 crosses midnight and silences the 00:00 strike
    make_wav 8000
    write_settings 1 1 3600 0 "QuietHours=23:00-07:00"
    run_host "23:59:52" 6 --seconds 13
    expect_fired_at "00:00:0"
    expect_strokes 0
    ;;
quarter-sound)      # a clock tower striking the hour: 10:15 sounds the quarter's own sound, once
    make_wav 8000
    quarter=$(extra_wav quarter 6000)
    write_settings 1 1 3600 0 "QuarterWaveName=$quarter"
    printf 'HourWaveName=%s\r\nHalfWaveName=%s\r\n' "$(extra_wav hour 7000)" "$(extra_wav half 5000)" >> "$settings_file"
    run_host 10:13:52 66 --seconds 73
    expect_fired_at "10:15:0"
    expect_strokes 1 "$work/quarter.wav"  # the quarter's own sound, once
    grep -qF "QuarterWaveName=$quarter" "$settings_file" ||
        fail "the unload's save dropped the quarter's key"
    ;;
volume-half)        # Volume=50: ten strokes of the sound with every sample halved
    make_wav 8000
    write_settings 1 1 3600 0 "Volume=50"
    run_host 09:59:52 6 --seconds 13
    expect_strokes 10 "$work/chime.wav" 50
    ;;
quiet-day)          # QuietDays=Wed: the strike of 00:00 after Tuesday 23:59 is Wednesday's, and silent
    make_wav 8000
    write_settings 1 1 3600 0 "QuietDays=Wed"
    run_host 23:59:52 6 --seconds 13
    expect_fired_at "00:00:0"
    expect_strokes 0
    ;;
edit-applies)       # a quarter's sound written into the file after the start sounds at 10:15, no restart
    # (the file is looked at off the host's thread after each tick, and what the look found
    # applies at the next tick: an edit made after 10:13:52 is in force from 10:15)
    make_wav 8000
    quarter=$(extra_wav quarter 6000)
    write_settings 1 1 3600 0
    (
        for _ in $(seq 150); do grep -q "StartModule at" "$work/host.log" 2>/dev/null && break; sleep 0.1; done
        printf 'QuarterWaveName=%s\r\n' "$quarter" >> "$settings_file"
        date +%T.%N > "$work/edited"
    ) &
    run_host 10:13:52 66 --seconds 73
    [ -s "$work/edited" ] || fail "the settings file was never edited"
    echo "[$scenario] edited after: $(grep "StartModule at" "$work/host.log" | tr -d '\r')"
    expect_fired_at "10:15:0"
    expect_strokes 1 "$work/quarter.wav"  # the quarter's sound written after the start
    ;;
exit-while-loaded)  # the host process ends with the module loaded: settings are saved
    make_wav 800
    printf '[Tolltone]\r\nEnable=0\r\nInterval=-1\r\n' > "$settings_file"
    host --seconds 1 --keep-loaded > "$work/host.log"
    grep -q "Interval=4294967295" "$settings_file" || fail "settings not saved at process end: $(cat "$settings_file")"
    echo "[$scenario] saved: $(tr -d '\r' < "$settings_file" | tr '\n' ' ')"
    ;;
*)
    fail "unknown scenario"
    ;;
esac
echo "PASS [$scenario]"
