#!/usr/bin/env bash
# Builds the core's test programs with ThreadSanitizer and runs them, so the
# threaded code (the executors, the settings writer, the clipboard monitor's
# background share-link resolution, notification answers, the stores shared
# between threads) is checked for data races. Known false positives are
# suppressed, each with its reason, in scripts/tsan-suppressions.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
ensure_packages

programs=(platform_tests rules_tests clipboard_tests linkrewriting_tests ruleupdates_tests
          updateawareness_tests)
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    "-DCMAKE_CXX_FLAGS=-fsanitize=thread -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread \
    -DSCOURLET_BUILD_APP=OFF -DSCOURLET_BUILD_BENCHMARKS=OFF
cmake --build build/tsan --parallel "$(nproc)" --target "${programs[@]}"

# The tests of settings shared between processes fork children that start
# threads of their own, while the parent may still run threads that earlier
# tests left (the settings suites' writers); those idle in a wait and hold no
# lock, so the children may go on.
export TSAN_OPTIONS="suppressions=$PWD/scripts/tsan-suppressions.txt halt_on_error=1 second_deadlock_stack=1 die_after_fork=0"
pids=()
for program in "${programs[@]}"; do
    "build/tsan/bin/$program" --gtest_brief=1 >"build/tsan/$program.log" 2>&1 &
    pids+=($!)
done
failed=0
for i in "${!programs[@]}"; do
    if wait "${pids[$i]}"; then
        echo "ThreadSanitizer: ${programs[$i]} passed"
    else
        tail -n 80 "build/tsan/${programs[$i]}.log"
        echo "ThreadSanitizer: ${programs[$i]} FAILED (log: build/tsan/${programs[$i]}.log)"
        failed=1
    fi
done
exit "$failed"
