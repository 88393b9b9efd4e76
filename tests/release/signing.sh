#!/usr/bin/env bash
# Signs a copy of the setup program with a throwaway self-signed certificate,
# verifies the signature, and installs with the signed program under Wine.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Orvanta Test Signing" \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1 || fail "making the certificate"
cp "$main_build/Orvanta-Setup.exe" "$work/Orvanta-Setup.exe"
cmake -DTOOL="$(command -v osslsigncode)" -DFILE="$work/Orvanta-Setup.exe" \
  -DCERT="$work/cert.pem" -DKEY="$work/key.pem" -P "$source_dir/cmake/Sign.cmake" || fail "signing"
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/Orvanta-Setup.exe" >"$work/verify.log" 2>&1 ||
  { cat "$work/verify.log"; fail "the signature does not verify"; }
grep -q "Signature verification: ok" "$work/verify.log" || fail "no verified signature"
cmp -s "$main_build/Orvanta-Setup.exe" "$work/Orvanta-Setup.exe" && fail "the file was not changed"

target_unix="$work/installed"
"$source_dir/scripts/wine-run" "$work/Orvanta-Setup.exe" --quiet --no-shortcut \
  "--target=Z:$target_unix" || fail "the signed program did not install"
cmp "$target_unix/README.md" "$main_build/payload-staging/README.md" || fail "read-me differs"
cmp "$target_unix/Orvanta.exe" "$main_build/payload-staging/Orvanta.exe" || fail "executable differs"
echo "1 passed, 0 failed"
