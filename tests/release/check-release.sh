#!/usr/bin/env bash
# The release zip as a user downloads it: its list, a readme that Notepad shows
# right, checksums that hold, a DLL whose version resource names the release; and
# the same zip, byte for byte, from a second copy of the sources in another folder.
#   check-release.sh SOURCE_DIR BIN_DIR VERSION
set -euo pipefail
sources=$1 bin=$2 version=$3
zip=$sources/dist/Tolltone-$version-win64.zip
fail() { echo "FAIL: $*"; exit 1; }
[ -f "$zip" ] || fail "$zip is missing: scripts/package.sh makes it"

list=$(python3 -c 'import sys, zipfile; print(" ".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip")
[ "$list" = "Tolltone.dll Belfry.chm Chime.wav ChimeHour.wav ChimeHalf.wav ChimeQuarter.wav TimeSignal.wav readme.txt LICENSE SHA256SUMS" ] || fail "the zip holds: $list"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$work/unpacked"
(cd "$work/unpacked" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not hold"
cmp -s "$work/unpacked/Tolltone.dll" "$bin/Tolltone.dll" || fail "the zip's DLL is not the built one"
[ "$(head -c 3 "$work/unpacked/readme.txt" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "readme.txt has no byte-order mark"
[ "$(grep -c $'\r$' "$work/unpacked/readme.txt")" = "$(wc -l < "$work/unpacked/readme.txt")" ] ||
    fail "readme.txt has lines without CRLF"
grep -q "Version$version" "$work/unpacked/readme.txt" || fail "readme.txt does not name version $version"
grep -q "MIT License" "$work/unpacked/LICENSE" || fail "LICENSE is not the MIT licence"

# The time signal as its script makes it: three pips, the tone and a cue point
# on the tone's first frame, 3 s in.
python3 "$sources/scripts/make-wav.py" "$work/TimeSignal.wav" --voice signal
cmp -s "$work/unpacked/TimeSignal.wav" "$work/TimeSignal.wav" || fail "the zip's TimeSignal.wav is not the script's"
python3 - "$work/unpacked/TimeSignal.wav" <<'PY' || fail "TimeSignal.wav does not mark its tone"
import struct, sys
data = open(sys.argv[1], "rb").read()
cue = data.index(b"cue ")
count, _, position, _, _, _, offset = struct.unpack_from("<I6I", data, cue + 8)
rate = struct.unpack_from("<I", data, 24)[0]
samples = struct.unpack_from("<%dh" % (4 * rate), data, 44)
first_loud = lambda lo, hi: next(i for i in range(lo, hi) if abs(samples[i]) > 3000)
pips = [first_loud(s * rate, s * rate + rate // 10) for s in range(3)]
sys.exit(0 if count == 1 and position == offset == 3 * rate and pips[0] < 20 and
         abs(first_loud(3 * rate - 10, 4 * rate) - 3 * rate) < 20 and all(abs(samples[i]) < 10 for i in range(rate // 5, rate)) else 1)
PY

# A guest in the launcher's process: only system libraries, and no runtime that
# takes a thread-local slot at each load or runs start-up code of its own.
headers=$(x86_64-w64-mingw32-objdump -p "$work/unpacked/Tolltone.dll")
imports=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
[ "$imports" = "advapi32.dll comdlg32.dll kernel32.dll msvcrt.dll shell32.dll shlwapi.dll user32.dll winmm.dll " ] ||
    fail "the DLL imports: $imports"
# (Here-strings, not pipes: grep -q stops early and pipefail would count echo's broken pipe.)
! grep -qE '[[:space:]]Tls(Alloc|GetValue|SetValue)$' <<< "$headers" || fail "the DLL takes thread-local slots"
grep -qE '^Entry 9 0+ 0+ Thread Storage' <<< "$headers" || fail "the DLL has a thread-local storage directory"
! x86_64-w64-mingw32-objdump -h "$work/unpacked/Tolltone.dll" | grep -qE ' \.(ctors|dtors|CRT|tls) ' ||
    fail "the DLL has start-up or thread-local sections that no runtime runs"
# Nothing a virus scanner reads as code injection: no calls queued on a thread
# of ours, none ended from outside (names looked up at run time included).
! grep -qaE 'NtQueueApcThread|NtTestAlert|QueueUserAPC|TerminateThread' "$work/unpacked/Tolltone.dll" ||
    fail "the DLL names a call that queues work on a thread or ends one"

# The version resource: the fixed file version and the FileVersion text.
resource=$(python3 - "$work/unpacked/Tolltone.dll" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = data.find(struct.pack("<I", 0xFEEF04BD))
ms, ls = struct.unpack_from("<II", data, at + 8)
text = "FileVersion".encode("utf-16-le") + b"\0\0"
start = data.find(text) + len(text)
start += (4 - start % 4) % 4
end = data.find(b"\0\0", start)
end += (end - start) % 2
print(f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF} {data[start:end].decode('utf-16-le')}")
PY
)
[ "$resource" = "$version.0 $version" ] || fail "the version resource says '$resource', the release $version"

# A second copy of the sources at another path builds the same zip.
copy=$work/elsewhere/Tolltone-copy
mkdir -p "$copy"
(cd "$sources" && git ls-files -z --cached --others --exclude-standard | xargs -0 -I{} cp --parents {} "$copy/")
epoch=$(git -C "$sources" log -1 --format=%ct 2>/dev/null || echo 1767225600)
SOURCE_DATE_EPOCH=$epoch bash "$copy/scripts/package.sh" > "$work/copy.log" 2>&1 || { cat "$work/copy.log"; fail "the copy did not build"; }
for name in Tolltone.dll Belfry.chm Chime.wav ChimeHour.wav ChimeHalf.wav ChimeQuarter.wav TimeSignal.wav; do
    cmp -s "$copy/build/windows/bin/$name" "$bin/$name" || fail "$name differs when built in another folder"
done
cmp -s "$copy/dist/Tolltone-$version-win64.zip" "$zip" || fail "the zip differs when built in another folder"
echo "release OK: $(basename "$zip"), $(stat -c %s "$zip") bytes, SHA-256 $(sha256sum "$zip" | cut -d' ' -f1), same from $copy"
