#!/usr/bin/env bash
# Makes the release: builds the program with the release preset into build/release (not the
# tests), with its third-party notices and bill of materials, lets cpack lay out what cmake
# --install puts in a host's plug-in directory and pack it into
# build/release/hex-viewer-<version>-win64.zip, with its SHA-256 sum beside it (.zip.sha256, as
# sha256sum -c reads it). The archive's file times are SOURCE_DATE_EPOCH, by default the commit's
# time, so the same commit gives the same bytes.
#
# Given a code-signing certificate, it signs the program first (Authenticode, SHA-256), verifies
# the signature and packs the signed program:
#   HV_SIGN_PKCS12         PKCS#12 file with the certificate, its chain and the private key
#   HV_SIGN_PASSWORD       its password (read by osslsigncode from a pipe, not its command line)
#   HV_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server (optional)
#   HV_SIGN_CA             the certificates to verify against (default: the system's)
# The signing time recorded is SOURCE_DATE_EPOCH, so that with an RSA key and no time-stamp
# server the signed archive is the same bytes each time too.
#
# Then it proves the archive holds a program that runs: unpacked into a fresh folder, the program
# dumps a 20-byte sample under Wine for the stand-in viewer, and the dump the viewer receives
# must be the text written out below.
set -euo pipefail
# Files named relative to where the script was started from.
for file in HV_SIGN_PKCS12 HV_SIGN_CA; do
  [[ -z ${!file:-} ]] || export "$file=$(realpath -- "${!file}")"
done
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/setup.sh

if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH

out=build/release
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
name=$(sed -n 's/^set(CPACK_PACKAGE_FILE_NAME "\(.*\)")$/\1/p' "$out/CPackConfig.cmake")
archive="$out/$name.zip"
rm -f "$out"/hex-viewer-*.zip "$out"/hex-viewer-*.zip.sha256
rm -rf "$out/signed"
if [[ -n ${HV_SIGN_PKCS12:-} ]]; then
  mkdir "$out/signed"
  signed=$root/$out/signed/hex-viewer.exe
  sign=(osslsigncode sign -pkcs12 "$HV_SIGN_PKCS12" -h sha256 -n hex-viewer -time "$SOURCE_DATE_EPOCH")
  if [[ -n ${HV_SIGN_PASSWORD:-} ]]; then
    sign+=(-readpass -)
  fi
  if [[ -n ${HV_SIGN_TIMESTAMP_URL:-} ]]; then
    sign+=(-ts "$HV_SIGN_TIMESTAMP_URL")
  fi
  if ! printf '%s' "${HV_SIGN_PASSWORD:-}" | "${sign[@]}" -in "$out/hex-viewer.exe" -out "$signed" \
    >"$out/signed/sign.log" 2>&1; then
    echo "release: signing failed:" >&2
    cat "$out/signed/sign.log" >&2
    exit 1
  fi
  if ! osslsigncode verify -CAfile "${HV_SIGN_CA:-/etc/ssl/certs/ca-certificates.crt}" -in "$signed" \
    >"$out/signed/verify.log" 2>&1; then
    echo "release: the signed program does not verify:" >&2
    cat "$out/signed/verify.log" >&2
    exit 1
  fi
  (cd "$out" && HV_SIGNED_PROGRAM=$signed cpack >/dev/null)
  signature="signed by $(sed -n '/Signer #0:/,/Subject:/s/^[[:space:]]*Subject: //p' "$out/signed/verify.log" | head -1)"
else
  (cd "$out" && cpack >/dev/null)
  signature="unsigned: set HV_SIGN_PKCS12 to sign"
fi
# The External generator also leaves its description of the package there: no part of a release.
rm -f "$out/$name.json" "$out/$name.json.sha256"
(cd "$out" && sha256sum --check --quiet "$name.zip.sha256")

# --- The archive's program runs.
source scripts/wine-env.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$root/$archive")
shipped=$(cd "$work/unpacked" && find . -type f | LC_ALL=C sort | tr '\n' ' ')
expected="./hex-viewer/README.md ./hex-viewer/THIRD-PARTY-NOTICES.txt ./hex-viewer/hex-viewer.cdx.json ./hex-viewer/hex-viewer.exe "
if [[ $shipped != "$expected" ]]; then
  echo "release: the archive holds $shipped, not $expected" >&2
  exit 1
fi
sample="$work/hello.txt"
printf 'Hello, world!\r\nBye\0\377' >"$sample"
sample_windows=$(winepath -w "$sample")
received="$work/viewer-received.hextxt"

status=0
LUMO_TEST_NO_UI=1 LUMO_VIEWER_COPY_TO="$(winepath -w "$received")" \
  wine "$work/unpacked/hex-viewer/hex-viewer.exe" "$sample_windows" "$(winepath -w "$out/stand-in-viewer.exe")" ||
  status=$?
if ((status != 0)); then
  echo "release: the archive's hex-viewer.exe exited with $status" >&2
  exit 1
fi
# The dump is complete when the program exits; the viewer, started on its own, copies it when it
# sees it, or gives up after its wait time-out (30 s) and says so in .timeout.
for _ in $(seq 1200); do
  [[ -f $received || -f $received.timeout ]] && break
  sleep 0.1
done
if [[ ! -f $received ]]; then
  echo "release: the stand-in viewer received no dump$(sed 's/^/: /' "$received.timeout" 2>/dev/null)" >&2
  exit 1
fi

line83() {
  local line
  printf -v line '%83s' ''
  echo "${line// /$1}"
}
{
  printf '%s\r\n' \
    "$(line83 '=')" \
    "[Lumo Hex Dump]" \
    "File:      $sample_windows" \
    "Size:      20 bytes" \
    "Range:     Showing all 20 bytes (0x00000000 - 0x00000013)" \
    "$(line83 '=')" \
    "" \
    "Offset(h)    00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F    Decoded Text" \
    "00000000     48 65 6C 6C 6F 2C 20 77  6F 72 6C 64 21 0D 0A 42    |Hello, world!..B|" \
    "00000010     79 65 00 FF                                         |ye..            |" \
    "" \
    "$(line83 '-')" \
    "[End of File: Fully displayed] (Total: 20 bytes)" \
    "$(line83 '-')"
} >"$work/expected.hextxt"
if ! cmp -s "$work/expected.hextxt" "$received"; then
  echo "release: the archive's program wrote a different dump (expected, then received):" >&2
  diff <(cat -A "$work/expected.hextxt") <(cat -A "$received") >&2 || true
  exit 1
fi
# ...and it went where a host finds it: the dumps folder beside the program.
if ! cmp -s "$received" "$work/unpacked/hex-viewer/dumps/"*" - hello.txt.hextxt"; then
  echo "release: the dump is not in the dumps folder beside the program" >&2
  exit 1
fi

echo "release: $archive ($signature; runs under Wine: the sample's dump is as expected)"
cat "$archive.sha256"
