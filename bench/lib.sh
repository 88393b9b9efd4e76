# Sourced by run.sh: the steps of the benchmark. Uses bench, root, work,
# quick, rounds, repeats, sizes and out from the caller.

src=${ORVANTA_BENCH_SOURCE:-$root}
mingw=x86_64-w64-mingw32
cxx_flags=(-std=c++20 -Os -Wall -Wextra -Wpedantic -Werror -municode -static -s -DUNICODE
           -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0A00)
main_variants=(setup setup-files floor floor-files peer noop)
scaling_variants=(setup setup-files floor floor-files peer)

fail() {
  echo "bench: $*" >&2
  exit 1
}

# C: is the prefix's drive_c, Z: the whole Linux file system.
winpath() {
  local path=$1 drive=Z: c_drive="$WINEPREFIX/drive_c"
  if [[ $path == "$c_drive"/* ]]; then
    drive=C: path=${path#"$c_drive"}
  fi
  printf '%s%s' "$drive" "${path//\//\\}"
}

prepare_environment() {
  # Command lines are split at blanks on their way into the prefix.
  [[ $work != *" "* ]] || fail "the work directory must not contain blanks: $work"
  rm -rf "$work/home" "$work/xdg" "$work/tmp"
  mkdir -p "$work"/{home,xdg/config,xdg/data,xdg/cache,xdg/runtime,tmp,bin,payloads}
  chmod 700 "$work/xdg/runtime"
  # Nothing of the user's own profile is read or written.
  export HOME="$work/home" TMPDIR="$work/tmp" XDG_CONFIG_HOME="$work/xdg/config"
  export XDG_DATA_HOME="$work/xdg/data" XDG_CACHE_HOME="$work/xdg/cache"
  export XDG_RUNTIME_DIR="$work/xdg/runtime"
  export WINEPREFIX="$work/wineprefix"
  source "$root/scripts/wine-env.sh"
  # The user's folders live on C:, as on Windows; they are made when the prefix is.
  profile="$WINEPREFIX/drive_c/orvanta-bench"
  target="$profile/local/Programs/Orvanta"
  shortcut="$profile/programs/Orvanta 演示计时器.lnk"
  samples="$work/samples.tsv"
  artifacts="$work/artifacts.tsv"
  : >"$samples"
  : >"$artifacts"
  # Other work on the machine is what moves the figures most; it is reported.
  load_at_start=$(cut -d' ' -f1-3 /proc/loadavg)
}

# An application of an exact size: a real x64 program padded with random
# bytes after its image, so that the build takes it as an executable. Reused
# while its size fits.
make_payload() {
  local megabytes=$1 file="$work/payloads/Orvanta-${1}m.exe" program="$work/bin/noop.exe"
  if [ "$(stat -c %s "$file" 2>/dev/null || echo 0)" != $((megabytes << 20)) ]; then
    { cat "$program"; head -c $(((megabytes << 20) - $(stat -c %s "$program"))) /dev/urandom; } >"$file"
  fi
  printf '%s' "$file"
}

# The setup program as the project builds it, around the given application;
# further arguments go to the configuration.
build_setup() {
  local dir=$1 application=$2
  shift 2
  local options=("$@" -S "$src" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake"
                 -DCMAKE_BUILD_TYPE=MinSizeRel -DORVANTA_BUILD_TESTS=OFF
                 -DORVANTA_APPLICATION_EXE="$application")
  # A build directory made from another source tree is started afresh.
  if ! grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$src" "$dir/CMakeCache.txt" 2>/dev/null; then
    rm -rf "$dir"
  fi
  cmake "${options[@]}" >"$dir.configure.log" 2>&1 || fail "configure failed: $dir.configure.log"
  cmake --build "$dir" --target Orvanta-Setup -j "$(nproc)" >"$dir.build.log" 2>&1 ||
    fail "build failed: $dir.build.log"
}

# The floor around the payload files that the setup program's build staged.
build_floor() {
  local dir=$1 staging="$1/payload-staging"
  sed -e "s|@APPLICATION@|$staging/Orvanta.exe|" -e "s|@README@|$staging/README.md|" \
    "$bench/floor.rc.in" >"$dir/floor.rc"
  "$mingw-windres" "$dir/floor.rc" -O coff -o "$dir/floor-rc.o"
  "$mingw-g++-win32" "${cxx_flags[@]}" -mwindows "$bench/floor.cpp" "$dir/floor-rc.o" \
    -o "$dir/floor.exe" -lole32 -lshell32 -luuid
}

build_peer() {
  local dir=$1 staging="$1/payload-staging"
  makensis -V1 -INPUTCHARSET UTF8 -DAPPLICATION="$staging/Orvanta.exe" \
    -DREADME="$staging/README.md" -DOUTFILE="$dir/peer.exe" "$bench/peer.nsi" >/dev/null
}

build_tools() {
  "$mingw-g++-win32" "${cxx_flags[@]}" "$bench/launch.cpp" -o "$work/bin/launch.exe" -lpsapi
  "$mingw-g++-win32" "${cxx_flags[@]}" -mwindows "$bench/noop.cpp" -o "$work/bin/noop.exe"
  "$mingw-g++-win32" "${cxx_flags[@]}" -mwindows "$bench/keepalive.cpp" \
    -o "$work/bin/keepalive.exe"
}

# One line per program: name, its file, then the payload files it carries.
record_artifacts() {
  local name=$1 dir=$2 exe=$3
  printf '%s\t%s\t%s\t%s\n' "$name" "$exe" "$dir/payload-staging/Orvanta.exe" \
    "$dir/payload-staging/README.md" >>"$artifacts"
}

build_all() {
  command -v makensis >/dev/null || apt-get install -y nsis >/dev/null
  echo "bench: building in $work"
  build_tools
  build_setup "$work/build-default" ""
  build_floor "$work/build-default"
  build_peer "$work/build-default"
  record_artifacts setup "$work/build-default" "$work/build-default/Orvanta-Setup.exe"
  record_artifacts floor "$work/build-default" "$work/build-default/floor.exe"
  record_artifacts peer "$work/build-default" "$work/build-default/peer.exe"
  local size
  for size in "${sizes[@]}"; do
    build_setup "$work/build-${size}m" "$(make_payload "$size")"
    build_floor "$work/build-${size}m"
    build_peer "$work/build-${size}m"
    record_artifacts "setup-${size}m" "$work/build-${size}m" "$work/build-${size}m/Orvanta-Setup.exe"
  done
  ((quick)) && return
  # The same program with its file layout on page boundaries, which makes
  # Wine map the payload whatever the layout, instead of copying it into
  # private memory when the resource section starts off a page boundary.
  size=${sizes[-1]}
  build_setup "$work/build-${size}m-aligned" "$(make_payload "$size")" \
    -DCMAKE_EXE_LINKER_FLAGS=-Wl,--file-alignment=0x1000
  record_artifacts "setup-${size}m-aligned" "$work/build-${size}m-aligned" \
    "$work/build-${size}m-aligned/Orvanta-Setup.exe"
}

wine_call() {
  timeout --kill-after=10 "${ORVANTA_WINE_TIMEOUT:-300}" "${WINE_LAUNCH[@]}" "$WINE" "$@" </dev/null
}

shell_folder() {
  wine_call reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' \
    /v "$1" /t REG_EXPAND_SZ /d "$(winpath "$2")" /f >/dev/null 2>&1
}

start_prefix() {
  trap '"$root/scripts/wine-prefix-stop"' EXIT
  "$root/scripts/wine-prefix-init"
  rm -rf "$profile"
  mkdir -p "$profile/local" "$profile/programs"
  shell_folder "Local AppData" "$profile/local"
  shell_folder "Programs" "$profile/programs"
  # Held for the whole run, so that no sample pays for the desktop's start.
  timeout 7200 "${WINE_LAUNCH[@]}" "$WINE" "$work/bin/keepalive.exe" 7200 </dev/null >/dev/null 2>&1 &
  sleep 2
  repeat=0 round=0
  sample warmup noop fresh 0 "$(winpath "$work/bin/noop.exe")"
}

# The command line of one variant in one phase, for the build in dir.
command_for() {
  local variant=$1 phase=$2 dir=$3 t
  t=$(winpath "$target")
  local setup floor
  setup=$(winpath "$dir/Orvanta-Setup.exe")
  floor=$(winpath "$dir/floor.exe")
  local remove="" action=install
  [ "$phase" = remove ] && remove=" --remove" action=remove
  case "$variant" in
    setup | setup-aligned) printf '%s --quiet%s --target=%s' "$setup" "$remove" "$t" ;;
    setup-files) printf '%s --quiet --no-shortcut%s --target=%s' "$setup" "$remove" "$t" ;;
    floor) printf '%s %s full %s' "$floor" "$action" "$t" ;;
    floor-files) printf '%s %s files %s' "$floor" "$action" "$t" ;;
    peer) printf '%s /S%s /D=%s' "$(winpath "$dir/peer.exe")" "${remove:+ /REMOVE}" "$t" ;;
    noop) winpath "$work/bin/noop.exe" ;;
  esac
}

# Runs one program through the launcher; records the time seen from Linux
# around the Wine call and the time, exit code and peak memory seen inside.
# Peak memory is read in the set "memory" only, where polling it costs time.
sample() {
  local set=$1 variant=$2 phase=$3 size=$4 command=$5 start end line
  [ "$set" = memory ] && command="--memory $command"
  start=$(date +%s%N)
  # shellcheck disable=SC2086 # the command line is split as Windows would split it
  line=$(wine_call "$work/bin/launch.exe" $command 2>/dev/null | tr -d '\r' | grep -a '^exit=' || true)
  end=$(date +%s%N)
  [ -n "$line" ] || fail "no report from the launcher for: $command"
  local exit_code us ws commit
  read -r exit_code us ws commit <<<"$(sed -E 's/[a-z_]+=//g' <<<"$line")"
  [ "$exit_code" = 0 ] || fail "exit code $exit_code from: $command"
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$set" "$repeat" "$round" "$variant" \
    "$phase" "$size" $(((end - start) / 1000)) "$us" "$ws" "$commit" "$exit_code" >>"$samples"
}

# What each variant must leave behind; a run that did less is no sample.
verify() {
  local variant=$1 phase=$2 dir=$3
  [ "$variant" = noop ] && return 0
  if [ "$phase" = remove ]; then
    [ ! -e "$target" ] || fail "$variant left $target after removal"
    [ ! -e "$shortcut" ] || fail "$variant left the shortcut after removal"
    return 0
  fi
  cmp -s "$target/Orvanta.exe" "$dir/payload-staging/Orvanta.exe" || fail "$variant: wrong Orvanta.exe"
  cmp -s "$target/README.md" "$dir/payload-staging/README.md" || fail "$variant: wrong README.md"
  [ "$(cat "$target/Orvanta-Native.install")" = "Orvanta-Native installer v1" ] ||
    fail "$variant: wrong marker"
  if [[ $variant == *-files ]]; then
    [ ! -e "$shortcut" ] || fail "$variant created a shortcut"
  else
    [ -s "$shortcut" ] || fail "$variant created no shortcut"
  fi
}

run_variant() {
  local set=$1 variant=$2 size=$3 dir=$4 phase
  shift 4
  rm -rf "$target" "$shortcut"
  for phase in "$@"; do
    sample "$set" "$variant" "$phase" "$size" "$(command_for "$variant" "$phase" "$dir")"
    verify "$variant" "$phase" "$dir"
  done
}

# Rounds of every variant in a new random order; round 0 is the warm-up.
run_comparison() {
  local dir="$work/build-default" variant
  for ((repeat = 1; repeat <= repeats; repeat++)); do
    for ((round = 0; round <= rounds; round++)); do
      echo "bench: comparison, repeat $repeat, round $round of $rounds"
      for variant in $(shuf -e "${main_variants[@]}"); do
        run_variant main "$variant" 0 "$dir" fresh update remove
      done
    done
  done
}

# One install and removal of each program with its peak memory polled.
run_memory() {
  local variant
  repeat=1 round=1
  for variant in "${main_variants[@]}"; do
    run_variant memory "$variant" 0 "$work/build-default" fresh remove
  done
}

scaling_dir() {
  local size=$1 variant=$2
  [ "$variant" = setup-aligned ] && printf '%s' "$work/build-${size}m-aligned" && return
  printf '%s' "$work/build-${size}m"
}

run_scaling() {
  local pairs=() size variant pair
  for size in "${sizes[@]}"; do
    for variant in "${scaling_variants[@]}"; do pairs+=("$size:$variant"); done
  done
  ((quick)) || pairs+=("${sizes[-1]}:setup-aligned")
  local scaling_rounds=$((quick ? 1 : 5))
  repeat=1
  for ((round = 0; round <= scaling_rounds; round++)); do
    echo "bench: payload sizes, round $round of $scaling_rounds"
    for pair in $(shuf -e "${pairs[@]}"); do
      size=${pair%%:*} variant=${pair#*:}
      run_variant scaling "$variant" "$size" "$(scaling_dir "$size" "$variant")" fresh remove
    done
  done
  echo "bench: peak memory"
  round=1
  for pair in "${pairs[@]}"; do
    size=${pair%%:*} variant=${pair#*:}
    run_variant memory "$variant" "$size" "$(scaling_dir "$size" "$variant")" fresh remove
  done
}

report() {
  python3 "$bench/report.py" --samples "$samples" --artifacts "$artifacts" --out "$out" \
    --wine "$("$WINE" --version)" $( ((quick)) && echo --quick) \
    --load "$load_at_start; $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "bench: results in $out"
}
