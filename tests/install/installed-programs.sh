#!/usr/bin/env bash
# Installs the build into a staging folder (DESTDIR), moves the installed tree
# somewhere else, and runs the installed `scourlet` on a tracked link and the
# installed `scourlet-native-host` on one framed message. Nothing may come from
# the build tree: the programs must find the rule bundle the installation put
# under share/, from their own folder.
#
#   installed-programs.sh <build folder>
set -euo pipefail

build=$(cd "$1" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/scourlet-install-test-XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# Installing and running touch no real home: per-user host manifests, settings
# and data all go below the work folder.
export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/config" XDG_DATA_HOME="$HOME/data" XDG_CACHE_HOME="$HOME/cache"
export XDG_STATE_HOME="$HOME/state"
mkdir -p "$HOME"
unset SCOURLET_RESOURCE_BUNDLE

DESTDIR="$work/stage" cmake --install "$build" --prefix /opt/scourlet >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fail "cmake --install"; }
installed="$work/stage/opt/scourlet"

[[ -f "$installed/share/scourlet/Scourlet_ScourletCore.bundle/data.min.json" ]] ||
    fail "the rule bundle is not under share/scourlet"
[[ ! -e "$installed/bin/Scourlet_ScourletCore.bundle" ]] || fail "data was installed into bin/"

# Elsewhere, under another name: no path of the staging folder or of the
# build tree leads to a bundle any more.
moved="$work/elsewhere/scourlet"
mkdir -p "$work/elsewhere"
mv "$installed" "$moved"
rm -rf "$work/stage"

link='https://shop.example/item?id=7&utm_source=newsletter'
cleaned=$("$moved/bin/scourlet" "$link") || fail "the installed scourlet failed"
[[ "$cleaned" == 'https://shop.example/item?id=7' ]] || fail "scourlet printed '$cleaned'"

# One native message: a 32-bit length in the machine's (little-endian) order, then JSON.
message='{"action":"cleanURL","url":"https://shop.example/item?id=7&utm_source=newsletter"}'
length=${#message}
frame_length=$(printf '\\%03o\\%03o\\%03o\\%03o' $((length & 255)) $(((length >> 8) & 255)) \
    $(((length >> 16) & 255)) $(((length >> 24) & 255)))
reply=$(printf "$frame_length%s" "$message" | "$moved/bin/scourlet-native-host" | tail -c +5) ||
    fail "the installed scourlet-native-host failed"
[[ "$reply" == *'"cleanedURL":"https://shop.example/item?id=7"'* ]] ||
    fail "scourlet-native-host answered '$reply'"

# Without the installed bundle the programs find no rules: the answers above
# came from it, not from anywhere else.
mv "$moved/share/scourlet" "$moved/share/elsewhere"
if "$moved/bin/scourlet" "$link" >/dev/null 2>&1; then
    fail "scourlet still cleaned without the installed bundle"
fi
echo "installed programs run from $moved"
