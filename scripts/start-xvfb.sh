# Sourced: starts Xvfb on a display it picks itself (a stale lock of an earlier
# run is then no obstacle), exports DISPLAY and sets xvfb to its process id.
#   source scripts/start-xvfb.sh WIDTHxHEIGHT
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp 3> "$displayfile" > /dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$displayfile")"
rm -f "$displayfile"
