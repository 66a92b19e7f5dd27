#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with Clang, AddressSanitizer and UBSan,
# and runs each over its seed corpus and then on new inputs for a while.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]   # default: 5 seconds each, every target
#   scripts/fuzz.sh 600                     # a long run: ten minutes per target
#   scripts/fuzz.sh 60 fuzz_clean           # one target
#
# SCOURLET_FUZZ_SEED fixes libFuzzer's random seed (./test uses 1, so its short
# run tries the same inputs every time); unset, each run picks its own.
#
# Inputs found on the way are kept in build/fuzz/corpus/<target> (not in the
# repository) and used again by the next run. An input that breaks a property
# or trips a sanitizer stops the run; it is saved as
# build/fuzz/artifacts/<target>/crash-* and replayed with
# `build/fuzz/bin/<target> <file>`. Once fixed, copy it into
# fuzz/corpus/<target>/ so every ./test replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
ensure_packages

seconds="${1:-5}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(fuzz_url_components fuzz_clean fuzz_text_links fuzz_command_guard
             fuzz_signed_files fuzz_settings_file fuzz_provider_file)
fi

configure_and_build build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DSCOURLET_FUZZ=ON \
    -DSCOURLET_BUILD_TESTS=OFF -DSCOURLET_BUILD_BENCHMARKS=OFF -DSCOURLET_BUILD_APP=OFF

# The targets never write settings, but keep the real home folder out of reach.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
    XDG_CACHE_HOME="$scratch/cache" XDG_STATE_HOME="$scratch/state"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

for target in "${targets[@]}"; do
    found="build/fuzz/corpus/$target"
    artifacts="build/fuzz/artifacts/$target"
    mkdir -p "$found" "$artifacts"
    log="build/fuzz/$target.log"
    # -timeout: one input taking longer than that is a finding too.
    if ! "build/fuzz/bin/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
        -seed="${SCOURLET_FUZZ_SEED:-0}" -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$found" "fuzz/corpus/$target" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "$target: FAILED (log: $log, input saved under $artifacts/)"
        exit 1
    fi
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
    echo "$target: ${runs:-?} inputs in ${seconds} s, $(ls "fuzz/corpus/$target" | wc -l) seeds replayed, no finding"
done
