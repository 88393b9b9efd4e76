#!/usr/bin/env bash
# The same sources and payload, built again in another folder at another time,
# give a byte-identical Orvanta-Setup.exe.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

copy="$work/elsewhere/orvanta"
mkdir -p "$copy"
(cd "$source_dir" && git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$copy")
build_setup "$copy" "$work/build" || { cat "$work/build.build.log"; fail "second build"; }

first=$(sha256sum <"$main_build/Orvanta-Setup.exe" | cut -d' ' -f1)
second=$(sha256sum <"$work/build/Orvanta-Setup.exe" | cut -d' ' -f1)
echo "main build:   $first"
echo "second build: $second"
[ "$first" = "$second" ] || fail "the two builds differ"
echo "1 passed, 0 failed"
