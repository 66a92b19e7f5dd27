#!/bin/sh
# Runs a command on a private D-Bus session bus (dbus-run-session), which ends
# with it, so the test never reaches the session bus of the desktop it was
# started from. The bus and whatever it starts on demand get a temporary home
# folder. The test programs point DBUS_SESSION_BUS_ADDRESS away from every
# bus, so the private bus's address is handed on as SCOURLET_TEST_SESSION_BUS.
#   run-with-session-bus.sh COMMAND [ARGS...]
# Exits 77 (skipped) when dbus-run-session is missing.
set -u
if ! command -v dbus-run-session >/dev/null 2>&1; then
    echo "dbus-run-session is not installed: skipped" >&2
    exit 77
fi
home=$(mktemp -d) || exit 77
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/config" "$home/data" "$home/cache" "$home/runtime"
chmod 700 "$home/runtime"
HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/runtime" \
    dbus-run-session -- sh -c 'SCOURLET_TEST_SESSION_BUS="$DBUS_SESSION_BUS_ADDRESS" exec "$@"' sh "$@"
