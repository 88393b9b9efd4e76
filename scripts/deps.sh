#!/usr/bin/env bash
# Installs the Debian packages that the two README commands need, when missing,
# on Debian 12 or 13 down to a minimal root file system. Every name is
# versionless, so that each release brings its own default (docs/debian.md).
# With arguments it installs only those packages.
set -euo pipefail

packages=(
  # The cross build and its tests.
  cmake make g++-mingw-w64-x86-64-win32 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 lld googletest
  # Wine on a virtual display, and the dialogs' font, capture and keys.
  wine64 xvfb xauth fonts-noto-cjk imagemagick xdotool
  # The release checks: signing, the peer installer, a clean clone.
  osslsigncode openssl nsis git
  # The fuzzers: clang with libFuzzer and the sanitizers' run-time.
  clang libclang-rt-dev
  # The zh_CN.UTF-8 locale's sources, which the Chinese-profile tests compile.
  locales
  # The check that the committed icon is what its generator draws.
  python3
)
[ $# -eq 0 ] || packages=("$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
