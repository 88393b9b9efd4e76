#!/usr/bin/env bash
# One more build of the setup program, from a copy of the sources in another
# folder, shows two things. The same sources and payload, built again
# elsewhere at another time, give a byte-identical Orvanta-Setup.exe. And a
# release engineer drops another application and read-me in through the two
# cache variables, with no source change, while the build refuses unfit
# payloads; this only reconfigures the build and links the program again.
# The build around the dropped-in payload stays in the main build for
# release_dropped_payload_installs.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

probe="$main_build/release-probe"
rm -rf "$probe"
copy="$probe/elsewhere/orvanta"
mkdir -p "$copy"
(cd "$source_dir" && git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$copy")
build_setup "$copy" "$probe/build" || { cat "$probe/build.build.log"; fail "second build"; }
first=$(sha256sum <"$main_build/Orvanta-Setup.exe" | cut -d' ' -f1)
second=$(sha256sum <"$probe/build/Orvanta-Setup.exe" | cut -d' ' -f1)
echo "main build:   $first"
echo "second build: $second"
[ "$first" = "$second" ] || fail "the two builds differ"

refused=0
# Each refusal names both payload files, so that none inherits the last
# one's from the cache.
expect_refusal() {
  local name=$1 message=$2 application=$3 readme=$4
  # The payload is checked before anything is compiled from it.
  if build_target=orvanta_payload build_setup "$copy" "$probe/build" \
    -DORVANTA_APPLICATION_EXE="$application" -DORVANTA_README="$readme"; then
    fail "$name: the build accepted an unfit payload"
  fi
  tr -s ' \n' ' ' <"$probe/build.build.log" | grep -q "$message" ||
    { cat "$probe/build.build.log"; fail "$name: no clear message"; }
  refused=$((refused + 1))
}
# A different application: the stand-in with bytes appended, which still runs.
cp "$main_build/payload-staging/Orvanta.exe" "$probe/probe.exe"
printf 'probe payload %s' "$(date +%s%N)" >>"$probe/probe.exe"
printf '# Probe\r\n\r\n探针说明。\r\n' >"$probe/probe.md"
cp "$probe/probe.exe" "$work/x86.exe"
# Machine i386 in the PE header: a 32-bit program.
offset=$(od -An -tu4 -j60 -N4 "$work/x86.exe" | tr -d ' ')
printf '\x4c\x01' | dd of="$work/x86.exe" bs=1 seek=$((offset + 4)) conv=notrunc status=none
printf '\xef\xbb\xbf# BOM\r\n' >"$work/bom.md"
printf '# Latin-1 \xe9\r\n' >"$work/latin1.md"
expect_refusal text "is not a 64-bit Windows executable" "$probe/probe.md" "$probe/probe.md"
expect_refusal x86 "is not a 64-bit Windows executable" "$work/x86.exe" "$probe/probe.md"
expect_refusal bom "byte-order mark" "$probe/probe.exe" "$work/bom.md"
expect_refusal latin1 "is not valid UTF-8" "$probe/probe.exe" "$work/latin1.md"

build_setup "$copy" "$probe/build" -DORVANTA_APPLICATION_EXE="$probe/probe.exe" \
  -DORVANTA_README="$probe/probe.md" || { cat "$probe/build.build.log"; fail "build around the probe"; }
cmp "$probe/build/payload-staging/Orvanta.exe" "$probe/probe.exe" || fail "staged application"
echo "$((refused + 2)) passed, 0 failed"
