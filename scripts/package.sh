#!/usr/bin/env bash
# Builds the release zip dist/Tolltone-VERSION-win64.zip: what a user unpacks and
# drops into the launcher. The version is the project's (CMakeLists.txt). The zip
# is the same byte for byte from any checkout of the same commit.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh windows Tolltone help_file sample_chime > build-package.log 2>&1 ||
    { cat build-package.log; exit 1; }
rm -f build-package.log

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
stage=build/package
rm -rf "$stage"
mkdir -p "$stage" dist
cp build/windows/bin/Tolltone.dll build/windows/bin/Belfry.chm build/windows/bin/Chime.wav \
    build/windows/bin/ChimeHour.wav build/windows/bin/ChimeHalf.wav build/windows/bin/ChimeQuarter.wav \
    build/windows/bin/TimeSignal.wav LICENSE "$stage/"
# A Japanese readme that Notepad shows right: UTF-8 with a byte-order mark, CRLF.
# Its history comes from the help's one source of it.
{ printf '\xef\xbb\xbf'; python3 scripts/fill-doc.py text help/history.txt package/readme.txt "$version" |
    sed -e 's/$/\r/'; } > "$stage/readme.txt"
files=(Tolltone.dll Belfry.chm Chime.wav ChimeHour.wav ChimeHalf.wav ChimeQuarter.wav TimeSignal.wav readme.txt LICENSE)
(cd "$stage" && sha256sum "${files[@]}" > SHA256SUMS)

# Every entry carries the commit's time (or SOURCE_DATE_EPOCH), so two checkouts agree.
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 1767225600)}
zip=dist/Tolltone-$version-win64.zip
rm -f "$zip"
python3 scripts/make-zip.py "$zip" "$epoch" "${files[@]/#/$stage/}" "$stage/SHA256SUMS"
echo "$zip: $(stat -c %s "$zip") bytes, SHA-256 $(sha256sum "$zip" | cut -d' ' -f1)"
