#!/bin/sh
# Runs a command on a private D-Bus session bus (dbus-run-session), which ends
# with it, so the test never reaches the session bus of the desktop it was
# started from. The test programs point DBUS_SESSION_BUS_ADDRESS away from
# every bus, so the private bus's address is handed on as
# SCOURLET_TEST_SESSION_BUS as well.
#   run-with-session-bus.sh COMMAND [ARGS...]
# Exits 77 (skipped) when dbus-run-session is missing.
set -u
if ! command -v dbus-run-session >/dev/null 2>&1; then
    echo "dbus-run-session is not installed: skipped" >&2
    exit 77
fi
exec dbus-run-session -- sh -c 'SCOURLET_TEST_SESSION_BUS="$DBUS_SESSION_BUS_ADDRESS" exec "$@"' sh "$@"
