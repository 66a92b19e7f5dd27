#!/bin/sh
# Runs a test program on a private X server (Xvfb), whatever DISPLAY says, so
# the test never touches the clipboard of the desktop it was started from.
#   run-under-xvfb.sh PROGRAM [ARGS...]
# Exits 77 (skipped) when Xvfb, xclip or a tool named in SCOURLET_TEST_TOOLS
# (separated by spaces) is missing, or when the server cannot start.
set -u
for tool in Xvfb xclip ${SCOURLET_TEST_TOOLS:-}; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "$tool is not installed: skipped" >&2
        exit 77
    fi
done
displayfile=$(mktemp) || exit 77
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" 2>/dev/null &
xvfb=$!
cleanup() {
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    rm -f "$displayfile"
}
trap cleanup EXIT
tries=0
while [ ! -s "$displayfile" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$xvfb" 2>/dev/null; then
        echo "Xvfb did not start: skipped" >&2
        exit 77
    fi
    sleep 0.05
done
DISPLAY=":$(head -n 1 "$displayfile")"
export DISPLAY
unset WAYLAND_DISPLAY
QT_QPA_PLATFORM=xcb
export QT_QPA_PLATFORM
"$@"
