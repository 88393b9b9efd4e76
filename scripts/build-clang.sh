#!/usr/bin/env bash
# Builds the setup program and every test a second time, with clang for the
# same target (x86_64-w64-mingw32, over the mingw-w64 headers and libraries)
# and LLVM's linker, warnings as errors. Its own command, apart from the test
# command: installs clang when missing (lld comes with scripts/deps.sh).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
scripts/deps.sh
if ! dpkg-query -W -f='${Status}' clang 2>/dev/null | grep -q 'install ok installed'; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends clang
fi
cmake --preset windows-cross-clang >/dev/null
cmake --build --preset windows-cross-clang -j "${JOBS:-$(nproc)}"
echo "clang build: ok (build/windows-cross-clang)"
