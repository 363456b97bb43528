#!/bin/sh
# Builds the copy benchmark in Release and runs it: bench/run_copy.sh [rows]
set -e
case "${1:-}" in
  -h|--help)
    echo "usage: bench/run_copy.sh [ROWS]"
    echo
    echo "Builds bench_copy in Release (build-bench/) and runs it on ROWS rows (default"
    echo "1000000); bench_copy --help tells what it measures."
    exit 0 ;;
  -*) echo "unknown option: $1 (see --help)" >&2; exit 2 ;;
esac
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DAGENCY_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench --target bench_copy -j2
exec build-bench/bench/copy/bench_copy "${1:-1000000}"
