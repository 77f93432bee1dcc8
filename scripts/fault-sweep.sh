#!/usr/bin/env bash
# The whole fault sweep: every call of every failable function of the module
# failed in turn, in a plain, a migrating, an on-the-second, a recovering and a foreign session, once and (with
# "persistent") from that call on. The test command runs a sample of it.
#   fault-sweep.sh [persistent]     (after scripts/build.sh windows)
set -euo pipefail
cd "$(dirname "$0")/.."
export WINEPREFIX=${WINEPREFIX:-$PWD/build/windows/wineprefix} WINEDEBUG=-all
bash scripts/wine-prefix.sh "$WINEPREFIX" > /dev/null
status=0
for session in plain migrating signal recovering foreign; do
    wine build/windows/bin/fault_host.exe sweep "$session" ${1:+"$1"} > build/fault-sweep.log 2>&1 || status=1
    tr -d '\r' < build/fault-sweep.log
done
exit $status
