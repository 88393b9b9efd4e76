#!/usr/bin/env bash
# Renders the confirmation, completion and failure dialogs as a user sees them
# (under Xvfb with a Chinese font) into docs/dialogs/*.png. Rerun it whenever a
# dialog changes. With --check it renders the built program's dialogs into a
# temporary folder and fails unless their pixels are those of docs/dialogs
# (the test release_dialog_pictures_current; the rendering is deterministic).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${ORVANTA_MAIN_BUILD:-$root/build/windows-cross}
export WINEPREFIX="$build/dialogs-prefix"
setup="$build/Orvanta-Setup.exe"
export ORVANTA_DIALOGS_OUT=${ORVANTA_DIALOGS_OUT:-$root/docs/dialogs}
out=$ORVANTA_DIALOGS_OUT

# capture TITLE FILE: waits for the window, saves it as PNG, prints its id.
capture() {
  local id=""
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) && [ -n "$id" ] && break
    sleep 0.2
  done
  [ -n "$id" ] || { echo "no window titled $1" >&2; return 1; }
  sleep 0.5
  import -window "$id" "$2"
  echo "$id"
}

render() {
  # The confirmation, then OK, then the completion dialog, then No.
  scripts/wine-run "$setup" --target='C:\Users\Public\Orvanta' --no-shortcut &
  local run=$! id
  id=$(capture "Orvanta 安装" "$out/confirmation.png")
  xdotool key --window "$id" Return
  id=$(capture "Orvanta" "$out/completion.png")
  xdotool key --window "$id" Tab Return
  wait "$run" || true
  # A failure: an argument the program does not know.
  scripts/wine-run "$setup" --unknown &
  run=$!
  id=$(capture "Orvanta 安装失败" "$out/failure.png")
  xdotool key --window "$id" Return
  wait "$run" || true
}

if [ "${1:-}" = "--on-display" ]; then
  render
  exit 0
fi

check=false
[ "${1:-}" = "--check" ] && check=true
$check || scripts/deps.sh
need=()
for p in fonts-noto-cjk imagemagick xdotool; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ] && $check; then
  echo "missing packages to render the dialogs: ${need[*]} (scripts/deps.sh installs them)" >&2
  exit 1
elif [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
if $check; then
  out=$(mktemp -d "${TMPDIR:-/tmp}/orvanta-dialogs.XXXXXX")
  export ORVANTA_DIALOGS_OUT=$out
  trap 'scripts/wine-prefix-stop; rm -rf "$out"' EXIT
else
  cmake --preset windows-cross >/dev/null
  cmake --build --preset windows-cross -j "$(nproc)" --target Orvanta-Setup >/dev/null
  mkdir -p "$out"
  trap 'scripts/wine-prefix-stop' EXIT
fi
scripts/wine-prefix-init
# Link the dialog fonts to a CJK font, as a Chinese Windows does, so that the
# Chinese texts are drawn with real glyphs.
link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
for font in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2"; do
  scripts/wine-run reg add "$link" /v "$font" /t REG_MULTI_SZ \
    /d 'NotoSansCJK-Regular.ttc,Noto Sans CJK SC' /f >/dev/null 2>&1
done
xvfb-run -a -s "-screen 0 1024x768x24" "$0" --on-display
$check || { echo "Rendered into $out"; exit 0; }
differ=0
for picture in confirmation completion failure; do
  if [ "$(identify -format '%#' "$out/$picture.png")" = "$(identify -format '%#' "docs/dialogs/$picture.png")" ]; then
    echo "docs/dialogs/$picture.png: the same pixels as rendered now"
  else
    echo "docs/dialogs/$picture.png differs from the dialog as rendered now" >&2
    differ=1
  fi
done
exit $differ
