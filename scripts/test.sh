#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite: once in a
# normal build and once under AddressSanitizer and UndefinedBehaviorSanitizer.
# Any test failure or sanitizer report fails the run. Prints the wall time of
# each phase; the last lines are ctest's own summary of the sanitizer run.
#
#   AGENCY_SKIP_SANITIZERS=1   only the normal build and its tests
#   AGENCY_TEST_JOBS=N         parallel compile and test jobs (default: cores)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# Wall time of a phase, printed when it ends, with the processor time its
# processes used where Linux tells it: on a busy machine the wall time grows,
# the processor time does not.
phase_start=0
phase_cpu=0
cpu_seconds() {
  # Children's user and system time of this shell, in clock ticks.
  if [ -r "/proc/$$/stat" ]; then
    awk -v tck="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); print int(($14 + $15) / tck) }' "/proc/$$/stat"
  else
    echo 0
  fi
}
phase() { phase_start=$SECONDS; phase_cpu=$(cpu_seconds); echo "== $1"; }
phase_end() {
  local cpu=$(( $(cpu_seconds) - phase_cpu ))
  echo "== $1: $((SECONDS - phase_start)) s wall, $cpu s processor"
}

phase "Setup"
bash scripts/setup.sh
phase_end "setup"

jobs=${AGENCY_TEST_JOBS:-$(nproc 2>/dev/null || echo 2)}
export QT_QPA_PLATFORM=offscreen

# Compiler cache: paths are taken relative to the checkout and the build
# folder's own name is left out, so a fresh clone in another folder reuses
# what an earlier build of the same sources compiled.
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$root"
  export CCACHE_NOHASHDIR=1
fi

# A throwaway PostgreSQL server for the tests that need one (see the script).
if [ -x scripts/pg-test-server.sh ]; then
  # shellcheck disable=SC1091
  source scripts/pg-test-server.sh
  trap pg_test_server_stop EXIT
  pg_test_server_start
fi

# run_suite NAME DIR TARGET CMAKE-ARGS...: configure and build TARGET in DIR,
# then run every test there.
run_suite() {
  local name=$1 dir=$2 target=$3; shift 3
  phase "Configure and build ($name)"
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j"$jobs" --target "$target"
  phase_end "configure+build ($name)"
  phase "Tests ($name)"
  (cd "$dir" && ctest --output-on-failure -j"$jobs" --timeout 600)
}

# The developers' own build type and flags, so that the compiler cache holds
# most of it already.
run_suite normal build all -DCMAKE_BUILD_TYPE=RelWithDebInfo

if [ "${AGENCY_SKIP_SANITIZERS:-0}" != 1 ]; then
  phase_end "tests (normal)"
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
  export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$root/scripts/ubsan.supp"
  # The tests alone (no programs, no benchmarks); assertions on; -O1, as
  # AddressSanitizer advises, for faster tests, and line tables only (-g1):
  # enough for the reports' stack traces, and less to compile and link.
  run_suite sanitizers build-sanitize agency_tests -DCMAKE_BUILD_TYPE=Debug -DAGENCY_SANITIZE=ON \
    -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1"
fi
