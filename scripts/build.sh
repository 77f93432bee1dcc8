#!/usr/bin/env bash
# Configures and builds one preset: windows (DLL, host, Windows tests) or native.
#   build.sh PRESET [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$1
shift
cmake --preset "$preset" > "build-$preset.configure.log" 2>&1 || { cat "build-$preset.configure.log"; exit 1; }
rm -f "build-$preset.configure.log"
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "build/$preset" -j"$(nproc)" "${targets[@]}"
