#!/usr/bin/env bash
# The end-to-end tests of the installed bytes and the started application, on
# the build around a dropped-in payload that dropped_payload.sh made.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

probe="$main_build/release-probe"
[ -f "$probe/build/Orvanta-Setup.exe" ] || fail "no probe build: release_dropped_payload makes it"
"$source_dir/scripts/wine-run" "$ORVANTA_E2E_TESTS" "--setup=Z:$probe/build/Orvanta-Setup.exe" \
  "--payload=Z:$probe/build/payload-staging" \
  --gtest_filter='InstallTest.ConfirmedInstallWritesPayloadAndOffersToStart:InstallTest.YesStartsTheApplicationInTheTargetDirectory' ||
  fail "the probe build did not install and start its own payload"
cmp "$probe/build/payload-staging/Orvanta.exe" "$probe/probe.exe" || fail "staged application"
echo "1 passed, 0 failed"
