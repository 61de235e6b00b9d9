#!/bin/sh
# Builds zelkscript and runs the main job: the demo script of the language's
# features, through the command-line runner.
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "${JOBS:-2}" --target zelkscript
./build/tools/zelkscript examples/demo.zelkscript "${1:-world}"
