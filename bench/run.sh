#!/usr/bin/env bash
# Measures the setup program under Wine beside the floor (the same system
# calls and nothing else), the floor without the shortcut, a scripted peer
# installer of the same payload and a program that does nothing; then its
# size over the payload, its imports, and its peak memory and install time
# around 1 MB, 64 MB and 256 MB applications. Writes bench/RESULTS.md.
#
#   bench/run.sh [--quick] [--rounds=N] [--repeats=N] [--out=FILE]
#
# --quick: one round after the warm-up, one repeat, the 1 MB payload only, and
# the results go to the work directory instead of bench/RESULTS.md. Exits
# non-zero when anything fails to build or run, or an install leaves the wrong
# files behind. The work directory is $ORVANTA_BENCH_DIR (default build/bench).
set -euo pipefail
bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$bench/.." && pwd)

quick=0 rounds=7 repeats=3 out="$bench/RESULTS.md"
for argument in "$@"; do
  case "$argument" in
    --quick) quick=1 ;;
    --rounds=*) rounds=${argument#--rounds=} ;;
    --repeats=*) repeats=${argument#--repeats=} ;;
    --out=*) out=${argument#--out=} ;;
    *) echo "usage: bench/run.sh [--quick] [--rounds=N] [--repeats=N] [--out=FILE]" >&2; exit 2 ;;
  esac
done
work=${ORVANTA_BENCH_DIR:-$root/build/bench}
sizes=(1 64 256)
if ((quick)); then
  rounds=1 repeats=1 sizes=(1)
  [[ " $* " == *" --out="* ]] || out="$work/RESULTS.md"
fi

# Message boxes and the desktop need a display; never the user's own.
if [ -z "${ORVANTA_BENCH_XVFB:-}" ]; then
  exec env ORVANTA_BENCH_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

source "$bench/lib.sh"
prepare_environment
build_all
start_prefix
run_comparison
run_memory
run_scaling
report
