#!/usr/bin/env bash
# Runs the README's examples marked "```sh checked" as written, one block at a
# time in one shell each, from a copy of the repository root whose
# build/release/bin is the built programs. HOME and /tmp (written as such or
# made by mktemp) are moved into a temporary folder, so nothing of the real
# ones, and nothing of the source tree, is touched. Every block runs twice, as a reader may run it again, and
# no block may change a file of the repository copy (the shipped resources
# above all): the examples teach, they do not release.
#   readme-examples.sh <source-dir> <bin-dir>
set -uo pipefail
source_dir="$1"
bin_dir="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_CACHE_HOME="$work/cache" XDG_STATE_HOME="$work/state" TMPDIR="$work/tmp"
root="$work/root"
mkdir -p "$HOME" "$work/tmp" "$root/ScourletCore" "$root/build/release"
cp "$source_dir/README.md" "$root/"
cp -r "$source_dir/ScourletCore/Resources" "$root/ScourletCore/"
ln -s "$bin_dir" "$root/build/release/bin"

# Each block into its own script, with /tmp/ moved.
awk -v out="$work/block" -v tmp="$work/tmp/" '
    /^```sh checked$/ { n++; file = out "-" n ".sh"; inside = 1; next }
    /^```/ && inside { inside = 0; close(file); next }
    inside { gsub("/tmp/", tmp); print > file }
' "$root/README.md"

blocks=("$work"/block-*.sh)
if [ ! -e "${blocks[0]}" ]; then
    echo "FAIL: the README has no checked examples" >&2
    exit 1
fi

# The digest of every file of the repository copy (not the programs).
repository_files() {
    (cd "$root" && find . -path ./build -prune -o -type f -print0 | sort -z | xargs -0 sha256sum)
}
shipped="$(repository_files)"

failures=0
for round in first second; do
    for block in "${blocks[@]}"; do
        if ! (cd "$root" && bash -euo pipefail "$block") > "$work/log" 2>&1; then
            echo "FAIL: this README example does not run as written (the $round time):" >&2
            sed 's/^/    /' "$block" >&2
            echo "  it said:" >&2
            sed 's/^/    /' "$work/log" >&2
            failures=$((failures + 1))
        fi
        now="$(repository_files)"
        if [ "$now" != "$shipped" ]; then
            echo "FAIL: this README example changes files of the repository:" >&2
            sed 's/^/    /' "$block" >&2
            echo "  it changed, made or removed:" >&2
            diff <(echo "$shipped") <(echo "$now") | sed -n 's/^[<>] [0-9a-f]*  \.\//    /p' |
                sort -u >&2
            failures=$((failures + 1))
            shipped="$now"
        fi
    done
done

# What the examples promise to leave behind: the cleaned README in /tmp, and
# the signed files in the scratch folders they made with mktemp.
[ -s "$work/tmp/README-cleaned.md" ] || { echo "FAIL: the examples wrote no /tmp/README-cleaned.md" >&2; failures=$((failures + 1)); }
for file in signed/privacy-services.json signed/privacy-services.sig signed/current.json \
    rules/manifest.json rules/manifest.sig \
    rules/2027.01.15.1/data.min.json rules/2027.01.15.1/scourlet-supplementary.json; do
    made=0
    for scratch in "$work"/tmp/tmp.*/; do
        [ -s "$scratch$file" ] && made=$((made + 1))
    done
    # Each block ran twice, each time in a scratch folder of its own.
    [ "$made" -ge 2 ] || { echo "FAIL: the examples wrote $file in $made fresh scratch folders, not one a run" >&2; failures=$((failures + 1)); }
done
if [ -s "$work/tmp/README-cleaned.md" ] && grep -q "utm_source=x&id=1" "$work/tmp/README-cleaned.md"; then
    echo "FAIL: the README's own links came out uncleaned" >&2
    failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && echo "every checked README example ran twice as written and changed no file"
exit $((failures > 0))
