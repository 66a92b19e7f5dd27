#!/usr/bin/env bash
# The built scourlet program as a shell runs it: output to a full disk or a
# closed descriptor, a reader that stops early, and its help.
#   scourlet-program.sh <scourlet>
set -uo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Never the real home: the tool reads the application's saved settings.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_CACHE_HOME="$work/cache" XDG_STATE_HOME="$work/state"
mkdir -p "$HOME"

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

link='https://example.com/?utm_source=x&id=1'
for ((i = 0; i < 20000; i++)); do echo "line $i $link"; done > "$work/links.txt"

# expect_write_failure <reason> <description> <command...>: the command, run
# with standard output already redirected by the caller, must fail with 3 and
# say why on standard error.
check_write_failure() {
    local status="$1" reason="$2" description="$3"
    if [ "$status" -ne 3 ]; then
        fail "$description: exit status $status, expected 3"
    fi
    if ! grep -q "^scourlet: could not write to standard output: $reason\$" "$work/err"; then
        fail "$description: standard error does not say why: $(head -c 300 "$work/err")"
    fi
}

"$tool" "$link" > /dev/full 2> "$work/err"
check_write_failure $? "No space left on device" "a link to /dev/full"
"$tool" --json "$link" > /dev/full 2> "$work/err"
check_write_failure $? "No space left on device" "--json to /dev/full"
"$tool" -q < "$work/links.txt" > /dev/full 2> "$work/err"
check_write_failure $? "No space left on device" "text to /dev/full"
"$tool" --help > /dev/full 2> "$work/err"
check_write_failure $? "No space left on device" "--help to /dev/full"
"$tool" "$link" >&- 2> "$work/err"
check_write_failure $? "Bad file descriptor" "a link to a closed standard output"
"$tool" -q < "$work/links.txt" >&- 2> "$work/err"
check_write_failure $? "Bad file descriptor" "text to a closed standard output"

# Nothing to write is no failure, even with standard output closed.
"$tool" -q < /dev/null >&- 2> "$work/err" || fail "empty input to a closed output: status $?"

# A reader that stops early ends the tool by SIGPIPE, as for any filter.
"$tool" -q < "$work/links.txt" 2> "$work/err" | head -1 > "$work/first"
statuses=("${PIPESTATUS[@]}")
[ "${statuses[0]}" -eq 141 ] || fail "under head -1: status ${statuses[0]}, expected 141"
[ "$(cat "$work/first")" = "line 0 https://example.com/?id=1" ] || fail "under head -1: $(cat "$work/first")"

# Written as it was read, the output is whole.
"$tool" -q < "$work/links.txt" > "$work/out" 2> "$work/err" || fail "text to a file: status $?"
[ "$(wc -l < "$work/out")" -eq 20000 ] && ! grep -q utm_source "$work/out" ||
    fail "text to a file is not whole and clean"

# The help fits a terminal of 80 columns.
"$tool" --help > "$work/help" || fail "--help: status $?"
if awk 'length > 79 { found = 1 } END { exit !found }' "$work/help"; then
    fail "--help has lines over 79 columns: $(awk 'length > 79' "$work/help")"
fi

# An installed rule update in the XDG data folder that fails verification
# (here a record that no key signed): the tool says so once a run, naming the
# file, and cleans with the shipped rules.
state="$XDG_DATA_HOME/com.morrowgate.scourlet/rules/signed-rules-v1.json"
mkdir -p "$(dirname "$state")"
printf '{"active":{"proof":{"manifest":"e30=","signature":"e30="},"clear":"e30=","supplementary":"e31="}}' > "$state"
warning="scourlet: warning: the installed rule update $state failed verification; the shipped rules are used"
printf 'a %s\nb %s\n' "$link" "$link" | "$tool" -q > "$work/out" 2> "$work/err" || fail "a refused update: status $?"
[ "$(cat "$work/err")" = "$warning" ] || fail "a refused update: standard error says: $(head -c 300 "$work/err")"
[ "$(cat "$work/out")" = "$(printf 'a %s\nb %s' https://example.com/?id=1 https://example.com/?id=1)" ] ||
    fail "a refused update: the text is not cleaned: $(head -c 300 "$work/out")"
rm -r "$XDG_DATA_HOME/com.morrowgate.scourlet"

[ "$failures" -eq 0 ] && echo "all checks passed"
exit $((failures > 0))
