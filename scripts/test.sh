#!/usr/bin/env bash
# Builds the setup program and every test, fuzzes the pure logic natively, then
# runs all tests under Wine and Xvfb. Options after the command go to ctest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
scripts/deps.sh
cmake --preset windows-cross -DORVANTA_BUILD_TESTS=ON >/dev/null
cmake --build --preset windows-cross -j "$(nproc)"

# Bounded: each fuzz target runs for FUZZ_SECONDS (20 by default).
scripts/fuzz.sh
# The benchmark still builds and runs (one round, a small payload).
bench/run.sh --quick >build/bench-quick.log 2>&1 || { tail -n 40 build/bench-quick.log; exit 1; }
echo "benchmark quick run: ok (build/bench-quick.log)"

export WINEPREFIX="$root/build/windows-cross/wineprefix"
trap 'scripts/wine-prefix-stop' EXIT
# Message boxes need a display; tests find and answer them on this one.
run_ctest() { xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset windows-cross "$@"; }

# The reliability checks first and verbosely, to show the figures they print.
log=build/reliability.log
run_ctest -R '^reliability_' --verbose "$@" >"$log" 2>&1 || { tail -n 100 "$log"; exit 1; }
echo "reliability figures (full output: $log):"
grep -a -E '^[0-9]+: .*(seed:|interruptions|DLLs planted|loads [0-9]+ of|exit code|[0-9]+ passed, [0-9]+ failed)' "$log" |
  sed -E 's/^[0-9]+: /  /; s/([0-9]+) passed, ([0-9]+) failed/invariant checks: \1 passed, \2 failed/' || true

run_ctest -E '^reliability_' "$@"
