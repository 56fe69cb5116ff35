#!/bin/sh
# Runs clang-tidy with the checked-in .clang-tidy over every source file under src/, on a build
# tree configured with compile commands; any finding fails. Takes some minutes on two cores.
# Usage: tools/run_clang_tidy.sh [BUILD_DIR]   (default build/tidy, configured here if needed)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build/tidy}
if [ ! -f "$build/compile_commands.json" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
        -DKV_BUILD_BENCH=OFF
fi
# Generated sources (Qt's resources) must exist before their users are analysed.
cmake --build "$build"
run-clang-tidy-14 -p "$build" -quiet "$(pwd)/src/"
