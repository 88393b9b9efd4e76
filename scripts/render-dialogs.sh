#!/usr/bin/env bash
# Renders the confirmation, completion and failure dialogs as a user sees them
# (under Xvfb with a Chinese font) into docs/dialogs/*.png. Rerun it whenever a
# dialog changes. With --check it renders the built program's dialogs into a
# temporary folder and fails unless their pixels are those of docs/dialogs
# (the test release_dialog_pictures_current; the rendering is deterministic).
# With ORVANTA_SHARED_PREFIX=1 it renders in the caller's running $WINEPREFIX
# and on the caller's display, as the test does in the tests' own prefix:
# making a second prefix costs more than all the rendering.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${ORVANTA_MAIN_BUILD:-$root/build/windows-cross}
shared=${ORVANTA_SHARED_PREFIX:-0}
if [ "$shared" = 1 ]; then
  : "${WINEPREFIX:?WINEPREFIX must name the running prefix}"
  source scripts/wine-env.sh  # the prefix's own display, when it has one
  : "${DISPLAY:?DISPLAY must name a display}"
else
  export WINEPREFIX="$build/dialogs-prefix"
fi
# The built program is run as a copy under a name of its own, whose windows
# Wine leaves to a window manager whatever the prefix says (the tests' prefix
# says otherwise): so they are drawn as the pictures show them.
pictures_exe=Orvanta-Setup-pictures.exe
setup=${ORVANTA_PICTURES_SETUP:-}
export ORVANTA_DIALOGS_OUT=${ORVANTA_DIALOGS_OUT:-$root/docs/dialogs}
out=$ORVANTA_DIALOGS_OUT

# capture TITLE FILE: waits for the window, saves it as PNG once two captures
# in a row have the same pixels (a loaded machine paints late), prints its id.
# The wait is bounded by the clock, as long as scripts/wine-run's kill: on a
# loaded machine each look itself takes long, so a count of looks ran out
# before a slow start had drawn its window.
capture() {
  local id="" previous="" now="" deadline=$((SECONDS + 240))
  while [ -z "$id" ] && [ "$SECONDS" -lt "$deadline" ]; do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) && [ -n "$id" ] && break
    sleep 0.2
  done
  [ -n "$id" ] || { echo "no window titled $1 within 240 s" >&2; return 1; }
  for _ in $(seq 100); do
    import -window "$id" "$2"
    now=$(identify -format '%#' "$2")
    [ "$now" = "$previous" ] && { echo "$id"; return 0; }
    previous=$now
    sleep 0.2
  done
  echo "the window titled $1 did not keep the same pixels in 100 captures" >&2
  return 1
}

# press ID KEY...: sends each key to the window, pressed and released. A
# dialog closes on the press of Return; Wine 10 destroys its window before the
# release arrives, where Wine 8 still had it, and the X server then refuses the
# release (BadWindow). A release that fails is accepted only when the window
# is gone.
press() {
  local id=$1 key
  shift
  for key in "$@"; do
    xdotool keydown --window "$id" "$key"
    xdotool keyup --window "$id" "$key" 2>/dev/null || ! xdotool getwindowname "$id" >/dev/null 2>&1 ||
      { echo "the release of $key did not reach the window $id" >&2; return 1; }
  done
}

run=""
render() {
  # The same install every time: into a folder that is not there yet.
  rm -rf "$WINEPREFIX/drive_c/users/Public/Orvanta"
  # The confirmation, then OK, then the completion dialog, then No.
  scripts/wine-run "$setup" --target='C:\Users\Public\Orvanta' --no-shortcut &
  run=$!
  local id
  id=$(capture "Orvanta 安装" "$out/confirmation.png")
  press "$id" Return
  id=$(capture "Orvanta" "$out/completion.png")
  press "$id" Tab Return
  wait "$run" || true
  # A failure: an argument the program does not know.
  scripts/wine-run "$setup" --unknown &
  run=$!
  id=$(capture "Orvanta 安装失败" "$out/failure.png")
  press "$id" Return
  wait "$run" || true
  run=""
}

