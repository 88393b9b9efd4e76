# Sourced by the release checks: the source tree, the main build and a
# function that builds the setup program in a folder of its own.
set -euo pipefail
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
main_build=${ORVANTA_MAIN_BUILD:?ORVANTA_MAIN_BUILD names the main build folder}
work=$(mktemp -d "${TMPDIR:-/tmp}/orvanta-release.XXXXXX")
trap 'rm -rf "$work"' EXIT

# build_setup SOURCE BUILD [cmake options...]: configures and builds Orvanta-Setup only
# (or the target named by $build_target), yielding the processors to the Wine
# entries beside it, which take longer.
build_setup() {
  local src=$1 dir=$2 target=${build_target:-Orvanta-Setup}
  shift 2
  cmake -S "$src" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DORVANTA_BUILD_TESTS=OFF "$@" >"$dir.configure.log" 2>&1 &&
    nice -n 10 cmake --build "$dir" --target "$target" -j "$(nproc)" >"$dir.build.log" 2>&1
}

fail() {
  echo "FAILED: $*" >&2
  exit 1
}
