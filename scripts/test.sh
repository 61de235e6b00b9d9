#!/bin/sh
# Builds zelkscript twice (release with debug info, and AddressSanitizer +
# UndefinedBehaviorSanitizer) and runs the whole test suite in both; then
# builds the thread tests with ThreadSanitizer and runs only those.
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

# ThreadSanitizer: eight threads with a context each. Some kernels lay out
# memory where ThreadSanitizer cannot work with it ("unexpected memory
# mapping"); without address randomisation it can, so the tests then run
# under setarch -R (its setting passes on to every process ctest starts).
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELKSCRIPT_TSAN=ON \
    -DZELKSCRIPT_BENCHMARKS=OFF >/dev/null
cmake --build build-tsan -j "$JOBS" --target zelkscript_thread_tests
without_randomisation=""
if build-tsan/tests/zelkscript_thread_tests --gtest_list_tests 2>&1 | grep -q "unexpected memory mapping"; then
    without_randomisation="setarch $(uname -m) -R"
fi
$without_randomisation ctest --test-dir build-tsan -R '^threads\.' --output-on-failure --timeout 600
echo "all tests passed in the three builds"
