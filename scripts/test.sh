#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite: once in a
# normal build and once under AddressSanitizer and UndefinedBehaviorSanitizer.
# Any test failure or sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
export QT_QPA_PLATFORM=offscreen

# A throwaway PostgreSQL server for the tests that need one (see the script).
if [ -x scripts/pg-test-server.sh ]; then
  # shellcheck disable=SC1091
  source scripts/pg-test-server.sh
  trap pg_test_server_stop EXIT
  pg_test_server_start
fi

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  (cd "$dir" && ctest --output-on-failure -j"$jobs" --timeout 600)
}

echo "== Build and tests"
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo

if [ "${AGENCY_SKIP_SANITIZERS:-0}" != 1 ]; then
  echo "== Build and tests under AddressSanitizer and UndefinedBehaviorSanitizer"
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
  export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$root/scripts/ubsan.supp"
  run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DAGENCY_SANITIZE=ON
fi
