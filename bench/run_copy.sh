#!/bin/sh
# Builds the copy benchmark in Release and runs it: bench/run_copy.sh [rows]
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DAGENCY_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench --target bench_copy -j2
exec build-bench/bench/copy/bench_copy "${1:-1000000}"
