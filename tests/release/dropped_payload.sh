#!/usr/bin/env bash
# A release engineer drops another application and read-me in through the two
# cache variables, with no source change; the build refuses unfit payloads.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# A different application: the stand-in with bytes appended, which still runs.
cp "$main_build/payload-staging/Orvanta.exe" "$work/probe.exe"
printf 'probe payload %s' "$(date +%s%N)" >>"$work/probe.exe"
printf '# Probe\r\n\r\n探针说明。\r\n' >"$work/probe.md"

build_setup "$source_dir" "$work/probe" -DORVANTA_APPLICATION_EXE="$work/probe.exe" \
  -DORVANTA_README="$work/probe.md" || { cat "$work/probe.build.log"; fail "build around the probe"; }
cmp "$work/probe/payload-staging/Orvanta.exe" "$work/probe.exe" || fail "staged application"

# The end-to-end tests of the installed bytes and the started application, on this build.
"$source_dir/scripts/wine-run" "$ORVANTA_E2E_TESTS" "--setup=Z:$work/probe/Orvanta-Setup.exe" \
  "--payload=Z:$work/probe/payload-staging" \
  --gtest_filter='InstallTest.ConfirmedInstallWritesPayloadAndOffersToStart:InstallTest.YesStartsTheApplicationInTheTargetDirectory' ||
  fail "the probe build did not install and start its own payload"

refused=0
expect_refusal() {
  local name=$1 message=$2
  shift 2
  # The payload is checked before anything is compiled from it.
  if build_target=orvanta_payload build_setup "$source_dir" "$work/$name" "$@"; then
    fail "$name: the build accepted an unfit payload"
  fi
  tr -s ' \n' ' ' <"$work/$name.build.log" | grep -q "$message" ||
    { cat "$work/$name.build.log"; fail "$name: no clear message"; }
  refused=$((refused + 1))
}
cp "$work/probe.exe" "$work/x86.exe"
# Machine i386 in the PE header: a 32-bit program.
offset=$(od -An -tu4 -j60 -N4 "$work/x86.exe" | tr -d ' ')
printf '\x4c\x01' | dd of="$work/x86.exe" bs=1 seek=$((offset + 4)) conv=notrunc status=none
printf '\xef\xbb\xbf# BOM\r\n' >"$work/bom.md"
printf '# Latin-1 \xe9\r\n' >"$work/latin1.md"
expect_refusal text "is not a 64-bit Windows executable" -DORVANTA_APPLICATION_EXE="$work/probe.md"
expect_refusal x86 "is not a 64-bit Windows executable" -DORVANTA_APPLICATION_EXE="$work/x86.exe"
expect_refusal bom "byte-order mark" -DORVANTA_README="$work/bom.md"
expect_refusal latin1 "is not valid UTF-8" -DORVANTA_README="$work/latin1.md"
echo "$((refused + 1)) passed, 0 failed"
