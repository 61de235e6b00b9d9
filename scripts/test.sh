#!/bin/sh
# Builds zelkscript twice (release with debug info, and AddressSanitizer +
# UndefinedBehaviorSanitizer) and runs the whole test suite in both.
# Fails when anything fails.
set -eu
cd "$(dirname "$0")/.."
JOBS="${JOBS:-2}"

run_flavour() {
    dir="$1"; shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$JOBS"
    ctest --test-dir "$dir" -j "$JOBS" --output-on-failure --timeout 300
}

run_flavour build -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_flavour build-sanitize -DCMAKE_BUILD_TYPE=Debug -DZELKSCRIPT_SANITIZE=ON -DZELKSCRIPT_BENCHMARKS=OFF
echo "all tests passed in both builds"
