#!/usr/bin/env bash
# The built program started without a display it can open: one line that
# names the display, status 1 and no core dump, where Qt alone would abort.
# "--check-display", which ./run asks before it starts the program, answers
# the same; on a display that opens (a private Xvfb, when installed) it
# answers 0 and says nothing.
#   display-unopened.sh <scourlet-app>
set -uo pipefail
app="$1"
work="$(mktemp -d)"
xvfb=""
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
# Never the real home or session.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_CACHE_HOME="$work/cache" XDG_STATE_HOME="$work/state" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY WAYLAND_SOCKET QT_QPA_PLATFORM
ulimit -c 0

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# An X display number no server holds.
number=99
while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do
    number=$((number + 1))
done

# name | environment | what the one line says
cases=(
    "X display|DISPLAY=:$number|the X display \":$number\" (DISPLAY) could not be opened"
    "X platform chosen|QT_QPA_PLATFORM=xcb DISPLAY=:$number|the X display \":$number\" (DISPLAY) could not be opened"
    "Wayland display|WAYLAND_DISPLAY=wayland-gone|the Wayland display \"wayland-gone\" (WAYLAND_DISPLAY) could not be opened"
    "no display||neither DISPLAY nor WAYLAND_DISPLAY is set"
)
for entry in "${cases[@]}"; do
    IFS='|' read -r name assignments says <<< "$entry"
    for arguments in "" "--check-display"; do
        # shellcheck disable=SC2086 # the assignments and the argument are words
        timeout 60 env $assignments "$app" $arguments > "$work/out" 2> "$work/err"
        status=$?
        label="$name${arguments:+ ($arguments)}"
        [ "$status" -eq 1 ] || fail "$label: exit status $status, expected 1"
        [ "$(wc -l < "$work/err")" -eq 1 ] ||
            fail "$label: standard error holds $(wc -l < "$work/err") lines, expected one: $(cat "$work/err")"
        grep -qF "$says" "$work/err" || fail "$label: standard error does not say '$says': $(cat "$work/err")"
        [ ! -s "$work/out" ] || fail "$label: standard output is not empty: $(cat "$work/out")"
    done
done

# Qt's own "-platform" comes before the environment: offscreen needs no display.
timeout 60 env DISPLAY=":$number" "$app" --check-display -platform offscreen > "$work/out" 2>&1 ||
    fail "-platform offscreen: exit status $?: $(cat "$work/out")"

# A display that opens.
if command -v Xvfb > /dev/null 2>&1; then
    Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3> "$work/displayfd" 2> /dev/null &
    xvfb=$!
    for ((tries = 0; tries < 200; tries++)); do
        [ -s "$work/displayfd" ] && break
        sleep 0.05
    done
    if [ -s "$work/displayfd" ]; then
        timeout 60 env DISPLAY=":$(head -n 1 "$work/displayfd")" "$app" --check-display \
            > "$work/out" 2>&1 || fail "an open X display: exit status $?: $(cat "$work/out")"
        [ ! -s "$work/out" ] || fail "an open X display: the check says: $(cat "$work/out")"
    else
        echo "Xvfb did not start: the open display is not tried" >&2
    fi
fi

[ "$failures" -eq 0 ] && echo "all checks passed"
exit $((failures > 0))
