#!/usr/bin/env bash
# Builds the setup program and every test a second time, with clang for the
# same target (x86_64-w64-mingw32, over the mingw-w64 headers and libraries)
# and LLVM's linker, warnings as errors. Its own command, apart from the test
# command (scripts/deps.sh installs clang and lld with the rest).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
scripts/deps.sh
cmake --preset windows-cross-clang >/dev/null
cmake --build --preset windows-cross-clang -j "${JOBS:-$(nproc)}"
echo "clang build: ok (build/windows-cross-clang)"
