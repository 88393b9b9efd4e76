#!/usr/bin/env bash
# Builds the setup program and every test, fuzzes the pure logic natively, then
# runs all tests under Wine and Xvfb. Prints the wall time of each stage and of
# the whole, and the tests that were skipped with their reasons. Options after
# the command go to ctest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

started=$SECONDS
times=()
# stage NAME COMMAND...: runs the command, records how long it took and
# returns its status.
stage() {
  local name=$1 begin=$SECONDS status=0
  shift
  "$@" || status=$?
  times+=("$(printf '%-22s %4d s' "$name" $((SECONDS - begin)))$( ((status == 0)) || echo '  FAILED')")
  return "$status"
}
summary() {
  local status=$?
  echo "stage times:"
  printf '  %s\n' "${times[@]}"
  printf '  %-22s %4d s\n' "total" $((SECONDS - started))
  WINEPREFIX="$root/build/windows-cross/wineprefix" scripts/wine-prefix-stop
  exit "$status"
}
trap summary EXIT

build() {
  cmake --preset windows-cross -DORVANTA_BUILD_TESTS=ON >/dev/null
  cmake --build --preset windows-cross -j "$(nproc)"
}

# Bounded: each fuzz target runs for FUZZ_SECONDS. Five seconds reach well
# over a hundred thousand inputs per target here; longer runs are for
# scripts/fuzz.sh on its own.
fuzz() { FUZZ_SECONDS=${FUZZ_SECONDS:-5} scripts/fuzz.sh; }

export WINEPREFIX="$root/build/windows-cross/wineprefix"
# Message boxes need a display; tests find and answer them on this one.
run_ctest() { xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset windows-cross "$@"; }

# Every entry in one run, two at a time, verbosely into a log: the entries
# that use Wine's profile (the reliability checks and the end-to-end tests)
# take turns through their resource lock, while the builds and checks that
# need none run beside them. The entries' results and times and the figures
# of the reliability checks go to the terminal; the whole output stays in the log.
tests() {
  local log=build/tests.log status=0
  run_ctest --parallel 2 --verbose "$@" >"$log" 2>&1 || status=$?
  grep -a -E '^ *[0-9]+/[0-9]+ Test +#|tests passed|Total Test time' "$log" || true
  # The reliability entries' output lines, by their CTest numbers.
  local numbers
  numbers=$(ctest --preset windows-cross -N -R '^reliability_' | sed -n -E 's/^ *Test +#([0-9]+): .*/\1/p' | paste -sd '|')
  echo "reliability figures (full output: $log):"
  grep -a -E "^($numbers): .*(seed:|interruptions|states built|operations recorded|DLLs planted|loads [0-9]+ of|exit code|[0-9]+ passed, [0-9]+ failed)" "$log" |
    sed -E 's/^[0-9]+: /  /; s/([0-9]+) passed, ([0-9]+) failed/invariant checks: \1 passed, \2 failed/' || true
  # Starts that Wine failed and a test tried again (tests/e2e/harness.cpp).
  grep -a -E '^[0-9]+: program starts retried: ' "$log" | awk '{ n += $NF } END { printf "program starts retried: %d\n", n }'
  # Whether Wine ran with the kernel's address randomization off (scripts/wine-env.sh).
  (
    source scripts/wine-env.sh
    layout="random (the kernel refused setarch -R)"
    [ "${#WINE_LAUNCH[@]}" -eq 0 ] || layout="fixed (setarch -R)"
    echo "Wine address layout: $layout"
  )
  if [ "$status" -ne 0 ]; then
    grep -a -E -A 40 '\*\*\*(Failed|Timeout)|^[0-9]+: \[  FAILED  \]' "$log" | tail -n 150
    echo "full output: $log"
  fi
  return "$status"
}

# GoogleTest prints "file:line: Skipped", the reason, then "[  SKIPPED ] Name (N ms)".
# A whole entry that CTest skips printed "Skipped: " and its reason.
skips() {
  awk '/^[0-9]+: Skipped: / { n = $1 + 0; why[n] = substr($0, index($0, "Skipped: ") + 9) }
       /Test +#[0-9]+: .*\*\*\*Skipped/ {
         n = $0; sub(/.*Test +#/, "", n); n += 0; name = $0; sub(/.*Test +#[0-9]+: /, "", name); sub(/ .*/, "", name)
         count++; lines = lines sprintf("  %s: %s\n", name, why[n]); next }
       { sub(/^[0-9]+: /, "") }
       /: Skipped$/ { getline reason; sub(/^[0-9]+: /, "", reason); next }
       /^\[  SKIPPED \] .* \([0-9]+ ms\)$/ {
         name = $4; count++; lines = lines sprintf("  %s: %s\n", name, reason); reason = "" }
       END { printf "skipped tests: %d\n%s", count, lines }' build/tests.log
}

stage "packages" scripts/deps.sh
stage "build" build
stage "fuzzing" fuzz
failed=0
stage "tests" tests "$@" || failed=1
skips
exit "$failed"
