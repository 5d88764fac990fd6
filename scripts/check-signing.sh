#!/usr/bin/env bash
# Makes the release signed, with a throw-away certificate authority and code-signing certificate
# made on the spot (scripts/test-certificate.sh), and then unsigned, and fails unless
# - the signed program in the archive verifies against that authority, and not against the
#   system's authorities;
# - the digest its signature covers is the Authenticode digest of the unsigned release's program,
#   which anyone can build again from the commit: what a host signed is that program;
# - the archive's bill of materials gives the signed program's SHA-256, and validates;
# - the signed program with one byte changed fails verification.
# scripts/release.sh itself runs each archive's program under Wine on a sample. The unsigned
# release is made last, so that no test-signed archive is left in build/release.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if [[ "$(osslsigncode --help 2>&1 || true)" != *extract-data* ]]; then
  echo "check-signing: $(osslsigncode --version | head -1) has no extract-data (2.6 or later has)" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bash scripts/test-certificate.sh "$work/pki"
unpack() {
  mkdir "$work/$1"
  (cd "$work/$1" && cmake -E tar xf "$(echo "$OLDPWD"/build/release/hex-viewer-*-win64.zip)")
}
HV_SIGN_PKCS12=$work/pki/signer.p12 HV_SIGN_PASSWORD=throw-away HV_SIGN_CA=$work/pki/ca.pem \
  bash scripts/release.sh >/dev/null
unpack signed
bash scripts/release.sh >/dev/null
unpack unsigned
signed=$work/signed/hex-viewer/hex-viewer.exe
unsigned=$work/unsigned/hex-viewer/hex-viewer.exe

findings=()
if ! osslsigncode verify -CAfile "$work/pki/ca.pem" -in "$signed" >"$work/verify.log" 2>&1; then
  findings+=("the signed program does not verify against its authority: $(grep -i 'fail\|error' "$work/verify.log" | head -3)")
fi
if osslsigncode verify -in "$signed" >/dev/null 2>&1; then
  findings+=("the signed program verifies against the system's authorities, which never issued its certificate")
fi
covered=$(sed -n 's/^Current message digest *: *\([0-9A-Fa-f]*\).*/\1/p' "$work/verify.log")
osslsigncode extract-data -h sha256 -in "$unsigned" -out "$work/unsigned.data" >/dev/null
rebuilt=$(openssl asn1parse -inform DER -in "$work/unsigned.data" | sed -n 's/.*OCTET STRING *\[HEX DUMP\]://p')
if [[ -z $covered || ${covered^^} != "${rebuilt^^}" ]]; then
  findings+=("the signature covers the digest '$covered', the unsigned program's Authenticode digest is '$rebuilt'")
fi
listed=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["metadata"]["component"]["hashes"][0]["content"])' \
  "$work/signed/hex-viewer/hex-viewer.cdx.json")
if [[ $listed != "$(sha256sum <"$signed" | cut -d' ' -f1)" ]]; then
  findings+=("the bill of materials gives $listed, not the signed program's SHA-256")
fi
bash scripts/check-sbom.sh "$work/signed/hex-viewer/hex-viewer.cdx.json" >/dev/null || findings+=("the signed release's bill of materials is invalid")

# One byte of the program's code, well inside what the signature covers, changed.
tampered=$work/tampered.exe
cp "$signed" "$tampered"
offset=$(($(stat -c %s "$unsigned") / 2))
byte=$(xxd -s "$offset" -l 1 -p "$tampered")
printf "\\x$(printf %02x $((0x$byte ^ 0xff)))" | dd of="$tampered" bs=1 seek="$offset" conv=notrunc status=none
if osslsigncode verify -CAfile "$work/pki/ca.pem" -in "$tampered" >/dev/null 2>&1; then
  findings+=("the signed program with byte $offset changed still verifies")
fi

if ((${#findings[@]})); then
  printf 'check-signing: %s\n' "${findings[@]}" >&2
  exit 1
fi
echo "check-signing: the signed program verifies against its authority only, covers the unsigned release's"
echo "  Authenticode digest ${rebuilt,,}, is the one the bill of materials names, and fails once changed"
