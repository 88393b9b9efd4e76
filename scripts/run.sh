#!/usr/bin/env bash
# Builds the setup program and runs it under Wine, passing its options through.
# Without a display its dialogs could be neither seen nor answered, and the
# unanswered confirmation would count as declined: it then runs with --quiet,
# says so, and lists what the run left in the default directory.
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
  echo "Orvanta-Setup.exe exit code: $status"
else
  options=("$@")
  [[ " $* " == *" --quiet "* ]] || options+=(--quiet)
  echo "No display: running Orvanta-Setup.exe ${options[*]} (with --quiet, as its dialogs cannot be shown)."
  xvfb-run -a scripts/wine-run build/windows-cross/Orvanta-Setup.exe "${options[@]}" || status=$?
  case "$status" in
    0) echo "Orvanta-Setup.exe exit code: 0 (completed)" ;;
    *) echo "Orvanta-Setup.exe exit code: $status (failed; a failure has no dialog with --quiet)" ;;
  esac
  # The default directory, unless the options named another one.
  if [[ " $* " != *" --target="* ]]; then
    local_appdata=$(scripts/wine-run cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
    directory=$(scripts/wine-run winepath -u "$local_appdata\\Programs\\Orvanta" 2>/dev/null | tr -d '\r')
    if [ -d "$directory" ]; then
      echo "$local_appdata\\Programs\\Orvanta now holds: $(ls -A "$directory" | paste -sd' ')"
    else
      echo "$local_appdata\\Programs\\Orvanta does not exist."
    fi
  fi
fi
scripts/wine-prefix-stop
exit "$status"
