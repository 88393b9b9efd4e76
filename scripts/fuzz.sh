#!/usr/bin/env bash
# Fuzzes the pure logic natively: builds fuzz/ with clang's libFuzzer, ASan and
# UBSan into build/fuzz, runs every target for a bounded time and fails on any
# finding. With "build" it only builds them.
#   FUZZ_SECONDS  seconds per target (default 20)
#   FUZZ_TARGETS  targets to run (default: all)
#   FUZZ_JOBS     targets run at a time (default: one per core)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
seconds=${FUZZ_SECONDS:-20}
targets=${FUZZ_TARGETS:-"path_grammar option_table marker_line error_text"}
build="$root/build/fuzz"

# Runs one target; new inputs go to build/fuzz/work, the committed seeds are
# only read. Prints one summary line and returns non-zero on a finding.
run_target() {
  local t=$1 work="$build/work/$1" findings="$build/findings/$1" log="$build/logs/$1.log"
  mkdir -p "$work" "$findings" "$(dirname "$log")"
  rm -f "$findings"/*
  local rc=0
  "$build/${t}_fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$findings/" "$work" "fuzz/corpus/$t" >"$log" 2>&1 || rc=$?
  local runs found
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  found=$(find "$findings" -type f | wc -l)
  printf '%-14s executions %-10s findings %s\n' "$t" "${runs:-?}" "$found"
  if [ "$rc" -ne 0 ] || [ "$found" -ne 0 ]; then
    grep -E '^(Property failed|  input:|==[0-9]+==ERROR|SUMMARY)' "$log" | sed 's/^/    /' || true
    find "$findings" -type f | sed 's/^/    saved: /'
    echo "    log: $log"
    return 1
  fi
}

scripts/deps.sh clang libclang-rt-dev cmake make
CXX=clang++ cmake -S fuzz -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
[ "${1:-}" != build ] || exit 0

# Each target is one process on one core: as many run at a time as there are
# cores, each for its full time; their lines are printed in the targets' order.
failed=0
jobs=${FUZZ_JOBS:-$(nproc)}
mkdir -p "$build/logs"
set -- $targets
while [ $# -gt 0 ]; do
  batch=("${@:1:jobs}")
  shift $((${#batch[@]}))
  for t in "${batch[@]}"; do
    run_target "$t" >"$build/logs/$t.summary" 2>&1 &
  done
  for t in "${batch[@]}"; do
    wait -n || failed=1
  done
  for t in "${batch[@]}"; do
    cat "$build/logs/$t.summary"
  done
done
exit "$failed"
