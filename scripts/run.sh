#!/usr/bin/env bash
# Builds the setup program and runs it under Wine, passing its options through.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
scripts/deps.sh
cmake --preset windows-cross >/dev/null
cmake --build --preset windows-cross -j "$(nproc)" --target Orvanta-Setup
export WINEPREFIX="${WINEPREFIX:-$root/build/windows-cross/run-prefix}"
scripts/wine-prefix-init
status=0
if [ -n "${DISPLAY:-}" ]; then
  scripts/wine-run build/windows-cross/Orvanta-Setup.exe "$@" || status=$?
else
  echo "No display: running under Xvfb, where dialogs cannot be answered (use --quiet)." >&2
  xvfb-run -a scripts/wine-run build/windows-cross/Orvanta-Setup.exe "$@" || status=$?
fi
echo "Orvanta-Setup.exe exit code: $status"
scripts/wine-prefix-stop
exit "$status"
