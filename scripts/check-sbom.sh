#!/usr/bin/env bash
# Validates bills of materials with CycloneDX's own validator (the JSON validator of
# @cyclonedx/cyclonedx-library, installed from the npm registry into build/cyclonedx), against
# the strict schema of the spec version each names, and reads every licence expression as SPDX
# does. Without arguments it checks the one in the release archive, made first by
# scripts/release.sh.   Usage: scripts/check-sbom.sh [BOM.cdx.json...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
boms=()
for bom in "$@"; do
  boms+=("$(realpath "$bom")")
done
if ((${#boms[@]} == 0)); then
  bash scripts/release.sh >/dev/null
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && cmake -E tar xf "$(echo "$root"/build/release/hex-viewer-*-win64.zip)")
  boms=("$work/hex-viewer/hex-viewer.cdx.json")
fi

# Pinned, so that a new schema release cannot fail a commit that passed; no lock file is kept.
modules=(@cyclonedx/cyclonedx-library@10.3.0 ajv@8.20.0 ajv-formats@3.0.1 ajv-formats-draft2019@1.6.1
         spdx-expression-parse@5.0.0)
validator=build/cyclonedx
if [[ "$(cat "$validator/installed" 2>/dev/null)" != "${modules[*]}" ]]; then
  rm -rf "$validator"
  mkdir -p "$validator"
  npm install --prefix "$validator" --no-save --no-package-lock --no-audit --no-fund --loglevel=error "${modules[@]}"
  echo "${modules[*]}" >"$validator/installed"
fi

NODE_PATH=$root/$validator/node_modules node -e '
const fs = require("fs");
const CDX = require("@cyclonedx/cyclonedx-library");
const parseSpdx = require("spdx-expression-parse");
(async () => {
  let failures = 0;
  for (const file of process.argv.slice(1)) {
    const before = failures;
    const text = fs.readFileSync(file, "utf8");
    const bom = JSON.parse(text);
    const errors = await new CDX.Validation.JsonStrictValidator(bom.specVersion).validate(text);
    if (errors) {
      console.error(`check-sbom: ${file} does not follow CycloneDX ${bom.specVersion}:`);
      console.error(JSON.stringify(errors, null, 2));
      failures++;
    }
    for (const component of bom.components ?? []) {
      for (const licence of component.licenses ?? []) {
        try {
          if (licence.expression) parseSpdx(licence.expression);
        } catch (error) {
          console.error(`check-sbom: ${file}: ${component.name}: not an SPDX expression: ${licence.expression}`);
          failures++;
        }
      }
    }
    if (failures === before) console.log(`check-sbom: ${file} is valid CycloneDX ${bom.specVersion}`);
  }
  process.exit(failures ? 1 : 0);
})();
' "${boms[@]}"