if [ "${1:-}" = "--on-display" ]; then
  # A run whose dialog was not answered ends with the rendering, not at its
  # time limit: it holds the caller's output open until it ends.
  trap '[ -z "$run" ] || kill "$run" 2>/dev/null' EXIT
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
if [ ${#need[@]} -gt 0 ]; then
  echo "missing packages to render the dialogs: ${need[*]} (scripts/deps.sh installs them)" >&2
  exit 1
fi
copy=$(mktemp -d "${TMPDIR:-/tmp}/orvanta-pictures.XXXXXX")
# The caller's prefix is the caller's to stop.
stop=scripts/wine-prefix-stop
[ "$shared" = 1 ] && stop=true
if $check; then
  out=$(mktemp -d "${TMPDIR:-/tmp}/orvanta-dialogs.XXXXXX")
  export ORVANTA_DIALOGS_OUT=$out
  trap '$stop; rm -rf "$out" "$copy"' EXIT
else
  cmake --preset windows-cross >/dev/null
  cmake --build --preset windows-cross -j "$(nproc)" --target Orvanta-Setup >/dev/null
  mkdir -p "$out"
  trap '$stop; rm -rf "$copy"' EXIT
fi
[ "$shared" = 1 ] || scripts/wine-prefix-init
export ORVANTA_PICTURES_SETUP="$copy/$pictures_exe"
setup=$ORVANTA_PICTURES_SETUP
cp "$build/Orvanta-Setup.exe" "$setup"
scripts/wine-run reg add "HKCU\\Software\\Wine\\AppDefaults\\$pictures_exe\\X11 Driver" /v Managed \
  /t REG_SZ /d Y /f >/dev/null 2>&1
# Link the dialog fonts to a CJK font, as a Chinese Windows does, so that the
# Chinese texts are drawn with real glyphs.
link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
for font in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2"; do
  scripts/wine-run reg add "$link" /v "$font" /t REG_MULTI_SZ \
    /d 'NotoSansCJK-Regular.ttc,Noto Sans CJK SC' /f >/dev/null 2>&1
done
if [ "$shared" = 1 ]; then
  "$0" --on-display
else
  xvfb-run -a -s "-screen 0 1024x768x24" "$0" --on-display
fi
$check || { echo "Rendered into $out"; exit 0; }
# The pictures were rendered under Wine 8. Wine 10 draws the same dialogs
# but blends the anti-aliased edge of the stock icon (MB_ICONINFORMATION)
# one level in 255 away from Wine 8 in some pixels. So a picture passes when
# every channel of every pixel is within one level of the rendering, and the
# check says when it was not exact.
differ=0
for picture in confirmation completion failure; do
  rendered=$out/$picture.png committed=docs/dialogs/$picture.png
  if [ "$(identify -format '%#' "$rendered")" = "$(identify -format '%#' "$committed")" ]; then
    echo "$committed: the same pixels as rendered now"
    continue
  fi
  # The largest difference of a channel, as a fraction of full scale; none when the sizes differ.
  peak=$({ compare -metric PAE "$rendered" "$committed" null: 2>&1 || true; } | sed -n -E 's/^[0-9.e+-]+ \(([0-9.e+-]+)\)$/\1/p')
  if [ -n "$peak" ] && awk -v p="$peak" 'BEGIN { exit !(p < 1.5 / 255) }'; then
    count=$(compare -metric AE "$rendered" "$committed" null: 2>&1 || true)
    echo "$committed: the same pixels as rendered now but $count one level in 255 apart (this Wine, $(scripts/wine-run --version 2>/dev/null | tr -d '\r'), blends the stock icon's edge so)"
  else
    echo "$committed differs from the dialog as rendered now (largest channel difference: ${peak:-sizes differ})" >&2
    differ=1
  fi
done
exit $differ
