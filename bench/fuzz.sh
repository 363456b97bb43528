#!/bin/sh
# Builds the libFuzzer targets (clang, sanitizers) and runs each for a given
# time, one after the other on one core, at low priority. Not part of CI.
#
#   bench/fuzz.sh [seconds per target, default 600] [target ...]
#
# Targets: ini parsers access dbase text excel sqlite (default: all).
# Each target keeps its grown corpus and its findings under
# build-fuzz/fuzz-run/<target>/, so later runs go on from earlier ones.
# A finding (crash-*, leak-*, timeout-*, oom-*) is a file of input bytes:
# replay it with build-fuzz/fuzz/fuzz_<target> <file>, fix the code, and
# copy it to tests/regression/inputs/<target>/ so the normal suite keeps it,
# then move it to findings/fixed/ (only files left in findings/ are counted).
set -eu
case "${1:-}" in
  -h|--help)
    sed -n '2,/^set -eu/p' "$0" | sed '$d; s/^# \{0,1\}//'
    exit 0 ;;
  -*) echo "unknown option: $1 (see --help)" >&2; exit 2 ;;
esac
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${1:-600}
[ $# -gt 0 ] && shift
targets=${*:-"ini parsers access dbase text excel sqlite"}
build=${FUZZ_BUILD_DIR:-build-fuzz}
fixtures="$root/tests/data"

if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DAGENCY_FUZZ=ON -DAGENCY_BUILD_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
for t in $targets; do
  nice -n 10 cmake --build "$build" --target "fuzz_$t" -j"${FUZZ_JOBS:-1}"
done

# Largest input per target: the drivers read whole files, the parsers
# small texts.
max_len() {
  case $1 in
    access) echo 262144 ;;
    excel|sqlite) echo 65536 ;;
    dbase|text|ini) echo 16384 ;;
    *) echo 4096 ;;
  esac
}

# The big seeds come from the samples and the test data at run time
# and are never committed.
runtime_seeds() {
  dir=$1
  rm -rf "$dir" && mkdir -p "$dir"
  case $2 in
    ini)
      cp "$root"/samples/*.ini "$root"/samples/Tpl/*.ini "$dir"/ 2>/dev/null || true ;;
    access)
      for f in "$fixtures"/access/*.mdb "$fixtures"/access/*.accdb; do
        [ -f "$f" ] && [ "$(wc -c <"$f")" -le 262144 ] && cp "$f" "$dir"/
      done ;;
  esac
  return 0
}

summary=""
for t in $targets; do
  run="$build/fuzz-run/$t"
  mkdir -p "$run/corpus" "$run/findings"
  runtime_seeds "$run/seeds" "$t"
  log="$run/last.log"
  echo "== fuzz_$t: ${seconds} s"
  # Fork mode with one job: a finding is saved and the run goes on.
  # The committed seeds, when the target has any (the Access seeds are the
  # fixtures, copied at run time).
  committed="$root/fuzz/corpus/$t"
  [ -d "$committed" ] || committed="$run/seeds"
  nice -n 10 "$build/fuzz/fuzz_$t" "$run/corpus" "$committed" "$run/seeds" \
    -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -max_total_time="$seconds" -max_len="$(max_len "$t")" -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix="$run/findings/" >"$log" 2>&1 || true
  execs=$(grep -o '^#[0-9]*' "$log" | tail -n 1 | tr -d '#')
  findings=$(find "$run/findings" -maxdepth 1 -type f | wc -l)
  summary="$summary$(printf '%-8s executions %12s   findings %3s   (%s)' "$t" "${execs:-0}" "$findings" "$run/findings")
"
done

echo
echo "Per target (this run's executions; open findings):"
printf '%s' "$summary"
