#!/usr/bin/env bash
# Builds the setup program, every test and the fuzzers, then runs all tests
# under Wine, each lane of them on a virtual display of its own, with the
# fuzzers of the pure logic beside them. Prints the wall time of each stage
# and of the whole, and the tests that were skipped with their reasons.
# Options after the command go to ctest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

started=$SECONDS
times=()
# The first lane's Wine prefix; the second is its copy with "-2" appended.
prefix="$root/build/windows-cross/wineprefix"
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
  local status=$? lane
  echo "stage times:"
  printf '  %s\n' "${times[@]}"
  printf '  %-22s %4d s\n' "total" $((SECONDS - started))
  for lane in "$prefix" "$prefix-2"; do
    [ ! -d "$lane" ] || WINEPREFIX="$lane" scripts/wine-prefix-stop
  done
  exit "$status"
}
trap summary EXIT

# The fuzzers build beside the rest, which leaves a core idle at its links
# and while CMake configures, most of which is waiting for the compiler's checks.
# In the test run each fuzz target runs for FUZZ_SECONDS: five seconds reach
# well over a hundred thousand inputs per target here; longer runs are for
# scripts/fuzz.sh on its own.
# A new Wine prefix boots beside the build too, and is ended again, so that the
# lanes' first entries only start its server instead of waiting for a boot.
build() {
  local fuzz boot=""
  mkdir -p build
  scripts/fuzz.sh build &
  fuzz=$!
  if [ ! -f "$prefix/drive_c/windows/system32/kernel32.dll" ]; then
    (
      export WINEPREFIX=$prefix ORVANTA_WINE_UNMANAGED=1 ORVANTA_WINE_DISPLAY=xvfb
      scripts/wine-prefix-init "$prefix-2" && scripts/wine-prefix-stop
    ) >build/prefix-boot.log 2>&1 &
    boot=$!
  fi
  cmake --preset windows-cross -DORVANTA_BUILD_TESTS=ON -DORVANTA_FUZZ_SECONDS="${FUZZ_SECONDS:-5}" >/dev/null &&
    cmake --build --preset windows-cross -j "$(nproc)" || { wait "$fuzz" $boot || true; return 1; }
  wait "$fuzz"
  [ -z "$boot" ] || wait "$boot" || { cat build/prefix-boot.log; return 1; }
}

# Every entry in one run, four at a time, verbosely into a log: the entries
# that use Wine's profile (the reliability checks and the end-to-end tests)
# take turns through their lane's lock, two lanes at once. Beside them run the
# release build, which yields the processors to them, and the fuzzers and
# checks that need no profile, mostly waits for a held file. The entries'
# results and times, the fuzzers' executions and the figures of the
# reliability checks go to the terminal; the whole output stays in the log.
tests() {
  local log=build/tests.log status=0
  ctest --preset windows-cross --parallel 4 --verbose "$@" >"$log" 2>&1 || status=$?
  grep -a -E '^ *[0-9]+/[0-9]+ Test +#|tests passed|Total Test time' "$log" || true
  # The output lines of the fuzz entry and of the reliability entries, by their CTest numbers.
  local numbers
  numbers=$(ctest --preset windows-cross -N -R '^fuzz$' | sed -n -E 's/^ *Test +#([0-9]+): .*/\1/p')
  echo "fuzzing (full output: $log):"
  grep -a -E "^$numbers: .* executions " "$log" | sed -E 's/^[0-9]+: /  /' || true
  numbers=$(ctest --preset windows-cross -N -R '^reliability_' | sed -n -E 's/^ *Test +#([0-9]+): .*/\1/p' | paste -sd '|')
  echo "reliability figures (full output: $log):"
  grep -a -E "^($numbers): .*(seed:|interruptions|states built|operations recorded|DLLs planted|loads [0-9]+ of|exit code|[0-9]+ passed, [0-9]+ failed)" "$log" |
    sed -E 's/^[0-9]+: /  /; s/([0-9]+) passed, ([0-9]+) failed/invariant checks: \1 passed, \2 failed/' || true
  # Starts that Wine failed and a test tried again (tests/e2e/harness.cpp).
  grep -a -E '^[0-9]+: program starts retried: ' "$log" | awk '{ n += $NF } END { printf "program starts retried: %d\n", n }'
  # Whether Wine ran with the kernel's address randomization off (scripts/wine-env.sh).
  (
    WINEPREFIX="$root/build/windows-cross/wineprefix"
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
failed=0
stage "tests" tests "$@" || failed=1
# The fuzzers ran within the tests' stage: their time as CTest measured it.
fuzzing=$(sed -n -E 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: fuzz [ .]+[^0-9]*([0-9]+)\.[0-9]+ sec$/\1/p' build/tests.log)
times+=("$(printf '%-22s %4s s' "  fuzzing, beside them" "${fuzzing:-?}")")
skips
exit "$failed"
