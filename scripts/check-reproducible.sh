#!/usr/bin/env bash
# Builds the release (scripts/release.sh, which also runs the archive's program) of the committed
# tree twice, in two fresh copies at different paths one after the other, and fails unless both
# give the same hex-viewer.exe, debug file, third-party notices, bill of materials and archive,
# byte for byte; then signs both with the same throw-away certificate (scripts/test-certificate.sh)
# and fails unless the signed archives are the same too. Uncommitted changes are in neither.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

# Both builds take the commit's time, as a release made from a clone would.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
# This checkout's Wine serves both copies, so neither waits for a Wine of its own to be made.
export WINEPREFIX=${WINEPREFIX:-$PWD/build/wine}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Paths of different lengths, so that a build path anywhere in the output shows.
copies=("$scratch/a" "$scratch/second-copy")
bash scripts/test-certificate.sh "$scratch/pki"
for copy in "${copies[@]}"; do
  mkdir "$copy"
  git archive --format=tar HEAD | tar -x -C "$copy"
  echo "check-reproducible: building the release in $copy, then signing it"
  bash "$copy/scripts/release.sh" >/dev/null
  (cd "$copy/build/release" &&
    sha256sum hex-viewer.exe hex-viewer.exe.debug THIRD-PARTY-NOTICES.txt hex-viewer.cdx.json hex-viewer-*-win64.zip) \
    >"$copy.sums"
  HV_SIGN_PKCS12=$scratch/pki/signer.p12 HV_SIGN_PASSWORD=throw-away HV_SIGN_CA=$scratch/pki/ca.pem \
    bash "$copy/scripts/release.sh" >/dev/null
  (cd "$copy/build/release" && sha256sum hex-viewer-*-win64.zip | sed 's/$/ (signed)/') >>"$copy.sums"
done

for copy in "${copies[@]}"; do
  echo "--- $copy"
  cat "$copy.sums"
done
if ! cmp -s "${copies[0]}.sums" "${copies[1]}.sums"; then
  echo "check-reproducible: the two builds differ; the first differing bytes of the program:" >&2
  cmp -l "${copies[0]}/build/release/hex-viewer.exe" "${copies[1]}/build/release/hex-viewer.exe" | head >&2 || true
  exit 1
fi
echo "check-reproducible: both builds give the same program, debug file, notices, bill of materials and"
echo "  archive, and the same archive signed"
